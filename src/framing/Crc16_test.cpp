#include "framing/Crc16.h"

#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <random>
#include <vector>

namespace {

// Every path, whole and in two pieces (the second from a running register),
// and the complemented Crc16, against Boost.CRC's CRC-16/X-25 on every short
// length at every alignment and on a few large buffers.
TEST(Crc16Test, EveryPathMatchesBoostOnEveryLengthAndAlignment) {
  std::vector<std::pair<const char*, uint16_t (*)(uint16_t, const uint8_t*, uint32_t)>> paths = {
      {"dispatch", Crc16Run}, {"bytewise", Crc16RunBytewise}, {"portable", Crc16RunPortable}};
  if (Crc16ClmulAvailable()) paths.push_back({"clmul", Crc16RunClmul});
  if (Crc16Clmul512Available()) paths.push_back({"clmul512", Crc16RunClmul512});
  std::mt19937 random(2024);
  std::vector<uint8_t> pool((size_t{1} << 20) + 16);
  for (uint8_t& b : pool) b = static_cast<uint8_t>(random());
  std::vector<uint32_t> lengths = {4095, 4096, 65536 + 13, 1 << 20};
  for (uint32_t n = 0; n <= 600; ++n) lengths.push_back(n);
  for (uint32_t length : lengths) {
    for (size_t align = 0; align < 16; ++align) {
      const uint8_t* data = pool.data() + align;
      const uint16_t expected = boost::crc<16, 0x1021, 0xFFFF, 0xFFFF, true, true>(data, length);
      SCOPED_TRACE(testing::Message() << "length " << length << " alignment " << align);
      ASSERT_EQ(Crc16(data, length), expected);
      const uint32_t split = length / 3;
      for (const auto& [name, run] : paths) {
        ASSERT_EQ(run(CRC16_PRESET, data, length) ^ 0xFFFF, expected) << name;
        ASSERT_EQ(run(run(CRC16_PRESET, data, split), data + split, length - split) ^ 0xFFFF, expected) << name;
      }
    }
  }
}

}  // namespace
