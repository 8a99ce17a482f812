#include "net/TcpPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "log/SystemErrorText.h"
#include "support/LoopbackPeers.h"
#include "support/Packages.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;

constexpr uint64_t SLACK = 150 * 20;  // 150 ms real at scale 20, in program ms

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }

class TcpPortTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }
  void Connect() {
    ASSERT_EQ(port.SetConfig("127.0.0.1", peer.Port()), 1);
    ASSERT_EQ(port.Open(), 1);
    ASSERT_TRUE(peer.Accept());
  }
  struct ReadResult { int ok; Bytes data; uint64_t ms; };  // ms: program time the Read took
  ReadResult Read(uint32_t timeoutMs) {
    uint8_t buffer[8];
    uint32_t received = 99;
    const uint64_t start = Clock::TickCount();
    const int ok = port.Read(buffer, sizeof buffer, &received, timeoutMs);
    return {ok, Bytes(buffer, buffer + std::min<uint32_t>(received, sizeof buffer)), Since(start)};
  }
  int Write(const Bytes& data, uint32_t timeoutMs = 3000) {
    return port.Write(data.data(), static_cast<uint32_t>(data.size()), timeoutMs);
  }

  testsupport::TcpPeer peer;
  CTcpPort port;
};

TEST_F(TcpPortTest, WithoutConnectionEverythingFails) {
  EXPECT_EQ(port.GetType(), PORT_TCP);
  EXPECT_EQ(Write({0x7E}), 0);
  EXPECT_EQ(Write({}), 0);  // closed wins over the empty write
  const ReadResult read = Read(INFINITE);  // pauses and fails, no wait for data
  EXPECT_EQ(read.ok, 0);
  EXPECT_GE(read.ms, 100u);
  EXPECT_LT(read.ms, 100 + SLACK);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_EQ(port.Close(), 1);
  ASSERT_EQ(port.SetConfig("127.0.0.1", testsupport::FreePort()), 1);
  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(port.m_LastError, ECONNREFUSED);
  EXPECT_FALSE(port.IsConnected());
}

TEST_F(TcpPortTest, WritesGoOutWholeOrTimeOut) {
  Connect();
  port.m_LastError = 77;
  EXPECT_EQ(Write({}), 1);
  EXPECT_EQ(port.m_LastError, 0);
  const Bytes block = testsupport::Pattern(64 * 1024, 7);  // more than the smallest socket buffers
  std::thread writer([&] { EXPECT_EQ(Write(block), 1); });
  EXPECT_EQ(peer.Receive(block.size()), block);
  writer.join();
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(Write(Bytes(4 << 20, 0x55), 500), 0);  // the peer takes nothing now
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_GE(Since(start), 500u);
}

