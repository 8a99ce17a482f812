#include "net/UdpPort.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "log/SystemErrorText.h"
#include "net/testing/LoopbackPeers.h"

namespace {

using testpeers::Bytes;
using testpeers::UdpResponder;

constexpr uint64_t SLACK = 150 * 20;  // program ms at scale 20

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }


class UdpPortTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }
  CUdpPort port;
};

TEST_F(UdpPortTest, LimitedBroadcastIsAcceptedByItsExactText) {
  EXPECT_EQ(port.GetType(), PORT_UDP);
  EXPECT_EQ(port.SetConfig("255.255.255.255", 1280), 1);
  ASSERT_EQ(port.Open(), 1);
  EXPECT_TRUE(port.BroadcastEnabled());
  // Nothing is sent: the limited broadcast never leaves a test's machine.
}

TEST_F(UdpPortTest, BroadcastOptionOnlyForALastOctetOf255) {
  struct Case {
    const char* text;
    bool broadcast;
  };
  for (const Case& c : {Case{"192.168.1.255", true}, Case{"127.255.255.255", true},
                        Case{"10.0.255.1", false}, Case{"192.168.1.1", false},
                        Case{"127.0.0.1", false}}) {
    ASSERT_EQ(port.SetConfig(c.text, 1280), 1) << c.text;
    ASSERT_EQ(port.Open(), 1) << c.text;
    EXPECT_EQ(port.BroadcastEnabled(), c.broadcast) << c.text;
  }
}

TEST_F(UdpPortTest, SetConfigRefusesOtherTextsWithEinval) {
  port.m_LastError = 31;
  for (const char* text : {" 255.255.255.255", "255.255.255.255 ", "gateway", "", "1.2.3.256",
                           "0123456789012345678901234" /* 25 characters */}) {
    errno = 0;
    EXPECT_EQ(port.SetConfig(text, 1280), 0) << text;
    EXPECT_EQ(errno, EINVAL) << text;
  }
  EXPECT_EQ(port.m_LastError, 31);
}

TEST_F(UdpPortTest, NeverOpenedPortFailsAtOnce) {
  uint8_t byte = 0;
  uint32_t received = 5;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(port.Write(&byte, 1, 2000), 0);
  EXPECT_EQ(port.Read(&byte, 1, &received, 2000), 0);
  EXPECT_LT(Since(start), SLACK);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(UdpPortTest, DatagramsGoToThePeerAndAnswersComeBack) {
  UdpResponder echo([](const Bytes& request, int) { return std::vector<Bytes>{request}; });
  ASSERT_TRUE(echo.Bound());
  ASSERT_EQ(port.SetConfig("127.0.0.1", echo.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  const Bytes request = {0x7E, 0x01, 0x02, 0x7E};
  ASSERT_EQ(port.Write(request.data(), 4, 2000), 1);
  EXPECT_EQ(port.m_LastError, 0);
  uint8_t buffer[512];
  uint32_t received = 0;
  ASSERT_EQ(port.Read(buffer, sizeof buffer, &received, 3000), 1);
  EXPECT_EQ(Bytes(buffer, buffer + received), request);
  EXPECT_EQ(port.m_LastError, 0);
}

TEST_F(UdpPortTest, LoopbackBroadcastReachesAResponderOnAnyAddress) {
  UdpResponder echo([](const Bytes&, int) { return std::vector<Bytes>{{0x42}}; });
  ASSERT_EQ(port.SetConfig("127.255.255.255", echo.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  const uint8_t byte = 0x01;
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  uint8_t answer = 0;
  uint32_t received = 0;
  ASSERT_EQ(port.Read(&answer, 1, &received, 3000), 1);
  EXPECT_EQ(answer, 0x42);
}

TEST_F(UdpPortTest, ReadTimesOutWithoutPause) {
  UdpResponder silent([](const Bytes&, int) { return std::vector<Bytes>{}; });
  ASSERT_EQ(port.SetConfig("127.0.0.1", silent.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  const uint8_t byte = 0x01;
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  uint8_t buffer[16];
  uint32_t received = 9;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(port.Read(buffer, sizeof buffer, &received, 3000), 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_EQ(received, 0u);
  EXPECT_GE(Since(start), 3000u);
  EXPECT_LT(Since(start), 3000 + SLACK);
}

TEST_F(UdpPortTest, OverlongAndEmptyDatagramsFailTheRead) {
  UdpResponder responder([](const Bytes&, int index) {
    if (index == 0) return std::vector<Bytes>{Bytes(513, 0x11)};
    return std::vector<Bytes>{Bytes{}};
  });
  ASSERT_EQ(port.SetConfig("127.0.0.1", responder.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  const uint8_t byte = 0x01;
  uint8_t buffer[512];
  uint32_t received = 0;
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  EXPECT_EQ(port.Read(buffer, sizeof buffer, &received, 3000), 0);
  EXPECT_EQ(port.m_LastError, EMSGSIZE);
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  EXPECT_EQ(port.Read(buffer, sizeof buffer, &received, 3000), 0);
  EXPECT_EQ(port.m_LastError, 0);
  EXPECT_EQ(received, 0u);
}

TEST_F(UdpPortTest, ReopenTakesANewLocalPort) {
  UdpResponder silent([](const Bytes&, int) { return std::vector<Bytes>{}; });
  ASSERT_EQ(port.SetConfig("127.0.0.1", silent.Port()), 1);
  const uint8_t byte = 0x01;
  ASSERT_EQ(port.Open(), 1);
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  ASSERT_EQ(port.Open(), 1);
  ASSERT_EQ(port.Write(&byte, 1, 2000), 1);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return silent.Requests().size() == 2; }, 2000));
  const std::vector<int> ports = silent.SourcePorts();
  EXPECT_NE(ports[0], ports[1]);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_EQ(port.Close(), 1);
}

}  // namespace
