#include "net/UdpPort.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "log/SystemErrorText.h"
#include "net/TcpPort.h"
#include "support/LoopbackPeers.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::UdpPeer;

constexpr uint64_t SLACK = 150 * 20;  // 150 ms real at scale 20, in program ms

class UdpPortTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }
  void OpenTo(const char* address, const UdpPeer& peer) {
    ASSERT_TRUE(peer.Bound());
    ASSERT_EQ(port.SetConfig(address, peer.Port()), 1);
    ASSERT_EQ(port.Open(), 1);
  }
  int Send(const Bytes& bytes) { return port.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), 2000); }
  // The datagram a Read took; empty when it failed.
  Bytes Receive(uint32_t timeoutMs = 3000) {
    uint8_t buffer[512];
    uint32_t received = 9;
    const int ok = port.Read(buffer, sizeof buffer, &received, timeoutMs);
    EXPECT_EQ(ok == 1, received > 0);
    return Bytes(buffer, buffer + received);
  }
  CUdpPort port;
};

// Nothing is sent here: the limited broadcast never leaves a test's machine.
TEST(PortAddressTest, TextsEachPortTakesAndTheBroadcastOption) {
  struct Case { std::string text; bool tcp, udp, broadcast; };
  const Case cases[] = {
      {"127.0.0.1", 1, 1, 0}, {"127.1", 1, 1, 0} /* the classic short form */, {"10.0.255.1", 1, 1, 0},
      {"192.168.1.255", 1, 1, 1}, {"127.255.255.255", 1, 1, 1}, {"255.255.255.255", 0, 1, 1} /* by its exact text */,
      {" 255.255.255.255", 0, 0, 0}, {"255.255.255.255 ", 0, 0, 0}, {"router", 0, 0, 0}, {"", 0, 0, 0},
      {"1.2.3.4.5", 0, 0, 0}, {"300.1.1.1", 0, 0, 0}, {"127.0.0.1" + std::string(15, ' '), 1, 1, 0} /* 24 characters */,
      {"127.0.0.1" + std::string(16, ' '), 0, 0, 0},
      {{"127.0.0.1\0.5", 12}, 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    CTcpPort tcp;
    CUdpPort udp;
    tcp.m_LastError = udp.m_LastError = 31;
    errno = 0;
    EXPECT_EQ(tcp.SetConfig(c.text, 1280), c.tcp);
    EXPECT_EQ(errno, c.tcp ? 0 : EINVAL);
    errno = 0;
    EXPECT_EQ(udp.SetConfig(c.text, 1280), c.udp);
    EXPECT_EQ(errno, c.udp ? 0 : EINVAL);
    EXPECT_EQ(tcp.m_LastError + udp.m_LastError, 62) << "a refused text is no socket error";
    if (c.udp) {
      ASSERT_EQ(udp.Open(), 1);
      EXPECT_EQ(udp.BroadcastEnabled(), c.broadcast);
    }
  }
}

TEST_F(UdpPortTest, NeverOpenedPortFailsAtOnce) {
  EXPECT_EQ(port.GetType(), PORT_UDP);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(Send({0}), 0);
  EXPECT_TRUE(Receive(2000).empty());
  EXPECT_LT(Clock::TickCount() - start, SLACK);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(UdpPortTest, LoopbackBroadcastReachesThePeerAndTheAnswerComesBack) {
  UdpPeer echo;
  echo.Respond([](const Bytes& request, int) { return std::vector<Bytes>{request}; });
  OpenTo("127.255.255.255", echo);
  ASSERT_EQ(Send({0x7E, 0x01, 0x02, 0x7E}), 1);
  EXPECT_EQ(port.m_LastError, 0);
  EXPECT_EQ(Receive(), (Bytes{0x7E, 0x01, 0x02, 0x7E}));
  EXPECT_EQ(port.m_LastError, 0);
}

TEST_F(UdpPortTest, OverlongEmptyAndMissingDatagramsFailTheRead) {
  UdpPeer router;
  router.Respond([](const Bytes&, int index) { return std::vector<Bytes>{Bytes(index < 2 ? 513 - index : 0, 0x11)}; });
  OpenTo("127.0.0.1", router);
  ASSERT_EQ(Send({1}), 1);
  EXPECT_TRUE(Receive().empty());
  EXPECT_EQ(port.m_LastError, EMSGSIZE);
  ASSERT_EQ(Send({1}), 1);
  EXPECT_EQ(Receive(), Bytes(512, 0x11)) << "as long as the buffer";
  ASSERT_EQ(Send({2}), 1);
  EXPECT_TRUE(Receive().empty());
  EXPECT_EQ(port.m_LastError, 0);
  const uint64_t start = Clock::TickCount();  // no third answer: a time-out without pause
  EXPECT_TRUE(Receive(3000).empty());
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_GE(Clock::TickCount() - start, 3000u);
  EXPECT_LT(Clock::TickCount() - start, 3000 + SLACK);
}

TEST_F(UdpPortTest, ReopenTakesANewLocalPort) {
  UdpPeer router;
  router.Respond([](const Bytes&, int) { return std::vector<Bytes>{}; });
  OpenTo("127.0.0.1", router);
  ASSERT_EQ(Send({1}), 1);
  ASSERT_EQ(port.Open(), 1);
  ASSERT_EQ(Send({2}), 1);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return router.Requests().size() == 2; }, 2000));
  EXPECT_NE(router.SourcePorts()[0], router.SourcePorts()[1]);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_EQ(port.Close(), 1);
}

}  // namespace
