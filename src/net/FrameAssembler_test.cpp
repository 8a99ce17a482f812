#include "net/FrameAssembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/LoopbackPeers.h"

namespace {

using testsupport::Bytes;
using testsupport::Concat;
using testsupport::Frame;

// A payload whose unescaped frame is exactly run bytes between the flags.
Bytes PayloadFillingRun(size_t run) {
  for (uint8_t seed = 0;; ++seed) {
    Bytes payload(run - 2, 0x30);
    payload[0] = seed;
    if (Frame(payload).size() == run + 1) return payload;  // no escape in the FCS
  }
}

TEST(FrameAssemblerTest, CutsTheStreamAtFlags) {
  const Bytes a = {0x01, 0x7E, 0x7D}, b = {0x4B, 0xC9}, c = {0xAA, 0xBB, 0x10, 0x20};
  const Bytes full = PayloadFillingRun(FrameAssembler::MAX_FRAME);
  Bytes badCheck = Frame({0x41, 0x42, 0x43}, true);
  badCheck[2] ^= 0x01;
  const Bytes split = Frame(c);  // its first two bytes, a stray flag, the rest
  struct Case {
    const char* what;
    Bytes stream;
    std::vector<Bytes> frames;
    int bad;
  };
  const Case cases[] = {
      {"leading double flag", Concat({{0x7E}, Frame(a, true)}), {a}, 0},
      {"no leading flags, escapes undone", Concat({Frame(a), Frame(b)}), {a, b}, 0},
      {"two bytes before a flag are kept", Concat({{split[0], split[1], 0x7E}, {split.begin() + 2, split.end()}}), {c}, 0},
      {"kept bytes spoil the next frame", Concat({{0x55, 0x7E}, Frame(b, true)}), {}, 1},
      {"bad check value, the next frame decodes", Concat({badCheck, Frame({0x44})}), {{0x44}}, 1},
      {"a run of exactly 1024 bytes", Frame(full, true), {full}, 0},
      {"a run of 1025 goes with its last byte", Concat({{0x7E, 0x99}, Frame(full), Frame(b, true)}), {b}, 0},
      {"bytes after an overflow start afresh", Concat({Bytes(FrameAssembler::MAX_FRAME + 1, 0x31), Frame(c)}), {c}, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FrameAssembler assembler;
    std::vector<Bytes> frames;
    int bad = 0;
    for (uint8_t byte : k.stream) {
      const FrameAssembler::Result result = assembler.Feed(byte);
      if (result == FrameAssembler::FRAME) {
        frames.emplace_back(assembler.Payload(), assembler.Payload() + assembler.PayloadLength());
      }
      bad += result == FrameAssembler::BAD_FRAME;
    }
    EXPECT_EQ(frames, k.frames);
    EXPECT_EQ(bad, k.bad);
    EXPECT_EQ(assembler.Pending(), 0u);
  }
}

}  // namespace
