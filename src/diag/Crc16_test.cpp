#include "diag/Crc16.h"

#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <cstring>
#include <random>
#include <vector>

namespace {

uint16_t Crc16Of(const char* text) { return Crc16(reinterpret_cast<const uint8_t*>(text), strlen(text)); }

// The independent reference: CRC-16/X-25 as Boost.CRC spells it.
uint16_t Reference(const uint8_t* data, size_t length) {
  boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, true, true> crc;
  crc.process_bytes(data, length);
  return crc.checksum();
}

TEST(Crc16Test, KnownVectors) {
  EXPECT_EQ(Crc16Of("123456789"), 0x906E);
  EXPECT_EQ(Crc16Of("abc"), 0x9E25);
  EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
  const uint8_t zero = 0;
  EXPECT_EQ(Crc16(&zero, 0), 0x0000);
}

TEST(Crc16Test, GoodFrameResidue) {
  // Register over payload + FCS (low byte first) always ends at the residue.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(random() % 300);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    const uint16_t fcs = Crc16(data.data(), static_cast<uint32_t>(data.size()));
    data.push_back(static_cast<uint8_t>(fcs & 0xFF));
    data.push_back(static_cast<uint8_t>(fcs >> 8));
    EXPECT_EQ(Crc16Run(CRC16_PRESET, data.data(), static_cast<uint32_t>(data.size())), CRC16_GOOD_RESIDUE);
  }
}

TEST(Crc16Test, RunAndUpdateAgreeWithWholeBuffer) {
  const char* text = "123456789";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  uint16_t stepped = CRC16_PRESET;
  for (int i = 0; i < 9; ++i) stepped = Crc16Update(stepped, bytes[i]);
  const uint16_t split = Crc16Run(Crc16Run(CRC16_PRESET, bytes, 4), bytes + 4, 5);
  EXPECT_EQ(stepped ^ 0xFFFF, 0x906E);
  EXPECT_EQ(split ^ 0xFFFF, 0x906E);
}

TEST(Crc16Test, MatchesBoostOnRandomBuffersLengthsAndAlignments) {
  std::mt19937 random(2024);
  std::vector<uint8_t> pool(70000 + 16);
  for (uint8_t& b : pool) b = static_cast<uint8_t>(random());
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t n : {511u, 512u, 513u, 4095u, 4096u, 4097u, 65535u, 65536u, 70000u}) lengths.push_back(n);
  for (size_t length : lengths) {
    for (size_t align = 0; align < 8; ++align) {
      const uint8_t* data = pool.data() + align;
      ASSERT_EQ(Crc16(data, static_cast<uint32_t>(length)), Reference(data, length))
          << "length " << length << " alignment " << align;
    }
  }
}

TEST(Crc16Test, DetectsEverySingleByteChange) {
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
  const uint16_t good = Crc16(data.data(), 64);
  for (size_t i = 0; i < data.size(); ++i) {
    for (int delta : {1, 0x80, 0xFF}) {
      std::vector<uint8_t> changed = data;
      changed[i] = static_cast<uint8_t>(changed[i] ^ delta);
      EXPECT_NE(Crc16(changed.data(), 64), good) << "byte " << i;
    }
  }
}

}  // namespace
