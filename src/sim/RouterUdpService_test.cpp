// The router's UDP command service on the wire, with its faults.
#include "support/sim/SimWire.h"

namespace simtest {

class RouterUdpTest : public SimTest {};

// Discovery answers the loopback broadcast with address, MAC and version
// (a long version runs past the 32 bytes); commands are echoed, entering
// the forcing download mode (7) sets the router's flag and restarts the
// module, leaving it (8) clears the flag; unknown codes get no answer.
TEST_F(RouterUdpTest, DiscoveryAndCommands) {
  Launch([](SimOptions& o) {
    o.m_RouterVersion = "QEL-ROUTER-1.2.3.4-build-2024";
    o.m_RestartMs = 15000;  // 150 ms real: room to see the module restarting
  });
  m_Udp.SendFrameTo(Padded({1}, 32), "127.255.255.255", m_Options.m_Port);
  EXPECT_PRED2(Matches, m_Udp.ReceiveFrame(), "01 7F 00 00 01 02 51 E1 00 00 01 'QEL-ROUTER-1.2.3.4-build-2024' 00");
  for (uint8_t code : {6, 10, 8}) EXPECT_EQ(AskUdp(RouterRecord(code)), RouterRecord(code));
  EXPECT_EQ(AskUdp(RouterRecord(7)), RouterRecord(7));
  EXPECT_TRUE(m_Sim->ForceLoad());
  EXPECT_TRUE(m_Sim->Restarting());
  EXPECT_EQ(AskUdp(RouterRecord(8)), RouterRecord(8));
  EXPECT_FALSE(m_Sim->ForceLoad());
  m_Udp.SendFrameTo(RouterRecord(42), "127.0.0.1", m_Options.m_Port);
  EXPECT_EQ(AskUdp(RouterRecord(10)), RouterRecord(10));  // the first reply
}

// A silenced request shows by the next one being answered first.
TEST_F(RouterUdpTest, Faults) {
  const struct {
    const char* m_Fault;
    uint8_t m_Code;
  } silenced[] = {{"no-discovery", 1}, {"erase-silent", 6}, {"force-refused", 7}};
  for (const auto& s : silenced) {
    SCOPED_TRACE(s.m_Fault);
    Launch(Faults({s.m_Fault}));
    m_Udp.SendFrameTo(RouterRecord(s.m_Code), "127.0.0.1", m_Options.m_Port);
    EXPECT_EQ(AskUdp(RouterRecord(10)), RouterRecord(10));
    EXPECT_FALSE(m_Sim->ForceLoad());
  }
  Launch(Faults({"zero-mac"}));
  EXPECT_PRED2(Matches, AskUdp(RouterRecord(1)), "01 7F 00 00 01 00 00 00 00 00 00 '1.2.3.4' 00 *32");
  Launch(Faults({"bad-fcs"}));
  m_Udp.SendFrameTo(RouterRecord(1), "127.0.0.1", m_Options.m_Port);
  Bytes datagram;
  ASSERT_TRUE(m_Udp.ReceiveFrom(&datagram, nullptr));
  EXPECT_GE(datagram.size(), 36u);
  EXPECT_TRUE(Unframe(datagram).empty());
}

// After a restart begins the router is silent to pings for a while.
TEST_F(RouterUdpTest, PingSilentAfterARestart) {
  Launch(Faults({"ping-silent=20000"}));  // 200 ms real
  EXPECT_EQ(AskUdp(RouterRecord(10)), RouterRecord(10));
  ASSERT_EQ(Ask(SWITCH), SWITCH);
  const uint64_t restarted = Clock::TickCount();
  Bytes reply;
  while (reply.empty() && Clock::TickCount() - restarted < 200000) {
    m_Udp.SendFrameTo(RouterRecord(10), "127.0.0.1", m_Options.m_Port);
    reply = m_Udp.ReceiveFrame(20);
  }
  EXPECT_EQ(reply, RouterRecord(10));
  EXPECT_GE(Clock::TickCount() - restarted, 19000u);
}

}  // namespace simtest
