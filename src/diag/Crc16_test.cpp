#include "diag/Crc16.h"

#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(Crc16Test, CheckValuesWholeSplitAndByteByByte) {
  const struct {
    const char* m_Text;
    uint16_t m_Crc;
  } kCases[] = {{"123456789", 0x906E}, {"abc", 0x9E25}, {"", 0x0000}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.m_Text);
    const auto* data = reinterpret_cast<const uint8_t*>(c.m_Text);
    const uint32_t n = static_cast<uint32_t>(strlen(c.m_Text));
    EXPECT_EQ(Crc16(data, n), c.m_Crc);
    EXPECT_EQ(Crc16Run(Crc16Run(CRC16_PRESET, data, n / 2), data + n / 2, n - n / 2) ^ 0xFFFF, c.m_Crc);
    uint16_t stepped = CRC16_PRESET;
    for (uint32_t i = 0; i < n; ++i) stepped = Crc16Update(stepped, data[i]);
    EXPECT_EQ(stepped ^ 0xFFFF, c.m_Crc);
    // The payload followed by its FCS, low byte first, leaves the good-frame residue.
    std::vector<uint8_t> framed(data, data + n);
    framed.push_back(static_cast<uint8_t>(c.m_Crc & 0xFF));
    framed.push_back(static_cast<uint8_t>(c.m_Crc >> 8));
    EXPECT_EQ(Crc16Run(CRC16_PRESET, framed.data(), n + 2), CRC16_GOOD_RESIDUE);
  }
}

// Every path, whole and in two pieces (the second from a running register),
// against Boost.CRC's CRC-16/X-25 on every short length at every alignment
// and on a few large buffers.
TEST(Crc16Test, EveryPathMatchesBoostOnEveryLengthAndAlignment) {
  struct Path {
    const char* m_Name;
    uint16_t (*m_Run)(uint16_t, const uint8_t*, uint32_t);
  };
  std::vector<Path> paths = {{"dispatch", Crc16Run}, {"bytewise", Crc16RunBytewise}, {"portable", Crc16RunPortable}};
  if (Crc16ClmulAvailable()) paths.push_back({"clmul", Crc16RunClmul});
  std::mt19937 random(2024);
  std::vector<uint8_t> pool((size_t{1} << 20) + 16);
  for (uint8_t& b : pool) b = static_cast<uint8_t>(random());
  std::vector<uint32_t> lengths;
  for (uint32_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (uint32_t n : {4095u, 4096u, 65536u + 13u, 1u << 20}) lengths.push_back(n);
  for (uint32_t length : lengths) {
    for (size_t align = 0; align < 16; ++align) {
      const uint8_t* data = pool.data() + align;
      boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, true, true> reference;
      reference.process_bytes(data, length);
      const uint32_t split = length / 3;
      for (const Path& path : paths) {
        SCOPED_TRACE(testing::Message() << path.m_Name << " length " << length << " alignment " << align);
        ASSERT_EQ(path.m_Run(CRC16_PRESET, data, length) ^ 0xFFFF, reference.checksum());
        ASSERT_EQ(path.m_Run(path.m_Run(CRC16_PRESET, data, split), data + split, length - split) ^ 0xFFFF,
                  reference.checksum());
      }
    }
  }
}

}  // namespace
