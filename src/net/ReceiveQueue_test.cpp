#include "net/ReceiveQueue.h"

#include <gtest/gtest.h>

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
  // The reply, or an empty vector; Wait(0) only looks whether a match was signalled.
  Bytes Wait(uint32_t timeoutMs = 200, uint32_t capacity = 4000) {
    Bytes out(capacity);
    uint32_t length = 0;
    if (!queue.WaitReply(out.data(), capacity, &length, timeoutMs)) return {};
    out.resize(length);
    return out;
  }
  ReceiveQueue queue;
};

TEST_F(ReceiveQueueTest, MatchRules) {
  struct Case { Bytes pattern, frame; bool matches; };
  const Bytes version = {0x4B, 0xC9, 0x03, 0xFF}, write = {0x02, 0x00, 0x10, 0x20, 0x00};
  std::vector<Case> cases = {
      {version, {0x4B, 0xC9, 0x03, 0xFF, 0x00}, true}, {version, {0x4B, 0xC9, 0x03, 0xFF}, true},
      {version, {0x4B, 0xC9, 0x04, 0xFF}, false}, {version, {0x4B, 0xC9, 0x03}, false},
      {version, {0x00, 0x4B, 0xC9, 0x03, 0xFF}, false}, {version, {0x16, 0x4B, 0xC9, 0x03, 0xFF}, false},
      // A pattern that begins with an error code needs the error form.
      {{0x13}, {0x13, 0x01}, false}, {{0x13}, {0x13, 0x13}, true},
      // Block writes: the acknowledgement as far as it goes, or a 3-byte refusal; no error form.
      {write, {0x02, 0x00, 0x10, 0x20, 0x00, 0x99}, true}, {write, {0x02}, true}, {write, {0x02, 0x00, 0x10}, true},
      {write, {0x02, 0x00, 0x11}, false}, {write, {0x03, 0x12, 0x34}, true}, {write, {0x03, 0x12, 0x34, 0x56}, false},
      {write, {0x03, 0x12}, false}, {write, {0x13, 0x02, 0x00, 0x10, 0x20, 0x00}, false}};
  for (uint8_t code : {0x13, 0x14, 0x15, 0x18}) {  // error replies carry the request behind their code
    cases.push_back({version, {code, 0x4B, 0xC9, 0x03, 0xFF, 0x77}, true});
    cases.push_back({version, {code, 0x4B, 0xC9, 0x03, 0xFF}, true});
    cases.push_back({version, {code, 0x4B, 0xC9, 0x03}, false});
    cases.push_back({version, {code, 0x4B, 0xC9, 0x04, 0xFF}, false});
  }
  for (const Case& c : cases) {
    Expect(c.pattern);
    EXPECT_EQ(queue.Matches(c.frame.data(), static_cast<uint32_t>(c.frame.size())), c.matches)
        << testing::PrintToString(c.pattern) << " " << testing::PrintToString(c.frame);
  }
}

TEST_F(ReceiveQueueTest, NewestMatchWinsCutToTheRoomAndEveryWaitEmptiesTheQueue) {
  Expect({0x4B});
  Bytes big(3000, 0x33);  // the store grows for it, and is reused after
  big[0] = 0x4B;
  for (const Bytes& frame : {Bytes{0x4B, 1}, Bytes{0x99}, big, Bytes{0x98}}) ASSERT_EQ(Push(frame), 1);
  EXPECT_EQ(queue.Count(), 4u);
  EXPECT_EQ(Wait(), big);
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_TRUE(Wait(0).empty()) << "the older match went with the queue";
  Push({0x10, 0x20});
  Push({0x4B, 1, 2, 3});
  uint32_t length = 0;
  uint8_t byte;
  EXPECT_EQ(queue.WaitReply(nullptr, 10, &length, 100), 0);  // no room: the queue stays
  EXPECT_EQ(queue.WaitReply(&byte, 0, &length, 100), 0);
  EXPECT_EQ(queue.Count(), 2u);
  EXPECT_EQ(Wait(200, 3), (Bytes{0x4B, 1, 2}));
}

TEST_F(ReceiveQueueTest, FiftyFirstFrameIsDroppedUntilAWaitEmptiesTheQueue) {
  Expect({0x4B});
  for (uint8_t i = 0; i < ReceiveQueue::MAX_FRAMES; ++i) ASSERT_EQ(Push({0x10, i}), 1);
  EXPECT_EQ(Push({0x4B, 0x51}), 0);  // though it matches
  EXPECT_EQ(queue.Count(), 50u);
  EXPECT_TRUE(Wait(0).empty());
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(Push({0x4B, 0x52}), 1);
  EXPECT_EQ(Wait(), (Bytes{0x4B, 0x52}));
}

TEST_F(ReceiveQueueTest, OneMatchReleasesOneWaitAndATimedOutWaitEmptiesTheQueue) {
  Expect({0x4B});
  Push({0x4B, 0x01});
  EXPECT_EQ(Wait(), (Bytes{0x4B, 0x01}));
  Push({0x10});
  Push({0x11});
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Wait(300).empty());
  EXPECT_GE(Clock::TickCount() - start, 290u) << "the first wait reset the signal";
  EXPECT_EQ(queue.Count(), 0u);
  Push({0x5A, 0x01});  // after the time-out a frame stays for the next wait
  EXPECT_EQ(queue.Count(), 1u);
  Expect({0x5A});
  Push({0x5A, 0x02});
  EXPECT_EQ(Wait(), (Bytes{0x5A, 0x02}));
}

TEST_F(ReceiveQueueTest, NewPatternClearsAMatchSignalledBefore) {
  Expect({0x4B});
  Push({0x4B, 0x01});  // a late reply to an earlier request
  Expect({0x4B});      // the next request names its reply
  EXPECT_TRUE(Wait(0).empty());
  EXPECT_EQ(queue.Count(), 0u);
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

}  // namespace
