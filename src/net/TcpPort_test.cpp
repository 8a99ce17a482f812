#include "net/TcpPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "log/SystemErrorText.h"
#include "net/testing/LoopbackPeers.h"

namespace {

using testpeers::Bytes;
using testpeers::TcpPeer;

constexpr double SCALE = 20;
// Slack for the upper bound of a timing check, in program ms (real ms x scale).
constexpr uint64_t SLACK = 150 * 20;

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }

class TcpPortTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(SCALE); }

  // Connects port to peer and accepts on the peer's side.
  void Connect() {
    ASSERT_EQ(port.SetConfig("127.0.0.1", peer.Port()), 1);
    ASSERT_EQ(port.Open(), 1);
    ASSERT_TRUE(peer.Accept());
  }
  int ReadByte(uint8_t* byte, uint32_t timeoutMs) {
    uint32_t received = 0;
    return port.Read(byte, 1, &received, timeoutMs);
  }

  TcpPeer peer;
  CTcpPort port;
};

TEST_F(TcpPortTest, SetConfigRefusesWhatIsNoUnicastAddress) {
  port.m_LastError = 4242;
  for (const char* text : {"255.255.255.255", "router", "", "1.2.3.4.5", "300.1.1.1",
                           "127.0.0.1                 " /* 26 characters */}) {
    errno = 0;
    EXPECT_EQ(port.SetConfig(text, 1280), 0) << text;
    EXPECT_EQ(errno, EINVAL) << text;
  }
  EXPECT_EQ(port.SetConfig(std::string("127.0.0.1\0.5", 12), 1280), 0);
  EXPECT_EQ(port.m_LastError, 4242);
  EXPECT_EQ(port.SetConfig("127.0.0.1", 1280), 1);
  EXPECT_EQ(port.SetConfig("127.1", 1280), 1);  // the classic short form
  EXPECT_EQ(port.GetType(), PORT_TCP);
}

TEST_F(TcpPortTest, OperationsOnAClosedPortFail) {
  uint8_t byte = 0x7E;
  EXPECT_EQ(port.Write(&byte, 1, 3000), 0);
  EXPECT_EQ(port.Write(&byte, 0, 3000), 0);  // closed wins over the empty write
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(ReadByte(&byte, INFINITE), 0);  // does not wait for data: pauses and fails
  EXPECT_GE(Since(start), 100u);
  EXPECT_LT(Since(start), 100 + SLACK);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_EQ(port.Close(), 1);
}

TEST_F(TcpPortTest, OpenWithoutListenerFailsWithTheSocketError) {
  const int unused = testsupport::FreePort();
  ASSERT_EQ(port.SetConfig("127.0.0.1", unused), 1);
  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(port.m_LastError, ECONNREFUSED);
  EXPECT_FALSE(port.IsConnected());
}

