// The address texts each port takes, and the UDP port on loopback.
#include "net/UdpPort.h"

#include <gtest/gtest.h>

#include "net/AddressText.h"
#include "net/TcpPort.h"
#include "support/LoopbackPeers.h"

namespace {

using testsupport::Bytes;

// Nothing is sent here: the limited broadcast never leaves a test's machine.
TEST(AddressTextTest, ClassicFormsAndWhatEachPortTakes) {
  struct Case { std::string text, parsed; bool tcp, udp, broadcast; };  // parsed: "" when refused
  const Case cases[] = {
      {"10.0.255.1", "10.0.255.1", 1, 1, 0}, {"127.1 junk", "127.0.0.1", 1, 1, 0} /* the classic parser's forms */,
      {"127.255.255.255", "127.255.255.255", 1, 1, 1}, {"", "", 0, 0, 0}, {{"1.2.3.4\0", 8}, "", 0, 0, 0},
      // The limited broadcast: only the UDP port takes it, by its exact text.
      {"255.255.255.255", "255.255.255.255", 0, 1, 1}, {"0xffffffff", "255.255.255.255", 0, 0, 0},
      {"10.1.2.3" + std::string(16, ' '), "10.1.2.3", 1, 1, 0}, {"10.1.2.3" + std::string(17, ' '), "", 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    uint8_t ip[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseIp(c.text, ip), !c.parsed.empty());
    EXPECT_EQ(FormatIp(ip), c.parsed.empty() ? "9.9.9.9" : c.parsed);  // untouched on failure
    CTcpPort tcp;
    CUdpPort udp;
    errno = 0;
    EXPECT_EQ(tcp.SetConfig(c.text, 1280), c.tcp);
    EXPECT_EQ(udp.SetConfig(c.text, 1280), c.udp);
    EXPECT_EQ(errno, c.tcp && c.udp ? 0 : EINVAL) << "a refused text sets it";
    EXPECT_EQ(c.udp && udp.Open() == 1 && udp.BroadcastEnabled(), c.broadcast);
  }
  const uint8_t mac[6] = {0x00, 0x0A, 0xFF, 0x10, 0xAB, 0x01};
  EXPECT_EQ(FormatMac(mac), "00-0A-FF-10-AB-01");
}

TEST(UdpPortTest, OneDatagramPerReadNoLongerThanTheBuffer) {
  Clock::SetScale(20);
  CUdpPort port;
  const auto send = [&](const Bytes& b) { return port.Write(b.data(), static_cast<uint32_t>(b.size()), 2000); };
  // The datagram a Read took; empty when it failed.
  const auto receive = [&](uint32_t timeoutMs = 3000) {
    uint8_t buffer[512];
    uint32_t received = 9;
    const int ok = port.Read(buffer, sizeof buffer, &received, timeoutMs);
    EXPECT_EQ(ok == 1, received > 0);
    return Bytes(buffer, buffer + received);
  };
  EXPECT_EQ(send({1}), 0);  // never opened: everything fails at once
  EXPECT_TRUE(receive(INFINITE).empty());
  // It answers a request without its first byte, not at all when that is 0.
  testsupport::UdpPeer router;
  router.Respond([](const Bytes& r, int) { return std::vector<Bytes>(r[0] != 0, Bytes(r.begin() + 1, r.end())); });
  ASSERT_EQ(port.SetConfig("127.255.255.255", router.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  // Each datagram sent, what the Read takes, its error; a time-out has no pause.
  const struct { Bytes sent, received; int error; } exchanges[] = {
      {{1, 0x7E, 2}, {0x7E, 2}, 0}, {Bytes(514, 1), {}, EMSGSIZE}, {{1}, {}, 0} /* empty */,
      {Bytes(513, 1), Bytes(512, 1), 0} /* as long as the buffer */, {{0}, {}, WAIT_TIMED_OUT}};
  for (const auto& e : exchanges) {
    ASSERT_EQ(send(e.sent), 1);
    const uint64_t start = Clock::TickCount();
    EXPECT_EQ(receive(), e.received);
    const uint64_t took = Clock::TickCount() - start, least = e.error == WAIT_TIMED_OUT ? 3000 : 0;
    EXPECT_TRUE(port.m_LastError == e.error && took >= least && took < least + 500 * 20) << port.m_LastError << " " << took;
  }
  EXPECT_TRUE(port.Close() + port.Close() == 2 && !port.IsOpen());
}

}  // namespace
