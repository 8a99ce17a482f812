#include "framing/Hdlc.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ScriptedPort.h"

namespace {

using testsupport::Bytes;
using testsupport::Frame;

// The payload, or {} when the decoder calls the frame invalid.
Bytes Decode(Bytes frame) {
  frame.resize(HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), frame.data()));  // in place
  return frame;
}

// Encodings (escapes in payload and check value) and their decoding with and
// without the closing flag, frames that are none, and the write frames.
TEST(HdlcTest, EncodeDecodeAndWriteFrames) {
  const struct { Bytes m_Payload; bool m_Lead; Bytes m_Wire; } kCases[] = {
      {{'a', 'b', 'c'}, false, {0x61, 0x62, 0x63, 0x25, 0x9E, 0x7E}},
      {{}, true, {0x7E, 0x00, 0x00, 0x7E}},
      {{0x7E, 0x7D}, true, {0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0xF1, 0xCD, 0x7E}},
      {{0x00, 0x01, 0x11, 0x13, 0x1F, 0x20}, false, {0x00, 0x01, 0x11, 0x13, 0x1F, 0x20, 0x7B, 0x7D, 0x5E, 0x7E}},
      {{0x19}, false, {0x19, 0x38, 0x7D, 0x5D, 0x7E}},      // FCS high byte 7D
      {{0x60}, true, {0x7E, 0x60, 0x7D, 0x5E, 0x93, 0x7E}},  // FCS low byte 7E
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Wire));
    EXPECT_EQ(Frame(c.m_Payload, c.m_Lead), c.m_Wire);
    EXPECT_EQ(Decode(c.m_Wire), c.m_Payload);
    EXPECT_EQ(Decode(Bytes(c.m_Wire.begin(), c.m_Wire.end() - 1)), c.m_Payload) << "without the closing flag";
  }
  // The last three: a bad check value in the first byte, and an escape without its partner at the end and
  // before the flag (1B 2A 5E 7E is good).
  for (const Bytes& frame : {Bytes{}, Bytes{0x7E}, Bytes{0x7E, 0x7E}, Bytes{0x7E, 0x3A, 0x7E}, Bytes{0x7E, 0x3A, 0xA1, 0x7E},
                             Bytes{0x3A, 0xA1}, Bytes{0x3B, 0xA1, 0x6E, 0x7E}, Bytes{0x3A, 0xA1, 0x6E, 0x7D},
                             Bytes{0x1B, 0x2A, 0x7D, 0x7E}})
    EXPECT_EQ(Decode(frame), Bytes{}) << testing::PrintToString(frame);
  // The longest write frame there is: every address and data byte escaped, the address and length big-endian.
  const Bytes data(WRITE_BLOCK_SIZE, 0x7E);
  Bytes payload = {0x0F, 0x7D, 0x7E, 0x7D, 0x7E, 0x10, 0x00}, frame(WRITE_FRAME_BUFFER_SIZE);
  payload.resize(7 + WRITE_BLOCK_SIZE, 0x7E);
  frame.resize(BuildWriteFrame(frame.data(), 0x7D7E7D7E, WRITE_BLOCK_SIZE, data.data()));
  EXPECT_EQ(frame, Frame(payload, true));
}

}  // namespace
