#include "net/TcpPort.h"

#include <gtest/gtest.h>

#include "support/LoopbackPeers.h"
#include "support/Packages.h"

namespace {

using testsupport::Bytes;

constexpr uint64_t SLACK = 500 * 20;  // 500 ms real at scale 20, in program ms: room for a loaded machine

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
