// The address texts each port takes, and the TCP and UDP ports on loopback.
#include <gtest/gtest.h>

#include "net/AddressText.h"
#include "net/TcpPort.h"
#include "net/UdpPort.h"
#include "support/LoopbackPeers.h"
#include "support/Packages.h"

namespace {

using testsupport::Bytes;

constexpr uint64_t SLACK = 500 * 20;  // 500 ms real at scale 20, in program ms: room for a loaded machine

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
    EXPECT_TRUE(port.m_LastError == e.error && took >= least && took < least + SLACK) << port.m_LastError << " " << took;
  }
  EXPECT_TRUE(port.Close() + port.Close() == 2 && !port.IsOpen());
}

TEST(TcpPortTest, WritesReadsTimeOutsCancelsAndLostConnections) {
  Clock::SetScale(20);
  testsupport::TcpPeer peer;
  CTcpPort port;
  const auto Connect = [&] {
    ASSERT_TRUE(port.SetConfig("127.0.0.1", peer.Port()) == 1 && port.Open() == 1 && peer.Accept());
  };
  // What a Read took; empty when it failed.
  const auto Read = [&](uint32_t timeoutMs, uint32_t capacity = 8) {
    uint8_t buffer[8];
    uint32_t received = 99;
    const int ok = port.Read(buffer, capacity, &received, timeoutMs);
    EXPECT_EQ(ok == 1, received > 0);
    return Bytes(buffer, buffer + std::min(received, capacity));
  };
  const auto Write = [&](const Bytes& b, uint32_t timeoutMs = 3000) { return port.Write(b.data(), uint32_t(b.size()), timeoutMs); };
  // A failed Read that took from minMs to minMs + SLACK with the error.
  const auto ExpectFailedRead = [&](uint32_t timeoutMs, uint64_t minMs, int error) {
    const uint64_t start = Clock::TickCount();
    EXPECT_TRUE(Read(timeoutMs).empty());
    const uint64_t took = Clock::TickCount() - start;
    EXPECT_TRUE(took >= minMs && took < minMs + SLACK && port.m_LastError == error) << took << " " << port.m_LastError;
  };
  EXPECT_EQ(Write({}), 0);  // closed wins over the empty write
  ExpectFailedRead(INFINITE, 100, 0);  // pauses and fails, no wait for data
  ASSERT_EQ(port.Close() + port.Close() + port.SetConfig("127.0.0.1", testsupport::FreePort()), 3);
  EXPECT_TRUE(port.Open() == 0 && port.m_LastError == ECONNREFUSED && !port.IsConnected()) << port.m_LastError;
  Connect();
  EXPECT_EQ(Write({}), 1);
  // A peer that closes costs the reader a pause; one that resets, a re-connect.
  peer.Close();
  ExpectFailedRead(INFINITE, 1500, 0);
  EXPECT_FALSE(peer.Accept(0)) << "no re-connect";
  Connect();
  peer.Close(true);
  ExpectFailedRead(INFINITE, 100, ECONNRESET);
  ASSERT_TRUE(peer.Accept());  // the port came back on its own
  peer.Close(true);
  int written = 1;
  for (int i = 0; i < 5 && written == 1; ++i) written = Write({1, 2, 3, 4});
  EXPECT_TRUE(written == 0 && (port.m_LastError == ECONNRESET || port.m_LastError == EPIPE)) << port.m_LastError;
  ASSERT_TRUE(peer.Accept());
  EXPECT_EQ(Write({1, 2, 3, 4}), 1);
  EXPECT_EQ(peer.Receive(4), (Bytes{1, 2, 3, 4}));
  const Bytes block = testsupport::Pattern(64 * 1024, 7);  // more than the smallest socket buffers
  std::thread writer([&] { EXPECT_EQ(Write(block), 1); });
  EXPECT_EQ(peer.Receive(block.size()), block);
  writer.join();
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(Write(Bytes(4 << 20, 0x55), 500), 0);  // the peer takes nothing now
  EXPECT_TRUE(port.m_LastError == WAIT_TIMED_OUT && Clock::TickCount() - start >= 500u) << port.m_LastError;
  // Bytes come out one per Read in order and go with their connection.
  Connect();
  ASSERT_TRUE(peer.Send({1, 2, 3, 4, 5}));
  for (uint8_t expected : {1, 2}) EXPECT_EQ(Read(3000, 1), Bytes{expected});
  EXPECT_EQ(Read(3000, 2), (Bytes{3, 4}));
  Connect();  // the fifth byte is left unread; the new connection does not deliver it
  ASSERT_TRUE(peer.Send({9}));
  EXPECT_EQ(Read(3000), Bytes{9});
  EXPECT_EQ(port.m_LastError, 0);
  ExpectFailedRead(500, 600, WAIT_TIMED_OUT);  // the wait plus the pause
  // A Cancel ends the Read that waits, or else the next one, and only that one.
  std::thread reader([&] { ExpectFailedRead(INFINITE, 500, WAIT_CANCELLED); });
  Clock::Sleep(1000);
  EXPECT_EQ(port.Cancel(), 1);
  reader.join();
  EXPECT_EQ(port.Cancel(), 1);
  ExpectFailedRead(INFINITE, 100, WAIT_CANCELLED);
  ExpectFailedRead(200, 300, WAIT_TIMED_OUT);
}

}  // namespace
