// The router's UDP command service on the wire, with its faults.
#include "sim/RouterUdpService.h"

#include "sim/SimTestFixture.h"

using namespace simtest;

namespace {

class RouterUdpTest : public SimTest {};

TEST_F(RouterUdpTest, DiscoveryBroadcastOnLoopbackIsAnswered) {
  SimOptions options = TestOptions();
  options.m_RouterVersion = "QEL-ROUTER-1.2.3.4-build-2024";  // runs past offset 31
  Launch(options);
  UdpClient udp;
  std::vector<uint8_t> request(32, 0);
  request[0] = 1;
  udp.Send(request, "127.255.255.255", Port());
  const std::vector<uint8_t> reply = udp.Receive(1000);
  ASSERT_EQ(reply.size(), 11u + options.m_RouterVersion.size() + 1);
  EXPECT_EQ(reply[0], 1);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 1, reply.begin() + 11),
            std::vector<uint8_t>({127, 0, 0, 1, 0x02, 0x51, 0xE1, 0x00, 0x00, 0x01}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[11])), options.m_RouterVersion);
  EXPECT_EQ(reply.back(), 0);
}

TEST_F(RouterUdpTest, ShortVersionGivesA32ByteReply) {
  Launch();
  UdpClient udp;
  const std::vector<uint8_t> reply = udp.Exchange(RouterRecord(1), Port());
  ASSERT_EQ(reply.size(), 32u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[11])), "1.2.3.4");
}

TEST_F(RouterUdpTest, CommandsAreEchoedAndTheForceFlagFollows) {
  SimOptions options = TestOptions();
  options.m_RestartMs = 15000;  // 150 ms real: room to see the module restarting
  Launch(options);
  UdpClient udp;
  for (uint8_t code : {6, 10, 8}) EXPECT_EQ(udp.Exchange(RouterRecord(code), Port()), RouterRecord(code));
  EXPECT_FALSE(m_Sim->ForceLoad());
  EXPECT_EQ(udp.Exchange(RouterRecord(7), Port()), RouterRecord(7));
  EXPECT_TRUE(m_Sim->ForceLoad());
  EXPECT_TRUE(m_Sim->Restarting()) << "entering the forcing mode restarts the module";
  EXPECT_EQ(udp.Exchange(RouterRecord(8), Port()), RouterRecord(8));
  EXPECT_FALSE(m_Sim->ForceLoad());
  EXPECT_TRUE(udp.Exchange(RouterRecord(42), Port(), QUIET_MS).empty()) << "unknown code";
}

TEST_F(RouterUdpTest, DiscoveryFaults) {
  SimOptions options = TestOptions();
  options.m_Faults.m_NoDiscoveryAnswer = true;
  Launch(options);
  UdpClient udp;
  EXPECT_TRUE(udp.Exchange(RouterRecord(1), Port(), QUIET_MS).empty());
  EXPECT_EQ(udp.Exchange(RouterRecord(10), Port()), RouterRecord(10)) << "only discovery is silent";
  m_Sim->Stop();

  options = TestOptions();
  options.m_Faults.m_ZeroMac = true;
  Launch(options);
  std::vector<uint8_t> reply = udp.Exchange(RouterRecord(1), Port());
  ASSERT_EQ(reply.size(), 32u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 5, reply.begin() + 11), std::vector<uint8_t>(6, 0));
  m_Sim->Stop();

  options = TestOptions();
  options.m_Faults.m_CorruptFcs = true;
  Launch(options);
  udp.Send(RouterRecord(1), "127.0.0.1", Port());
  const std::vector<uint8_t> datagram = udp.ReceiveRaw(1000);
  ASSERT_GE(datagram.size(), 36u) << "a datagram comes";
  EXPECT_TRUE(Decode(datagram).empty()) << "but its check value is wrong";
}

TEST_F(RouterUdpTest, EraseSilentFault) {
  SimOptions options = TestOptions();
  options.m_Faults.m_EraseNotAnswered = true;
  Launch(options);
  UdpClient udp;
  EXPECT_TRUE(udp.Exchange(RouterRecord(6), Port(), QUIET_MS).empty());
  EXPECT_EQ(udp.Exchange(RouterRecord(10), Port()), RouterRecord(10));
  EXPECT_TRUE(Logged("udp -- erase-nvram not answered"));
}

TEST_F(RouterUdpTest, ForceRefusedFault) {
  SimOptions options = TestOptions();
  options.m_Faults.m_ForceLoadRefused = true;
  Launch(options);
  UdpClient udp;
  EXPECT_TRUE(udp.Exchange(RouterRecord(7), Port(), QUIET_MS).empty());
  EXPECT_FALSE(m_Sim->ForceLoad()) << "the router stays out of the forcing download mode";
  EXPECT_EQ(udp.Exchange(RouterRecord(8), Port()), RouterRecord(8));
  EXPECT_TRUE(Logged("udp -- enter-force-load not answered"));
}

TEST_F(RouterUdpTest, PingSilentAfterRestartFault) {
  SimOptions options = TestOptions();
  options.m_Faults.m_PingSilentMs = 20000;  // 200 ms real
  Launch(options);
  UdpClient udp;
  EXPECT_EQ(udp.Exchange(RouterRecord(10), Port()), RouterRecord(10)) << "answers before a restart";
  TcpClient tool(Port());
  ASSERT_EQ(tool.Exchange({0x3A}, false), std::vector<uint8_t>({0x3A}));
  const auto restarted = std::chrono::steady_clock::now();
  EXPECT_TRUE(udp.Exchange(RouterRecord(10), Port(), 50).empty()) << "silent after the restart";
  std::vector<uint8_t> reply;
  while (reply.empty() && std::chrono::steady_clock::now() - restarted < std::chrono::seconds(2))
    reply = udp.Exchange(RouterRecord(10), Port(), 20);
  EXPECT_EQ(reply, RouterRecord(10));
  EXPECT_GE(std::chrono::steady_clock::now() - restarted, std::chrono::milliseconds(190));
}

}  // namespace
