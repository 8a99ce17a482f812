#include "net/ReceiveQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "net/Clock.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ReceiveQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(50); }

  void Expect(const Bytes& pattern) { queue.SetPattern(pattern.data(), static_cast<uint32_t>(pattern.size())); }
  int Push(const Bytes& frame) { return queue.Push(frame.data(), static_cast<uint32_t>(frame.size())); }
  bool Matches(const Bytes& frame) { return queue.Matches(frame.data(), static_cast<uint32_t>(frame.size())); }
  // Waits briefly; the reply or an empty vector.
  Bytes Wait(uint32_t timeoutMs = 200, uint32_t capacity = 64) {
    Bytes out(capacity);
    uint32_t length = 0;
    if (!queue.WaitReply(out.data(), capacity, &length, timeoutMs)) return {};
    out.resize(length);
    return out;
  }

  ReceiveQueue queue;
};

TEST_F(ReceiveQueueTest, PlainPatternComparesTheFirstBytes) {
  Expect({0x4B, 0xC9, 0x03, 0xFF});
  EXPECT_TRUE(Matches({0x4B, 0xC9, 0x03, 0xFF, 0x00, 0x01}));
  EXPECT_TRUE(Matches({0x4B, 0xC9, 0x03, 0xFF}));
  EXPECT_FALSE(Matches({0x4B, 0xC9, 0x04, 0xFF}));
  EXPECT_FALSE(Matches({0x4B, 0xC9, 0x03}));  // shorter than the pattern
  EXPECT_FALSE(Matches({0x00, 0x4B, 0xC9, 0x03, 0xFF}));
}

TEST_F(ReceiveQueueTest, ErrorRepliesCarryThePatternBehindTheirFirstByte) {
  Expect({0x4B, 0xC9, 0x03, 0xFF});
  for (uint8_t code : {0x13, 0x14, 0x15, 0x18}) {
    EXPECT_TRUE(Matches({code, 0x4B, 0xC9, 0x03, 0xFF, 0x77})) << int(code);
    EXPECT_TRUE(Matches({code, 0x4B, 0xC9, 0x03, 0xFF})) << int(code);
    EXPECT_FALSE(Matches({code, 0x4B, 0xC9, 0x03})) << int(code);  // needs L + 1 bytes
    EXPECT_FALSE(Matches({code, 0x4B, 0xC9, 0x04, 0xFF})) << int(code);
  }
  EXPECT_FALSE(Matches({0x16, 0x4B, 0xC9, 0x03, 0xFF}));  // not an error code
  // A pattern that itself begins with an error code needs the error form.
  Expect({0x13});
  EXPECT_FALSE(Matches({0x13, 0x01}));
  EXPECT_TRUE(Matches({0x13, 0x13}));
}

TEST_F(ReceiveQueueTest, BlockWritePatternAcceptsRefusalsAndShortAcknowledgements) {
  Expect({0x02, 0x00, 0x10, 0x20, 0x00});
  EXPECT_TRUE(Matches({0x02, 0x00, 0x10, 0x20, 0x00, 0x99}));
  EXPECT_TRUE(Matches({0x03, 0x12, 0x34}));  // refusal: exactly 3 bytes, 03 first
  EXPECT_FALSE(Matches({0x03, 0x12, 0x34, 0x56}));
  EXPECT_FALSE(Matches({0x03, 0x12}));
  EXPECT_TRUE(Matches({0x02}));  // only min(L, length) bytes compared
  EXPECT_TRUE(Matches({0x02, 0x00, 0x10}));
  EXPECT_FALSE(Matches({0x02, 0x00, 0x11}));
  EXPECT_FALSE(Matches({0x13, 0x02, 0x00, 0x10, 0x20, 0x00}));  // no error form here
}

TEST_F(ReceiveQueueTest, NewestMatchWinsAndEveryWaitConsumesTheQueue) {
  Expect({0x4B});
  ASSERT_EQ(Push({0x4B, 0x01}), 1);
  ASSERT_EQ(Push({0x99}), 1);
  ASSERT_EQ(Push({0x4B, 0x02}), 1);
  ASSERT_EQ(Push({0x98}), 1);
  EXPECT_EQ(queue.Count(), 4u);
  EXPECT_EQ(Wait(), (Bytes{0x4B, 0x02}));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_TRUE(Wait(50).empty());  // the older match went with the queue
}

TEST_F(ReceiveQueueTest, ReplyIsCutToTheCapacity) {
  Expect({0x4B});
  Push({0x4B, 1, 2, 3, 4, 5});
  EXPECT_EQ(Wait(200, 3), (Bytes{0x4B, 1, 2}));
}

