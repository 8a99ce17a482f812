// A fuzzer's input read as a few leading bytes and then records
// [kind][length, 16-bit little-endian][bytes], so that seeds can be built
// from real messages and mutations keep their shape.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

  bool Empty() const { return m_At >= m_Size; }
  // The next byte; 0 past the end.
  uint8_t Byte() { return m_At < m_Size ? m_Data[m_At++] : 0; }
  // Up to n bytes.
  Bytes Take(size_t n) {
    n = std::min(n, m_Size - m_At);
    Bytes out(m_Data + m_At, m_Data + m_At + n);
    m_At += n;
    return out;
  }
  Bytes Rest() { return Take(m_Size - m_At); }
  // A record: its kind and its bytes.
  std::pair<uint8_t, Bytes> Record() {
    const uint8_t kind = Byte();
    const size_t low = Byte();  // read first, the high byte after it
    return {kind, Take(low | size_t{Byte()} << 8)};
  }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
  size_t m_At = 0;
};
