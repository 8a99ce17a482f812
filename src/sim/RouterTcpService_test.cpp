// The router's TCP service: the begin packet, the raw image and its result,
// and the connection handling.
#include "support/sim/SimWire.h"

namespace simtest {

class RouterTcpTest : public SimTest {};

// The image (holding 7E and 7D, sent raw) ends at its announced size or,
// shorter, when the stream goes idle after its first byte. It is installed
// (3000 ms) and answered with the result packet, or not at all; then the
// stream carries frames again.
TEST_F(RouterTcpTest, ImagesAreInstalledAndAnswered) {
  const struct {
    const char* m_Fault;
    uint32_t m_Announced;
    uint32_t m_Code;  // 0: no result
    uint64_t m_Ms;    // at least this long after the image
  } cases[] = {{"result-code=4", 20000, 4, 3000},  // the default code {"result-code=4", 50000, 4, 3000},
               {"result-code=3", 20000, 3, 3000}, {"result-delay=20000", 20000, 4, 23000},
               {"no-result", 20000, 0, 0}};
  const Bytes image = Pattern(20000, 5);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.m_Fault) + " " + std::to_string(c.m_Announced));
    Launch(Faults({c.m_Fault}));
    m_Tool->SendFrame(ControlPacket(RUT_BEGIN, c.m_Announced), true);
    if (c.m_Announced > image.size()) Clock::Sleep(10000);  // before the first byte no idle end
    m_Tool->Send(image);
    const uint64_t sent = Clock::TickCount();
    if (c.m_Code) {
      EXPECT_EQ(m_Tool->ReceiveFrame(), ControlPacket("", c.m_Code));
      EXPECT_GE(Clock::TickCount() - sent, c.m_Ms);
    }
    EXPECT_PRED2(Matches, Ask(HANDSHAKE), HandshakeReply(0, 0));
    EXPECT_EQ(m_Sim->RouterImages(), std::vector<Bytes>{image});
  }
}

// The FWT packets get no answer; the force one sets the router's flag.
// Other 40-byte FF frames go to the module, which does not know them.
TEST_F(RouterTcpTest, FwtPacketsSetTheForceFlag) {
  Launch();
  m_Tool->SendFrame(ControlPacket("Zyphex FWT Begin Download Pkt", 0), true);
  m_Tool->SendFrame(ControlPacket("Zyphex FWT Force Download Pkt", 0), true);
  EXPECT_PRED2(Matches, Ask(ControlPacket("Something else", 0), true), "13 FF 'Something' *41");
  EXPECT_TRUE(m_Sim->ForceLoad());
  ASSERT_GE(m_Sim->Events().size(), 2u);
  EXPECT_EQ(m_Sim->Events()[0].m_Name + " " + m_Sim->Events()[1].m_Name, "fwt-begin fwt-force");
}

// A frame with a bad check value is dropped; a new connection replaces the
// old; the reset-at-block fault ends the connection at that block, once.
TEST_F(RouterTcpTest, BadFramesAndConnections) {
  Launch(Faults({"start-in-downloader", "reset-at-block=2"}));
  Bytes spoiled = Frame(Unlock(), true);
  spoiled[2] ^= 0x01;
  m_Tool->Send(spoiled);
  EXPECT_EQ(Ask(Unlock(), true), Bytes{0x02});
  EXPECT_EQ(Ask(Write(0x1000, {1}), true), Bytes({0x02, 0, 0, 0x10, 0}));
  EXPECT_TRUE(Ask(Write(0x1001, {2}), true).empty());
  EXPECT_TRUE(m_Tool->Closed());
  m_Tool = std::make_unique<TcpPeer>(m_Options.m_Port);
  EXPECT_EQ(Ask(Unlock(), true), Bytes{0x02});
  EXPECT_EQ(Ask(Write(0x1001, {2}), true), Bytes({0x02, 0, 0, 0x10, 0x01}));
  EXPECT_EQ(m_Sim->WirelessMemory().at(0x1000), Bytes({1, 2}));
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 2);
}

}  // namespace simtest