TEST_F(ReceiveQueueTest, WaitWithoutRoomLeavesTheQueueAlone) {
  Expect({0x4B});
  Push({0x4B});
  uint8_t byte = 0;
  uint32_t length = 0;
  EXPECT_EQ(queue.WaitReply(nullptr, 10, &length, 100), 0);
  EXPECT_EQ(queue.WaitReply(&byte, 0, &length, 100), 0);
  EXPECT_EQ(queue.Count(), 1u);
  EXPECT_EQ(Wait(), Bytes{0x4B});
}

TEST_F(ReceiveQueueTest, FiftyFirstFrameIsDroppedUntilAWaitEmptiesTheQueue) {
  Expect({0x4B});
  for (uint8_t i = 0; i < ReceiveQueue::MAX_FRAMES; ++i) ASSERT_EQ(Push({0x10, i}), 1);
  EXPECT_EQ(Push({0x4B, 0x51}), 0);  // the 51st, though it matches
  EXPECT_EQ(queue.Count(), 50u);
  EXPECT_TRUE(Wait(100).empty());  // no match was queued: time-out
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(Push({0x4B, 0x52}), 1);
  EXPECT_EQ(Wait(), (Bytes{0x4B, 0x52}));
}

TEST_F(ReceiveQueueTest, TimedOutWaitEmptiesTheQueueAndLaterFramesStay) {
  Expect({0x4B});
  Push({0x10});
  Push({0x11});
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Wait(300).empty());
  EXPECT_GE(Clock::TickCount() - start, 290u);
  EXPECT_EQ(queue.Count(), 0u);
  // A frame after the time-out stays and answers the next wait that wants it.
  Push({0x5A, 0x01});
  EXPECT_EQ(queue.Count(), 1u);
  Expect({0x5A});
  Push({0x5A, 0x02});
  EXPECT_EQ(Wait(), (Bytes{0x5A, 0x02}));
}

TEST_F(ReceiveQueueTest, NewPatternClearsAMatchSignalledBefore) {
  Expect({0x4B});
  Push({0x4B, 0x01});  // a late reply to an earlier request
  Expect({0x4B});      // the next request names its reply
  EXPECT_TRUE(Wait(100).empty());
  EXPECT_EQ(queue.Count(), 0u);
}

TEST_F(ReceiveQueueTest, OneMatchReleasesOneWait) {
  Expect({0x4B});
  Push({0x4B, 0x01});
  EXPECT_EQ(Wait(), (Bytes{0x4B, 0x01}));
  Push({0x10});
  EXPECT_TRUE(Wait(100).empty());  // the event was reset by the first wait
}

TEST_F(ReceiveQueueTest, StoreGrowsForLargeFramesAndIsReused) {
  Expect({0x4B});
  Bytes big(3000, 0x33);
  big[0] = 0x4B;
  for (int round = 0; round < 3; ++round) {
    Push({0x10, 0x20});
    Push(big);
    EXPECT_EQ(Wait(200, 4000), big);
  }
}

TEST_F(ReceiveQueueTest, PushFromAnotherThreadWakesTheWaiter) {
  Expect({0x4B, 0xC9});
  std::thread pusher([this] {
    for (uint8_t i = 0; i < 20; ++i) Push({0x20, i});
    Push({0x13, 0x4B, 0xC9, 0x07});
  });
  const Bytes reply = Wait(INFINITE);
  pusher.join();
  EXPECT_EQ(reply, (Bytes{0x13, 0x4B, 0xC9, 0x07}));
}

TEST_F(ReceiveQueueTest, ConcurrentPushesAndWaitsStayConsistent) {
  // Requester and receive thread run side by side, as in an upgrade.
  std::atomic<bool> done{false};
  std::thread pusher([&] {
    uint8_t i = 0;
    while (!done.load()) {
      Push({0x4B, i++});
      Push({0x10});
      std::this_thread::yield();
    }
  });
  int answered = 0;
  for (int round = 0; round < 50; ++round) {
    Expect({0x4B});
    const Bytes reply = Wait(2000);
    if (!reply.empty()) {
      EXPECT_EQ(reply.size(), 2u);
      EXPECT_EQ(reply[0], 0x4B);
      ++answered;
    }
  }
  done.store(true);
  pusher.join();
  // A wait may time out when the queue filled up before its pattern was set;
  // most are answered.
  EXPECT_GT(answered, 0);
  EXPECT_LE(queue.Count(), ReceiveQueue::MAX_FRAMES);
}

}  // namespace
