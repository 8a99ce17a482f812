#include "diag/Hdlc.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& payload, int leadingFlag) {
  Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), leadingFlag));
  return out;
}

// The payload, or {} when the decoder calls the frame invalid.
Bytes Decode(Bytes frame) {
  const uint32_t n = HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), frame.data());  // in place
  frame.resize(n);
  return frame;
}

TEST(HdlcTest, EncodingsAndTheirRoundTrips) {
  const struct {
    Bytes m_Payload;
    int m_Lead;
    Bytes m_Wire;
  } kCases[] = {
      {{'a', 'b', 'c'}, 0, {0x61, 0x62, 0x63, 0x25, 0x9E, 0x7E}},
      {{}, 1, {0x7E, 0x00, 0x00, 0x7E}},
      {{0x3A}, 0, {0x3A, 0xA1, 0x6E, 0x7E}},
      {{0x0A}, 1, {0x7E, 0x0A, 0x22, 0x5F, 0x7E}},
      {{0x7E, 0x7D}, 1, {0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0xF1, 0xCD, 0x7E}},
      {{0x00, 0x01, 0x11, 0x13, 0x1F, 0x20}, 0, {0x00, 0x01, 0x11, 0x13, 0x1F, 0x20, 0x7B, 0x7D, 0x5E, 0x7E}},
      {{0x19}, 0, {0x19, 0x38, 0x7D, 0x5D, 0x7E}},  // FCS high byte 7D
      {{0x60}, 1, {0x7E, 0x60, 0x7D, 0x5E, 0x93, 0x7E}},  // FCS low byte 7E
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Wire));
    EXPECT_EQ(Encode(c.m_Payload, c.m_Lead), c.m_Wire);
    if (c.m_Payload.empty()) continue;
    EXPECT_EQ(Decode(c.m_Wire), c.m_Payload);
    EXPECT_EQ(Decode(Bytes(c.m_Wire.begin(), c.m_Wire.end() - 1)), c.m_Payload) << "without the closing flag";
  }
  // Dense in flags and escapes, in both framings.
  for (const Bytes& payload : {Bytes{0x7E}, Bytes{0x7D, 0x7E, 0x5D, 0x5E, 0x7D}, Bytes(4103, 0x7E)}) {
    EXPECT_EQ(Decode(Encode(payload, 0)), payload);
    EXPECT_EQ(Decode(Encode(payload, 1)), payload);
  }
}

TEST(HdlcTest, InvalidFrames) {
  const Bytes kCases[] = {
      {}, {0x7E}, {0x7E, 0x7E}, {0x7E, 0x3A, 0x7E}, {0x7E, 0x3A, 0xA1, 0x7E}, {0x3A, 0xA1},
      {0x7E, 0x00, 0x00, 0x7E},  // the empty payload: an FCS alone is no frame
      {0x3A, 0xA1, 0x6E, 0x7D},  // an escape without its partner
      {0x1B, 0x2A, 0x7D, 0x7E},  // the same before the flag (1B 2A 5E 7E is good)
      {0x3A, 0xA1, 0x6F, 0x7E},  // bad FCS
  };
  for (const Bytes& frame : kCases) EXPECT_EQ(Decode(frame), Bytes{}) << testing::PrintToString(frame);
  // Any other value, neither flag nor escape, in any byte of a frame without escapes.
  const Bytes good = Encode({0x10, 0x20, 0x30, 0x40, 0x50}, 1);
  for (size_t i = 1; i + 1 < good.size(); ++i) {
    for (int value = 0; value < 256; ++value) {
      if (value == good[i] || value == 0x7D || value == 0x7E) continue;
      Bytes changed = good;
      changed[i] = static_cast<uint8_t>(value);
      ASSERT_EQ(Decode(changed), Bytes{}) << "byte " << i << " value " << value;
    }
  }
}

TEST(HdlcTest, WriteFramesAreTheEncodingOfHeaderAndData) {
  Bytes frame(WRITE_FRAME_BUFFER_SIZE);
  const uint8_t two[2] = {0x11, 0x22};
  frame.resize(BuildWriteFrame(frame.data(), 0x01020304, 2, two));
  EXPECT_EQ(frame, (Bytes{0x7E, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x00, 0x02, 0x11, 0x22, 0x47, 0x8B, 0x7E}));
  // The longest there is: every address and data byte escaped.
  const Bytes data(WRITE_BLOCK_SIZE, 0x7E);
  Bytes payload = {0x0F, 0x7D, 0x7E, 0x7D, 0x7E, 0x10, 0x00};
  payload.resize(7 + WRITE_BLOCK_SIZE, 0x7E);
  Bytes longest(WRITE_FRAME_BUFFER_SIZE);
  longest.resize(BuildWriteFrame(longest.data(), 0x7D7E7D7E, WRITE_BLOCK_SIZE, data.data()));
  EXPECT_EQ(longest, Encode(payload, 1));
}

}  // namespace
