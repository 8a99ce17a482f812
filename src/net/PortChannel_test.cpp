#include "net/PortChannel.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <thread>

#include "log/SystemErrorText.h"
#include "net/testing/LoopbackPeers.h"

namespace {

using testpeers::Bytes;
using testpeers::Concat;
using testpeers::Frame;
using testpeers::TcpPeer;

constexpr uint64_t SLACK = 150 * 20;  // program ms at scale 20

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }

class PortChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }

  void Connect(bool receiveThread) {
    ASSERT_EQ(channel.Open("127.0.0.1", peer.Port(), PORT_TCP), 1);
    ASSERT_TRUE(peer.Accept());
    if (receiveThread) {
      ASSERT_EQ(channel.StartReceiveThread(), 1);
    }
  }
  void Expect(const Bytes& pattern) { channel.ExpectReply(pattern.data(), static_cast<uint32_t>(pattern.size())); }
  // The reply, or an empty vector when Receive failed.
  Bytes Receive(uint32_t timeoutMs = 3000, uint32_t capacity = 512) {
    Bytes out(capacity);
    uint32_t length = 99;
    if (!channel.Receive(out.data(), capacity, &length, timeoutMs)) {
      EXPECT_EQ(length, 0u);
      return {};
    }
    out.resize(length);
    return out;
  }

  TcpPeer peer;
  PortChannel channel;
};

TEST_F(PortChannelTest, OpenFailsCleanly) {
  EXPECT_EQ(channel.Open("127.0.0.1", peer.Port(), 3), 0);  // no such kind
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(channel.Open("255.255.255.255", peer.Port(), PORT_TCP), 0);
  EXPECT_EQ(channel.Open("127.0.0.1", testsupport::FreePort(), PORT_TCP), 0);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(channel.LastError(), 0);  // no port is left behind
  EXPECT_EQ(channel.Close(), 1);
}

TEST_F(PortChannelTest, ClosedChannelRefusesAtOnce) {
  const uint8_t byte = 0x7E;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.SendRaw(&byte, 1, 3000), 0);
  EXPECT_EQ(channel.SendFrame(&byte, 1, 1, 3000), 0);
  EXPECT_TRUE(Receive(3000).empty());
  EXPECT_LT(Since(start), SLACK);
  EXPECT_EQ(channel.StopReceiveThread(), 1);
}

TEST_F(PortChannelTest, EncodedAndRawSends) {
  Connect(false);
  const Bytes payload = {0x4B, 0x7E, 0x7D, 0x01};
  ASSERT_EQ(channel.SendFrame(payload.data(), 4, 0, 3000), 1);
  ASSERT_EQ(channel.SendFrame(payload.data(), 4, 1, 3000), 1);
  ASSERT_EQ(channel.SendRaw(nullptr, 0, 3000), 1);  // raw and empty: nothing sent
  ASSERT_EQ(channel.SendRaw(payload.data(), 2, 3000), 1);  // raw: as it is, no flag
  const Bytes expected = Concat({Frame(payload, false), Frame(payload, true), {0x4B, 0x7E}});
  EXPECT_EQ(peer.Receive(expected.size()), expected);
  ASSERT_NE(channel.SendBuffer(), nullptr);
  EXPECT_EQ(channel.SendBuffer(), channel.SendBuffer());  // one buffer, reused
}

TEST_F(PortChannelTest, ReceiveThreadHandsOutTheMatchingFrame) {
  Connect(true);
  EXPECT_TRUE(channel.ReceiveThreadRunning());
  Expect({0x4B, 0xC9});
  ASSERT_EQ(channel.SendFrame(Bytes{0x4B, 0xC9, 0x03}.data(), 3, 0, 3000), 1);
  // An unrelated frame, then the reply behind a leading double flag.
  peer.Send(Concat({Frame({0x10, 0x20}), {0x7E}, Frame({0x4B, 0xC9, 0x03, 0x55})}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0xC9, 0x03, 0x55}));
  EXPECT_EQ(channel.Queue().Count(), 0u);
}

TEST_F(PortChannelTest, ErrorReplyMatchesTheRequestItRefuses) {
  Connect(true);
  Expect({0x4B, 0xC9});
  peer.Send(Frame({0x13, 0x4B, 0xC9, 0x03}));
  EXPECT_EQ(Receive(), (Bytes{0x13, 0x4B, 0xC9, 0x03}));
}

TEST_F(PortChannelTest, TwoQueuedMatchesGiveTheNewer) {
  Connect(true);
  Expect({0x02});
  peer.Send(Concat({Frame({0x02, 0x01}), Frame({0x02, 0x02})}));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return channel.Queue().Count() == 2; }, 2000));
  EXPECT_EQ(Receive(), (Bytes{0x02, 0x02}));
  EXPECT_TRUE(Receive(200).empty());  // both were consumed
}