TEST_F(TcpPortTest, WriteSendsEverythingAndEmptyWriteSucceeds) {
  Connect();
  port.m_LastError = 77;
  EXPECT_EQ(port.Write(nullptr, 0, 3000), 1);
  EXPECT_EQ(port.m_LastError, 0);
  // Larger than the smallest socket buffers, so it goes out in pieces.
  Bytes block(64 * 1024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  std::thread writer([&] { EXPECT_EQ(port.Write(block.data(), static_cast<uint32_t>(block.size()), 3000), 1); });
  const Bytes got = peer.Receive(block.size());
  writer.join();
  EXPECT_EQ(got, block);
}

TEST_F(TcpPortTest, WriteTimesOutWhenThePeerTakesNothing) {
  Connect();
  Bytes block(4 * 1024 * 1024, 0x55);  // far more than the socket buffers hold
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(port.Write(block.data(), static_cast<uint32_t>(block.size()), 500), 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_GE(Since(start), 500u);
}

TEST_F(TcpPortTest, ReadReturnsWhatArrivedAndTimesOutWithPause) {
  Connect();
  ASSERT_TRUE(peer.Send({0x41, 0x42, 0x43}));
  uint8_t buffer[8];
  uint32_t received = 0;
  ASSERT_EQ(port.Read(buffer, sizeof buffer, &received, 3000), 1);
  ASSERT_GE(received, 1u);
  EXPECT_EQ(buffer[0], 0x41);
  EXPECT_EQ(port.m_LastError, 0);

  port.Read(buffer, sizeof buffer, &received, 100);  // whatever is left
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(port.Read(buffer, sizeof buffer, &received, 500), 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_EQ(received, 0u);
  EXPECT_GE(Since(start), 600u);  // the wait plus the pause
  EXPECT_LT(Since(start), 600 + SLACK);
}

TEST_F(TcpPortTest, CancelEndsAReadThatWaitsWithoutLimit) {
  Connect();
  std::atomic<int> result{-1};
  std::thread reader([&] {
    uint8_t byte;
    result.store(ReadByte(&byte, INFINITE));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(result.load(), -1);  // still waiting
  EXPECT_EQ(port.Cancel(), 1);
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(port.m_LastError, WAIT_CANCELLED);
  // The cancel was consumed: the next Read waits for data again.
  ASSERT_TRUE(peer.Send({0x33}));
  uint8_t byte = 0;
  EXPECT_EQ(ReadByte(&byte, 3000), 1);
  EXPECT_EQ(byte, 0x33);
}

TEST_F(TcpPortTest, CancelWithoutWaitingReadEndsTheNextReadThatWaits) {
  Connect();
  EXPECT_EQ(port.Cancel(), 1);
  // Data at hand is read first: this Read does not have to wait.
  ASSERT_TRUE(peer.Send({0x21}));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  uint8_t byte = 0;
  EXPECT_EQ(ReadByte(&byte, 3000), 1);
  EXPECT_EQ(byte, 0x21);
  // The next one would wait: it finds the cancel at once.
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(ReadByte(&byte, INFINITE), 0);
  EXPECT_EQ(port.m_LastError, WAIT_CANCELLED);
  EXPECT_LT(Since(start), 100 + SLACK);
  // And only once.
  EXPECT_EQ(ReadByte(&byte, 200), 0);
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
}

TEST_F(TcpPortTest, PeerCloseCostsTheReaderAboutFifteenHundredMs) {
  Connect();
  peer.CloseConnection();
  uint8_t byte = 0;
  port.m_LastError = 0;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(ReadByte(&byte, INFINITE), 0);
  EXPECT_GE(Since(start), 1500u);
  EXPECT_LT(Since(start), 1500 + SLACK);
  EXPECT_EQ(peer.Accepted(), 1);  // an orderly close is not re-connected
}

TEST_F(TcpPortTest, ResetSeenByReadReconnects) {
  Connect();
  peer.Reset();
  uint8_t byte = 0;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(ReadByte(&byte, INFINITE), 0);
  EXPECT_EQ(port.m_LastError, ECONNRESET);
  EXPECT_GE(Since(start), 100u);
  ASSERT_TRUE(peer.Accept());  // the port came back on its own
  EXPECT_TRUE(port.IsConnected());
  ASSERT_TRUE(peer.Send({0x5A}));
  EXPECT_EQ(ReadByte(&byte, 3000), 1);
  EXPECT_EQ(byte, 0x5A);
}

TEST_F(TcpPortTest, ResetSeenByWriteReconnectsAndTheWriteFails) {
  Connect();
  peer.Reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const uint8_t data[4] = {1, 2, 3, 4};
  int result = 1;
  for (int i = 0; i < 5 && result == 1; ++i) result = port.Write(data, sizeof data, 3000);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(port.m_LastError == ECONNRESET || port.m_LastError == EPIPE) << port.m_LastError;
  ASSERT_TRUE(peer.Accept());
  EXPECT_EQ(port.Write(data, sizeof data, 3000), 1);
  EXPECT_EQ(peer.Receive(4), Bytes(data, data + 4));
}

TEST_F(TcpPortTest, ResetWithoutListenerLeavesThePortClosed) {
  Connect();
  peer.Reset();
  // Nobody listens on a fresh port number; pointed there, the port's
  // re-connect fails and leaves it closed.
  ASSERT_EQ(port.SetConfig("127.0.0.1", testsupport::FreePort()), 1);
  uint8_t byte = 0;
  EXPECT_EQ(ReadByte(&byte, INFINITE), 0);
  EXPECT_FALSE(port.IsConnected());
  EXPECT_EQ(port.Write(&byte, 1, 3000), 0);
}

// The receive thread reads without limit while the sending thread writes;
// the peer resets the connection again and again, so both threads see the
// loss and re-connect, each possibly while the other uses the socket.
TEST_F(TcpPortTest, ReconnectOnTheReceiveThreadRacesWrites) {
  Clock::SetScale(200);
  Connect();
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  std::thread receiver([&] {
    uint8_t buffer[16];
    uint32_t received = 0;
    while (!stop.load()) {
      if (port.Read(buffer, sizeof buffer, &received, INFINITE)) reads.fetch_add(1);
    }
  });
  std::atomic<int> writes{0};
  std::thread sender([&] {
    const uint8_t data[32] = {0x7E};
    while (!stop.load()) {
      if (port.Write(data, sizeof data, 200)) writes.fetch_add(1);
    }
  });
  int resets = 0;
  for (int round = 0; round < 20; ++round) {
    peer.Send({0x01, 0x02});
    peer.Receive(16, 5);
    peer.Reset();
    ++resets;
    if (!peer.Accept(2000)) break;
  }
  EXPECT_EQ(resets, 20);
  EXPECT_GE(peer.Accepted(), 20);
  // Still usable after the storm: the sender's data reaches the last connection.
  const Bytes got = peer.Receive(32, 2000);
  stop.store(true);
  port.Cancel();
  receiver.join();
  sender.join();
  EXPECT_FALSE(got.empty());
  EXPECT_GT(writes.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
