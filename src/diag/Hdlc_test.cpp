#include "diag/Hdlc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "diag/Crc16.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& payload, int leadingFlag) {
  Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  const uint32_t n = HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), leadingFlag);
  EXPECT_LE(n, out.size());
  out.resize(n);
  return out;
}

// Returns the decoded payload, or nothing when the decoder says invalid.
bool Decode(const Bytes& frame, Bytes* payload) {
  Bytes out(frame.size() + 1);
  const uint32_t n = HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), out.data());
  if (n == 0) return false;
  payload->assign(out.begin(), out.begin() + n);
  return true;
}

TEST(HdlcEncodeTest, ExamplesFromTheFrameFormat) {
  EXPECT_EQ(Encode({'a', 'b', 'c'}, 0), (Bytes{0x61, 0x62, 0x63, 0x25, 0x9E, 0x7E}));
  EXPECT_EQ(Encode({}, 1), (Bytes{0x7E, 0x00, 0x00, 0x7E}));
  EXPECT_EQ(Encode({0x3A}, 0), (Bytes{0x3A, 0xA1, 0x6E, 0x7E}));
  EXPECT_EQ(Encode({0x0A}, 1), (Bytes{0x7E, 0x0A, 0x22, 0x5F, 0x7E}));
  EXPECT_EQ(Encode({0x7E, 0x7D}, 1), (Bytes{0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0xF1, 0xCD, 0x7E}));
}

TEST(HdlcEncodeTest, ControlCharactersAreNotEscaped) {
  const Bytes payload = {0x00, 0x01, 0x11, 0x13, 0x1F, 0x20};
  const Bytes frame = Encode(payload, 0);
  ASSERT_GE(frame.size(), payload.size());
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + payload.size()), payload);
}

TEST(HdlcEncodeTest, FcsBytesEqualToFlagOrEscapeAreEscaped) {
  // Search one-byte and two-byte payloads whose FCS holds a 7E or a 7D.
  std::mt19937 random(3);
  int seen = 0;
  for (int round = 0; round < 20000 && seen < 20; ++round) {
    const Bytes payload = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    const uint16_t fcs = Crc16(payload.data(), 2);
    const uint8_t low = fcs & 0xFF, high = fcs >> 8;
    const bool special = low == 0x7E || low == 0x7D || high == 0x7E || high == 0x7D;
    if (!special) continue;
    ++seen;
    const Bytes frame = Encode(payload, 0);
    // Between the payload and the final flag no raw 7E may appear.
    for (size_t i = 0; i + 1 < frame.size(); ++i) EXPECT_NE(frame[i], 0x7E);
    Bytes expected;
    for (uint8_t b : {payload[0], payload[1], low, high}) {
      if (b == 0x7E || b == 0x7D) {
        expected.push_back(0x7D);
        expected.push_back(b ^ 0x20);
      } else {
        expected.push_back(b);
      }
    }
    expected.push_back(0x7E);
    EXPECT_EQ(frame, expected);
  }
  EXPECT_EQ(seen, 20);
}

TEST(HdlcDecodeTest, RoundTripsRandomPayloadsDenseInFlagAndEscape) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    Bytes payload(1 + random() % 200);
    for (uint8_t& b : payload) {
      const uint32_t pick = random() % 4;
      b = pick == 0 ? 0x7E : pick == 1 ? 0x7D : static_cast<uint8_t>(random());
    }
    for (int leading = 0; leading <= 1; ++leading) {
      const Bytes frame = Encode(payload, leading);
      EXPECT_EQ(frame.back(), 0x7E);
      EXPECT_EQ(frame.front() == 0x7E, leading == 1);  // a payload 7E is escaped
      Bytes decoded;
      ASSERT_TRUE(Decode(frame, &decoded));
      EXPECT_EQ(decoded, payload);
      // Also without its trailing flag, as the receive loop cuts it off.
      ASSERT_TRUE(Decode(Bytes(frame.begin(), frame.end() - 1), &decoded));
      EXPECT_EQ(decoded, payload);
    }
  }
}

