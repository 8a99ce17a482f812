#include "net/PortChannel.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/LoopbackPeers.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::Concat;
using testsupport::Frame;

constexpr uint64_t SLACK = 150 * 20;  // 150 ms real at scale 20, in program ms

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
  int SendFrame(const Bytes& payload) {
    return channel.SendFrame(payload.data(), static_cast<uint32_t>(payload.size()), 0, 3000);
  }
  // The reply, or an empty vector when Receive failed.
  Bytes Receive(uint32_t timeoutMs = 3000, uint32_t capacity = 512) {
    Bytes out(capacity);
    uint32_t length = 99;
    const int ok = channel.Receive(out.data(), capacity, &length, timeoutMs);
    EXPECT_EQ(ok == 1, length > 0);
    out.resize(length);
    return out;
  }

  testsupport::TcpPeer peer;
  PortChannel channel;
};

TEST_F(PortChannelTest, FailedOpenLeavesNoPortAndAClosedChannelRefusesAtOnce) {
  EXPECT_EQ(channel.Open("127.0.0.1", peer.Port(), 3), 0);  // no such kind
  EXPECT_EQ(channel.Open("255.255.255.255", peer.Port(), PORT_TCP), 0);
  EXPECT_EQ(channel.Open("127.0.0.1", testsupport::FreePort(), PORT_TCP), 0);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(channel.LastError(), 0);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.SendRaw(Bytes{1}.data(), 1, 3000), 0);
  EXPECT_EQ(SendFrame({1}), 0);
  EXPECT_TRUE(Receive().empty());
  EXPECT_LT(Since(start), SLACK);
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  EXPECT_EQ(channel.Close(), 1);
}

TEST_F(PortChannelTest, EncodedAndRawSends) {
  Connect(false);
  const Bytes payload = {0x4B, 0x7E, 0x7D, 0x01};
  ASSERT_EQ(SendFrame(payload), 1);
  ASSERT_EQ(channel.SendFrame(payload.data(), 4, 1, 3000), 1);
  ASSERT_EQ(channel.SendRaw(nullptr, 0, 3000), 1);          // raw and empty: nothing sent
  ASSERT_EQ(channel.SendRaw(payload.data(), 2, 3000), 1);  // raw: as it is, no flag
  const Bytes expected = Concat({Frame(payload, false), Frame(payload, true), {0x4B, 0x7E}});
  EXPECT_EQ(peer.Receive(expected.size()), expected);
  ASSERT_NE(channel.SendBuffer(), nullptr);
  EXPECT_EQ(channel.SendBuffer(), channel.SendBuffer());  // one buffer, reused
  EXPECT_EQ(SendFrame(Bytes(4200)), 0) << "would overrun the buffer";
}

TEST_F(PortChannelTest, ReceiveThreadHandsOutTheNewestMatchingFrame) {
  Bytes bad = Frame({0x4B, 0x11, 0x22}, true);
  bad[3] ^= 0x40;
  struct Case {
    const char* what;
    Bytes pattern, stream;
    uint32_t frames;  // good frames in the stream
    Bytes reply;
  };
  const Case cases[] = {
      {"unrelated frame, reply behind a double flag", {0x4B, 0xC9},
       Concat({Frame({0x10, 0x20}, true), {0x7E}, Frame({0x4B, 0xC9, 0x03, 0x55})}), 2, {0x4B, 0xC9, 0x03, 0x55}},
      {"error reply to the request", {0x4B, 0xC9}, Frame({0x13, 0x4B, 0xC9, 0x03}), 1, {0x13, 0x4B, 0xC9, 0x03}},
      {"two matches", {0x02}, Concat({Frame({0x02, 0x01}), Frame({0x02, 0x02})}), 2, {0x02, 0x02}},
      {"bad check value, overlong run", {0x4B}, Concat({bad, Bytes(1500, 0x4B), {0x7E}, Frame({0x4B, 0x33})}), 1,
       {0x4B, 0x33}},
  };
  Connect(true);
  EXPECT_TRUE(channel.ReceiveThreadRunning());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Expect(c.pattern);
    peer.Send(c.stream);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return channel.Queue().Count() == c.frames; }, 2000));
    EXPECT_EQ(Receive(), c.reply);
    EXPECT_EQ(channel.Queue().Count(), 0u);
  }
}

TEST_F(PortChannelTest, WithoutThreadReceiveReadsTheFirstFrameUntilADeadline) {
  Connect(false);
  peer.Send(Concat({{0x7E, 0x7E}, Frame({0x99, 0x01, 0x02, 0x03})}));
  EXPECT_EQ(Receive(3000, 2), (Bytes{0x99, 0x01})) << "any frame, cut to the capacity";
  Bytes bad = Frame({0x41, 0x42, 0x43});
  bad[1] ^= 0x02;
  peer.Send(Concat({bad, Frame({0x44})}));
  uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Receive().empty());
  EXPECT_LT(Since(start), 3000u) << "a bad check value ends the read";
  EXPECT_EQ(Receive(), Bytes{0x44});
  start = Clock::TickCount();
  EXPECT_TRUE(Receive(1000).empty());
  EXPECT_GE(Since(start), 1000u);
  EXPECT_LT(Since(start), 1000 + 600 + SLACK);  // a last read may be under way
}

TEST_F(PortChannelTest, ReceiveThreadStopsPromptlyAndStartsAgain) {
  Connect(true);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  EXPECT_LT(Since(start), 100 + SLACK);  // the cancel plus the port's pause
  EXPECT_FALSE(channel.ReceiveThreadRunning());
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(channel.StartReceiveThread(), 1);
    EXPECT_EQ(channel.StopReceiveThread(), 1);
  }
  ASSERT_EQ(channel.StartReceiveThread(), 1);  // the channel stayed open
  Expect({0x4B});
  peer.Send(Frame({0x4B, 0x05}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x05}));
}

TEST_F(PortChannelTest, CloseEndsTheThreadAlsoWithoutPortAndReopenWorks) {
  auto unopened = std::make_unique<PortChannel>();
  ASSERT_EQ(unopened->StartReceiveThread(), 1);
  EXPECT_EQ(unopened->Close(), 1);
  EXPECT_FALSE(unopened->ReceiveThreadRunning());
  ASSERT_EQ(unopened->StartReceiveThread(), 1);
  unopened.reset();  // the destructor joins it too
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
  ASSERT_TRUE(testsupport::WaitUntil([&] { return SendFrame({0x4B}) == 1; }, 2000));
  EXPECT_EQ(peer.Receive(4), Frame({0x4B}));
  peer.Send(Frame({0x4B, 0x06}));
  EXPECT_EQ(Receive(), (Bytes{0x4B, 0x06}));
}

TEST_F(PortChannelTest, UdpChannelStopsInTimeThoughItsPortCannotBeCancelled) {
  testsupport::UdpPeer silent;
  ASSERT_EQ(channel.Open("127.0.0.1", silent.Port(), PORT_UDP), 1);
  ASSERT_EQ(channel.SendRaw(Bytes{0x01}.data(), 1, 2000), 1);
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(channel.StopReceiveThread(), 1);
  EXPECT_LT(Since(start), 100 + SLACK);
}

}  // namespace
