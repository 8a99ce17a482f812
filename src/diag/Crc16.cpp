#include "diag/Crc16.h"

#include <array>

namespace {

// Table of the bit-reflected generator 0x8408, built at compile time.
constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t r = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? static_cast<uint16_t>((r >> 1) ^ 0x8408) : static_cast<uint16_t>(r >> 1);
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[128] == 0x8408);

}  // namespace

uint16_t Crc16Update(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>(kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

uint16_t Crc16Run(uint16_t crc, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) crc = static_cast<uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

uint16_t Crc16(const uint8_t* data, uint32_t length) {
  return static_cast<uint16_t>(Crc16Run(CRC16_PRESET, data, length) ^ 0xFFFF);
}