TEST(HdlcDecodeTest, DecodesInPlaceAndKeepsFcsAfterPayload) {
  const Bytes payload = {0x7E, 0x01, 0x7D, 0x02};
  Bytes frame = Encode(payload, 1);
  const uint32_t n = HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), frame.data());
  ASSERT_EQ(n, payload.size());
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + n), payload);
  const uint16_t fcs = Crc16(payload.data(), 4);
  EXPECT_EQ(frame[n], fcs & 0xFF);
  EXPECT_EQ(frame[n + 1], fcs >> 8);
}

TEST(HdlcDecodeTest, AnyChangedByteInvalidatesAFrameWithoutEscapes) {
  const Bytes payload = {0x10, 0x20, 0x30, 0x40, 0x50};
  const Bytes frame = Encode(payload, 1);
  ASSERT_EQ(std::count(frame.begin(), frame.end(), 0x7D), 0) << "the payload was chosen to need no escape";
  for (size_t i = 1; i + 1 < frame.size(); ++i) {
    for (int value = 0; value < 256; ++value) {
      if (value == frame[i] || value == 0x7D || value == 0x7E) continue;
      Bytes changed = frame;
      changed[i] = static_cast<uint8_t>(value);
      Bytes decoded;
      EXPECT_FALSE(Decode(changed, &decoded)) << "byte " << i << " value " << value;
    }
  }
}

TEST(HdlcDecodeTest, RejectsShortEmptyAndDanglingInput) {
  Bytes decoded;
  EXPECT_FALSE(Decode({}, &decoded));
  EXPECT_FALSE(Decode({0x7E}, &decoded));
  EXPECT_FALSE(Decode({0x7E, 0x7E}, &decoded));
  EXPECT_FALSE(Decode({0x7E, 0x3A, 0x7E}, &decoded));
  EXPECT_FALSE(Decode({0x7E, 0x3A, 0xA1, 0x7E}, &decoded));
  EXPECT_FALSE(Decode({0x3A, 0xA1}, &decoded));
  // The empty payload's frame holds only the FCS: two bytes, so no frame.
  EXPECT_FALSE(Decode({0x7E, 0x00, 0x00, 0x7E}, &decoded));
  // A good frame with a 7D in the last position has no partner for it.
  Bytes frame = Encode({0x3A}, 0);
  frame.back() = 0x7D;
  EXPECT_FALSE(Decode(frame, &decoded));
  EXPECT_TRUE(Decode({0x3A, 0xA1, 0x6E, 0x7E}, &decoded));
  EXPECT_EQ(decoded, Bytes{0x3A});
}

TEST(BuildWriteFrameTest, ExampleFrame) {
  Bytes destination(WRITE_FRAME_BUFFER_SIZE);
  const uint8_t data[2] = {0x11, 0x22};
  const uint32_t n = BuildWriteFrame(destination.data(), 0x01020304, 2, data);
  destination.resize(n);
  EXPECT_EQ(destination, (Bytes{0x7E, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x00, 0x02, 0x11, 0x22, 0x47, 0x8B, 0x7E}));
}

TEST(BuildWriteFrameTest, EqualsEncodingOfHeaderAndData) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    const uint32_t length = round == 0 ? WRITE_BLOCK_SIZE : 1 + random() % WRITE_BLOCK_SIZE;
    const uint32_t address = static_cast<uint32_t>(random());
    Bytes data(length);
    for (uint8_t& b : data) b = (random() % 3 == 0) ? (random() % 2 ? 0x7E : 0x7D) : static_cast<uint8_t>(random());
    if (round == 1) std::fill(data.begin(), data.end(), 0x7E);  // the longest frame there is
    Bytes payload = {0x0F, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                     static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                     static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    payload.insert(payload.end(), data.begin(), data.end());

    Bytes built(WRITE_FRAME_BUFFER_SIZE);
    const uint32_t n = BuildWriteFrame(built.data(), address, length, data.data());
    ASSERT_LE(n, WRITE_FRAME_BUFFER_SIZE);
    built.resize(n);
    EXPECT_EQ(built, Encode(payload, 1)) << "round " << round;
  }
}

}  // namespace
