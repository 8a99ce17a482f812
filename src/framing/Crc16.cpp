#include "framing/Crc16.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEL_CRC16_CLMUL 1
#endif

namespace {

constexpr uint32_t GENERATOR = 0x1021;
constexpr uint16_t GENERATOR_REFLECTED = 0x8408;
constexpr int SLICES = 16;
// Below this the folding set-up costs more than it saves.
constexpr uint32_t CLMUL_MIN_LENGTH = 64;
constexpr uint32_t CLMUL512_MIN_LENGTH = 256;

using Table = std::array<uint16_t, 256>;

// Tables of the bit-reflected generator, built at compile time: slice k gives
// what a byte followed by k zero bytes leaves in a register that started at 0.
constexpr std::array<Table, SLICES> MakeTables() {
  std::array<Table, SLICES> tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t r = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? static_cast<uint16_t>((r >> 1) ^ GENERATOR_REFLECTED) : static_cast<uint16_t>(r >> 1);
    tables[0][i] = r;
  }
  for (int k = 1; k < SLICES; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint16_t previous = tables[k - 1][i];
      tables[k][i] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  }
  return tables;
}

constexpr std::array<Table, SLICES> kTables = MakeTables();
constexpr const Table& kTable = kTables[0];
static_assert(kTable[1] == 0x1189 && kTable[128] == 0x8408);

}  // namespace

uint16_t Crc16Update(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>(kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

uint16_t Crc16RunBytewise(uint16_t crc, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) crc = static_cast<uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

// The register is folded into the first two bytes of each block; after
// sixteen bytes nothing of it is left but what the tables carry.
uint16_t Crc16RunPortable(uint16_t crc, const uint8_t* data, uint32_t length) {
  while (length >= SLICES) {
    const uint8_t* b = data;
    crc = static_cast<uint16_t>(
        kTables[15][(b[0] ^ crc) & 0xFF] ^ kTables[14][(b[1] ^ (crc >> 8)) & 0xFF] ^ kTables[13][b[2]] ^
        kTables[12][b[3]] ^ kTables[11][b[4]] ^ kTables[10][b[5]] ^ kTables[9][b[6]] ^ kTables[8][b[7]] ^
        kTables[7][b[8]] ^ kTables[6][b[9]] ^ kTables[5][b[10]] ^ kTables[4][b[11]] ^ kTables[3][b[12]] ^
        kTables[2][b[13]] ^ kTables[1][b[14]] ^ kTables[0][b[15]]);
    data += SLICES;
    length -= SLICES;
  }
  return Crc16RunBytewise(crc, data, length);
}

#ifdef QEL_CRC16_CLMUL

namespace {

// x^n mod the generator, as a 64-bit operand of the reflected multiply: the
// coefficient of x^e at bit 63 - e.
constexpr uint64_t PowerModReflected(uint32_t n) {
  uint32_t r = 1;
  for (uint32_t i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000) r ^= 0x10000 | GENERATOR;
  }
  uint64_t reflected = 0;
  for (int e = 0; e < 16; ++e)
    if ((r >> e) & 1) reflected |= uint64_t{1} << (63 - e);
  return reflected;
}

// A 128-bit block as loaded holds the message's earliest bit at bit 0. Moving
// it `distance` bits on multiplies its first half by x^(distance + 64) and its
// second half by x^distance, each reduced mod the generator; the reflected
// multiply adds one factor x, hence the exponents one lower.
struct FoldKeys {
  uint64_t m_First;
  uint64_t m_Second;
};
constexpr FoldKeys Keys(uint32_t distance) {
  return {PowerModReflected(distance + 63), PowerModReflected(distance - 1)};
}
constexpr FoldKeys FOLD_128 = Keys(128);
constexpr FoldKeys FOLD_512 = Keys(512);

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i keys, __m128i next) {
  const __m128i first = _mm_clmulepi64_si128(x, keys, 0x00);
  const __m128i second = _mm_clmulepi64_si128(x, keys, 0x11);
  return _mm_xor_si128(_mm_xor_si128(first, second), next);
}

__attribute__((target("sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

// Four lanes of 16 bytes fold 512 bits at a time, then into one lane, then
// 128 bits at a time; the last lane and the tail go through the tables
// (a register at 0 over bytes B ends at B x^16 mod the generator).
__attribute__((target("pclmul,sse2"))) uint16_t Crc16RunClmul(uint16_t crc, const uint8_t* data, uint32_t length) {
  if (length < 16) return Crc16RunBytewise(crc, data, length);
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(FOLD_128.m_Second), static_cast<long long>(FOLD_128.m_First));
  const __m128i seed = _mm_cvtsi32_si128(crc);
  __m128i x;
  if (length >= 64) {
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(FOLD_512.m_Second), static_cast<long long>(FOLD_512.m_First));
    __m128i x0 = _mm_xor_si128(Load(data), seed);
    __m128i x1 = Load(data + 16);
    __m128i x2 = Load(data + 32);
    __m128i x3 = Load(data + 48);
    data += 64;
    length -= 64;
    while (length >= 64) {
      x0 = Fold(x0, k512, Load(data));
      x1 = Fold(x1, k512, Load(data + 16));
      x2 = Fold(x2, k512, Load(data + 32));
      x3 = Fold(x3, k512, Load(data + 48));
      data += 64;
      length -= 64;
    }
    x = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
  } else {
    x = _mm_xor_si128(Load(data), seed);
    data += 16;
    length -= 16;
  }
  while (length >= 16) {
    x = Fold(x, k128, Load(data));
    data += 16;
    length -= 16;
  }
  alignas(16) uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
  return Crc16RunBytewise(Crc16RunPortable(0, last, 16), data, length);
}

bool Crc16ClmulAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  }();
  return available;
}