TEST_F(TcpPortTest, ReadTakesWhatArrivedOrTimesOutWithAPause) {
  Connect();
  ASSERT_TRUE(peer.Send({0x41}));
  EXPECT_EQ(Read(3000).data, Bytes{0x41});
  EXPECT_EQ(port.m_LastError, 0);
  const ReadResult late = Read(500);
  EXPECT_EQ(late.ok, 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_TRUE(late.data.empty());
  EXPECT_GE(late.ms, 600u);  // the wait plus the pause
  EXPECT_LT(late.ms, 600 + SLACK);
}

TEST_F(TcpPortTest, BytesComeOutOnePerReadInOrderAndGoWithTheirConnection) {
  Connect();
  ASSERT_TRUE(peer.Send({1, 2, 3, 4}));
  uint8_t byte = 0;
  uint32_t received = 0;
  for (uint8_t expected : {1, 2, 3}) {
    ASSERT_EQ(port.Read(&byte, 1, &received, 3000), 1);
    EXPECT_EQ(byte, expected);
  }
  // The fourth byte is left unread; the new connection does not deliver it.
  ASSERT_EQ(port.Open(), 1);
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(peer.Send({9}));
  ASSERT_EQ(port.Read(&byte, 1, &received, 3000), 1);
  EXPECT_EQ(byte, 9);
}

TEST_F(TcpPortTest, CancelEndsOneReadThatWaits) {
  Connect();
  std::atomic<uint64_t> ended{0};
  std::thread reader([&] {
    EXPECT_EQ(Read(INFINITE).ok, 0);
    ended.store(Clock::TickCount());
  });
  Clock::Sleep(1000);
  const uint64_t cancelled = Clock::TickCount();
  EXPECT_EQ(port.Cancel(), 1);
  reader.join();
  EXPECT_GE(ended.load(), cancelled) << "the Read waited for the cancel";
  EXPECT_EQ(port.m_LastError, WAIT_CANCELLED);
  ASSERT_TRUE(peer.Send({0x33}));  // the cancel was consumed
  EXPECT_EQ(Read(3000).data, Bytes{0x33});
  // Without a waiting Read it waits for the next one, and ends only that one.
  EXPECT_EQ(port.Cancel(), 1);
  const ReadResult next = Read(INFINITE);
  EXPECT_EQ(port.m_LastError, WAIT_CANCELLED);
  EXPECT_LT(next.ms, 100 + SLACK);
  EXPECT_EQ(Read(200).ok, 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
}

TEST_F(TcpPortTest, PeerCloseCostsTheReaderFifteenHundredMsAndNoReconnect) {
  Connect();
  peer.Close();
  port.m_LastError = 0;
  const ReadResult read = Read(INFINITE);
  EXPECT_EQ(read.ok, 0);
  EXPECT_GE(read.ms, 1500u);
  EXPECT_LT(read.ms, 1500 + SLACK);
  EXPECT_FALSE(peer.Accept(0));
}

TEST_F(TcpPortTest, ResetSeenByReadOrWriteReconnects) {
  Connect();
  peer.Reset();
  const ReadResult read = Read(INFINITE);
  EXPECT_EQ(read.ok, 0);
  EXPECT_EQ(port.m_LastError, ECONNRESET);
  EXPECT_GE(read.ms, 100u);
  ASSERT_TRUE(peer.Accept());  // the port came back on its own
  ASSERT_TRUE(peer.Send({0x5A}));
  EXPECT_EQ(Read(3000).data, Bytes{0x5A});

  peer.Reset();
  int written = 1;
  for (int i = 0; i < 5 && written == 1; ++i) written = Write({1, 2, 3, 4});
  EXPECT_EQ(written, 0);
  EXPECT_TRUE(port.m_LastError == ECONNRESET || port.m_LastError == EPIPE) << port.m_LastError;
  ASSERT_TRUE(peer.Accept());
  EXPECT_EQ(Write({1, 2, 3, 4}), 1);
  EXPECT_EQ(peer.Receive(4), (Bytes{1, 2, 3, 4}));

  // Pointed where nobody listens, the re-connect fails and leaves it closed.
  peer.Reset();
  ASSERT_EQ(port.SetConfig("127.0.0.1", testsupport::FreePort()), 1);
  EXPECT_EQ(Read(INFINITE).ok, 0);
  EXPECT_FALSE(port.IsConnected());
  EXPECT_EQ(Write({1}), 0);
}

// The receive thread reads without limit while the sending thread writes;
// the peer resets again and again, so both threads see the loss and
// re-connect, each possibly while the other uses the socket.
TEST_F(TcpPortTest, ReconnectOnTheReceiveThreadRacesWrites) {
  Clock::SetScale(200);
  Connect();
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, writes{0};
  std::thread receiver([&] {
    while (!stop.load()) reads += Read(INFINITE).ok;
  });
  std::thread sender([&] {
    while (!stop.load()) writes += Write(Bytes(32, 0x7E), 200);
  });
  int rounds = 0;
  for (; rounds < 20; ++rounds) {
    peer.Send({0x01, 0x02});
    peer.Receive(16, 5);
    peer.Reset();
    if (!peer.Accept()) break;
  }
  const Bytes last = peer.Receive(32);  // the sender reaches the last connection
  stop.store(true);
  port.Cancel();
  receiver.join();
  sender.join();
  EXPECT_EQ(rounds, 20);
  EXPECT_FALSE(last.empty());
  EXPECT_GT(writes.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
