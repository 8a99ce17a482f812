#include "diag/Crc16.h"

#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