namespace {

constexpr FoldKeys FOLD_2048 = Keys(2048);

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Fold512(__m512i x, __m512i keys, __m512i next) {
  const __m512i first = _mm512_clmulepi64_epi128(x, keys, 0x00);
  const __m512i second = _mm512_clmulepi64_epi128(x, keys, 0x11);
  return _mm512_ternarylogic_epi64(first, second, next, 0x96);  // first ^ second ^ next
}

__attribute__((target("avx512f"))) inline __m512i Keys512(const FoldKeys& keys) {
  return _mm512_set_epi64(static_cast<long long>(keys.m_Second), static_cast<long long>(keys.m_First),
                          static_cast<long long>(keys.m_Second), static_cast<long long>(keys.m_First),
                          static_cast<long long>(keys.m_Second), static_cast<long long>(keys.m_First),
                          static_cast<long long>(keys.m_Second), static_cast<long long>(keys.m_First));
}

}  // namespace

// The same folding four 128-bit lanes to a register: four registers fold
// 2048 bits at a time, then into one register, then its lanes into one.
__attribute__((target("avx512f,vpclmulqdq,pclmul,sse2"))) uint16_t Crc16RunClmul512(uint16_t crc, const uint8_t* data,
                                                                                   uint32_t length) {
  if (length < 256) return Crc16RunClmul(crc, data, length);
  const __m512i k2048 = Keys512(FOLD_2048), k512 = Keys512(FOLD_512);
  __m512i x0 = _mm512_xor_si512(_mm512_loadu_si512(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(crc)));
  __m512i x1 = _mm512_loadu_si512(data + 64);
  __m512i x2 = _mm512_loadu_si512(data + 128);
  __m512i x3 = _mm512_loadu_si512(data + 192);
  data += 256;
  length -= 256;
  while (length >= 256) {
    x0 = Fold512(x0, k2048, _mm512_loadu_si512(data));
    x1 = Fold512(x1, k2048, _mm512_loadu_si512(data + 64));
    x2 = Fold512(x2, k2048, _mm512_loadu_si512(data + 128));
    x3 = Fold512(x3, k2048, _mm512_loadu_si512(data + 192));
    data += 256;
    length -= 256;
  }
  const __m512i x = Fold512(Fold512(Fold512(x0, k512, x1), k512, x2), k512, x3);
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(FOLD_128.m_Second), static_cast<long long>(FOLD_128.m_First));
  // Its four lanes through memory (the lane extract trips a false warning of the compiler's own header).
  alignas(64) uint8_t lanes[64];
  _mm512_store_si512(lanes, x);
  __m128i y = Load(lanes);
  for (int lane = 1; lane < 4; ++lane) y = Fold(y, k128, Load(lanes + 16 * lane));
  while (length >= 16) {
    y = Fold(y, k128, Load(data));
    data += 16;
    length -= 16;
  }
  alignas(16) uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), y);
  return Crc16RunBytewise(Crc16RunPortable(0, last, 16), data, length);
}

bool Crc16Clmul512Available() {
  static const bool available = [] {
    __builtin_cpu_init();
    return Crc16ClmulAvailable() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
  }();
  return available;
}

#else

uint16_t Crc16RunClmul(uint16_t crc, const uint8_t* data, uint32_t length) { return Crc16RunPortable(crc, data, length); }
bool Crc16ClmulAvailable() { return false; }
uint16_t Crc16RunClmul512(uint16_t crc, const uint8_t* data, uint32_t length) { return Crc16RunPortable(crc, data, length); }
bool Crc16Clmul512Available() { return false; }

#endif

uint16_t Crc16Run(uint16_t crc, const uint8_t* data, uint32_t length) {
  if (length >= CLMUL512_MIN_LENGTH && Crc16Clmul512Available()) return Crc16RunClmul512(crc, data, length);
  if (length >= CLMUL_MIN_LENGTH && Crc16ClmulAvailable()) return Crc16RunClmul(crc, data, length);
  return Crc16RunPortable(crc, data, length);
}

uint16_t Crc16(const uint8_t* data, uint32_t length) {
  return static_cast<uint16_t>(Crc16Run(CRC16_PRESET, data, length) ^ 0xFFFF);
}
