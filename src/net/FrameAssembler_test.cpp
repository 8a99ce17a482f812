#include "net/FrameAssembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/testing/LoopbackPeers.h"

namespace {

using testpeers::Bytes;
using testpeers::Frame;

struct Fed {
  std::vector<Bytes> frames;
  int bad = 0;
};

Fed FeedAll(FrameAssembler& assembler, const Bytes& stream) {
  Fed fed;
  for (uint8_t byte : stream) {
    const FrameAssembler::Result result = assembler.Feed(byte);
    if (result == FrameAssembler::FRAME) {
      fed.frames.emplace_back(assembler.Payload(), assembler.Payload() + assembler.PayloadLength());
    } else if (result == FrameAssembler::BAD_FRAME) {
      ++fed.bad;
    }
  }
  return fed;
}

TEST(FrameAssemblerTest, LeadingDoubleFlagGivesOneFrame) {
  FrameAssembler assembler;
  const Bytes payload = {0x41, 0x42, 0x43, 0x44};
  const Fed fed = FeedAll(assembler, testpeers::Concat({{0x7E}, Frame(payload)}));
  ASSERT_EQ(fed.frames.size(), 1u);
  EXPECT_EQ(fed.frames[0], payload);
  EXPECT_EQ(fed.bad, 0);
}

TEST(FrameAssemblerTest, FramesWithoutLeadingFlagAreSeparatedByTheTrailingOne) {
  FrameAssembler assembler;
  const Bytes a = {0x01, 0x7E, 0x7D}, b = {0x4B, 0xC9};
  const Fed fed = FeedAll(assembler, testpeers::Concat({Frame(a, false), Frame(b, false)}));
  ASSERT_EQ(fed.frames.size(), 2u);
  EXPECT_EQ(fed.frames[0], a);  // escapes undone
  EXPECT_EQ(fed.frames[1], b);
}

TEST(FrameAssemblerTest, TwoBytesBeforeAFlagStartTheNextFrame) {
  FrameAssembler assembler;
  const Bytes payload = {0xAA, 0xBB, 0x10, 0x20};
  const Bytes encoded = Frame(payload, false);  // AA BB 10 20 FCS FCS 7E
  // The first two bytes arrive, then a stray flag, then the rest.
  Bytes stream = {encoded[0], encoded[1], 0x7E};
  stream.insert(stream.end(), encoded.begin() + 2, encoded.end());
  const Fed fed = FeedAll(assembler, stream);
  ASSERT_EQ(fed.frames.size(), 1u);
  EXPECT_EQ(fed.frames[0], payload);
}

TEST(FrameAssemblerTest, KeptBytesThatSpoilTheNextFrameMakeItBad) {
  FrameAssembler assembler;
  const Fed fed = FeedAll(assembler, testpeers::Concat({{0x55, 0x7E}, Frame({0x41, 0x42})}));
  EXPECT_TRUE(fed.frames.empty());
  EXPECT_EQ(fed.bad, 1);
}

TEST(FrameAssemblerTest, BadCheckValueIsReportedAndTheNextFrameStillDecodes) {
  FrameAssembler assembler;
  Bytes broken = Frame({0x41, 0x42, 0x43});
  broken[2] ^= 0x01;  // a payload byte, never 7D/7E here
  const Fed fed = FeedAll(assembler, testpeers::Concat({broken, Frame({0x44})}));
  EXPECT_EQ(fed.bad, 1);
  ASSERT_EQ(fed.frames.size(), 1u);
  EXPECT_EQ(fed.frames[0], Bytes{0x44});
}

// A payload whose unescaped frame is exactly n bytes between the flags.
Bytes PayloadFillingRun(size_t run) {
  for (uint8_t seed = 0;; ++seed) {
    Bytes payload(run - 2, 0x30);
    payload[0] = seed;
    const Bytes frame = Frame(payload, false);
    if (frame.size() == run + 1) return payload;  // no escape in the FCS
  }
}

TEST(FrameAssemblerTest, RunOfExactly1024BytesIsStillDecoded) {
  FrameAssembler assembler;
  const Bytes payload = PayloadFillingRun(FrameAssembler::MAX_FRAME);
  const Fed fed = FeedAll(assembler, Frame(payload));
  ASSERT_EQ(fed.frames.size(), 1u);
  EXPECT_EQ(fed.frames[0], payload);
}

TEST(FrameAssemblerTest, RunLongerThan1024BytesIsDroppedWithTheOverflowingByte) {
  FrameAssembler assembler;
  const Bytes payload = PayloadFillingRun(FrameAssembler::MAX_FRAME);
  // One extra byte in front: the 1025th byte of the run (the frame's last
  // before its flag) overflows, the run goes, and the flag finds nothing.
  const Fed fed = FeedAll(assembler, testpeers::Concat({{0x7E, 0x99}, Frame(payload, false)}));
  EXPECT_TRUE(fed.frames.empty());
  EXPECT_EQ(fed.bad, 0);
  EXPECT_EQ(assembler.Pending(), 0u);
  const Fed after = FeedAll(assembler, Frame({0x01, 0x02}));
  ASSERT_EQ(after.frames.size(), 1u);
  EXPECT_EQ(after.frames[0], (Bytes{0x01, 0x02}));
}

TEST(FrameAssemblerTest, BytesAfterAnOverflowStartAFreshRun) {
  FrameAssembler assembler;
  Bytes stream(FrameAssembler::MAX_FRAME + 1, 0x31);  // the run overflows here
  const Bytes frame = Frame({0x61, 0x62, 0x63}, false);
  stream.insert(stream.end(), frame.begin(), frame.end());
  const Fed fed = FeedAll(assembler, stream);
  ASSERT_EQ(fed.frames.size(), 1u);
  EXPECT_EQ(fed.frames[0], (Bytes{0x61, 0x62, 0x63}));
}

}  // namespace