TEST_F(PortChannelTest, LateReplyCannotEndTheNextRequestsWait) {
  Connect(true);
  Expect({0x4B});
  EXPECT_TRUE(Receive(200).empty());       // the first request times out
  peer.Send(Frame({0x4B, 0x01}));          // its reply comes late
  ASSERT_TRUE(testsupport::WaitUntil([&] { return channel.Queue().Count() == 1; }, 2000));
  Expect({0x4B});                          // the next request
  EXPECT_TRUE(Receive(200).empty());
  EXPECT_EQ(channel.Queue().Count(), 0u);  // the late reply went with that wait
  Expect({0x4B});
  peer.Send(Frame({0x4B, 0x02}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x02}));
}

TEST_F(PortChannelTest, ReceiveThreadDropsBadFramesAndOverlongRuns) {
  Connect(true);
  Expect({0x4B});
  Bytes bad = Frame({0x4B, 0x11, 0x22});
  bad[3] ^= 0x40;
  const Bytes overlong(1500, 0x4B);
  peer.Send(Concat({bad, overlong, {0x7E}, Frame({0x4B, 0x33})}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x33}));
}

TEST_F(PortChannelTest, ReadFrameWithoutThreadTakesTheFirstGoodFrameWhateverItHolds) {
  Connect(false);
  Expect({0x4B});  // not used without a receive thread
  peer.Send(Concat({{0x7E, 0x7E}, Frame({0x99, 0x01, 0x02, 0x03})}));
  EXPECT_EQ(Receive(3000, 2), (Bytes{0x99, 0x01}));  // cut to the capacity
}

TEST_F(PortChannelTest, ReadFrameFailsAtOnceOnABadCheckValue) {
  Connect(false);
  Bytes bad = Frame({0x41, 0x42, 0x43});
  bad[1] ^= 0x02;
  peer.Send(Concat({bad, Frame({0x44})}));
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Receive(3000).empty());
  EXPECT_LT(Since(start), 3000u);
  EXPECT_EQ(Receive(3000), Bytes{0x44});  // the next frame is still there
}

TEST_F(PortChannelTest, ReadFrameGivesUpAfterItsDeadline) {
  Connect(false);
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Receive(1000).empty());
  EXPECT_GE(Since(start), 1000u);
  EXPECT_LT(Since(start), 1000 + 600 + SLACK);  // a last read may be under way
}

TEST_F(PortChannelTest, StopWhileTheThreadWaitsReturnsPromptly) {
  Connect(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));  // let it block in Read
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  EXPECT_LT(Since(start), 100 + SLACK);  // the cancel plus the port's pause
  EXPECT_FALSE(channel.ReceiveThreadRunning());
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  // The channel stays open; the thread can start again and works.
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  Expect({0x4B});
  peer.Send(Frame({0x4B, 0x05}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x05}));
}

TEST_F(PortChannelTest, StopRightAfterStartEndsTheThread) {
  Connect(false);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(channel.StartReceiveThread(), 1);
    EXPECT_EQ(channel.StopReceiveThread(), 1);
  }
  EXPECT_FALSE(channel.ReceiveThreadRunning());
}

TEST_F(PortChannelTest, ThreadOnAnUnopenedChannelEndsAndIsJoined) {
  auto unopened = std::make_unique<PortChannel>();
  ASSERT_EQ(unopened->StartReceiveThread(), 1);
  EXPECT_EQ(unopened->Close(), 1);
  EXPECT_FALSE(unopened->ReceiveThreadRunning());
  ASSERT_EQ(unopened->StartReceiveThread(), 1);
  unopened.reset();  // the destructor joins it too
}

TEST_F(PortChannelTest, CloseStopsTheThreadAndReopenWorks) {
  Connect(true);
  EXPECT_EQ(channel.Close(), 1);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(channel.ReceiveThreadRunning());
  EXPECT_EQ(channel.Close(), 1);
  Connect(true);
  ASSERT_EQ(channel.Open("127.0.0.1", peer.Port(), PORT_TCP), 1);  // re-open closes first
  ASSERT_TRUE(peer.Accept());
  EXPECT_FALSE(channel.ReceiveThreadRunning());
}

TEST_F(PortChannelTest, PeerResetIsRepairedUnderTheReceiveThread) {
  Connect(true);
  peer.Reset();
  ASSERT_TRUE(peer.Accept());  // the receive thread re-connected
  Expect({0x4B});
  // Sends fail until the new socket is in place, which follows the accept.
  ASSERT_TRUE(testsupport::WaitUntil([&] { return channel.SendFrame(Bytes{0x4B}.data(), 1, 0, 3000) == 1; }, 2000));
  EXPECT_EQ(peer.Receive(4), Frame({0x4B}, false));
  peer.Send(Frame({0x4B, 0x06}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x06}));
}

TEST_F(PortChannelTest, UdpChannelStopsInTimeThoughItsPortCannotBeCancelled) {
  testpeers::UdpResponder silent([](const Bytes&, int) { return std::vector<Bytes>{}; });
  ASSERT_EQ(channel.Open("127.0.0.1", silent.Port(), PORT_UDP), 1);
  ASSERT_EQ(channel.SendRaw(Bytes{0x01}.data(), 1, 2000), 1);
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  EXPECT_LT(Since(start), 100 + SLACK);
}

}  // namespace
