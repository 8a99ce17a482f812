// HDLC decoding of any bytes, and the round trip of any payload: encoded
// then decoded it comes back, and whatever decodes has a good check value.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "diag/Crc16.h"
#include "diag/Hdlc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const uint32_t n = static_cast<uint32_t>(size);
  std::vector<uint8_t> out(size + 1);
  const uint32_t decoded = HdlcDecode(data, n, out.data());
  if (decoded != 0 && Crc16Run(CRC16_PRESET, out.data(), decoded + 2) != CRC16_GOOD_RESIDUE) abort();
  // In place, as the receive framing decodes, the result is the same.
  std::vector<uint8_t> inPlace(data, data + size);
  if (HdlcDecode(inPlace.data(), n, inPlace.data()) != decoded) abort();
  if (decoded != 0 && memcmp(inPlace.data(), out.data(), decoded) != 0) abort();

  std::vector<uint8_t> frame(HdlcMaxEncodedLength(n)), back(frame.size());
  for (int leadingFlag : {0, 1}) {
    const uint32_t length = HdlcEncode(data, n, frame.data(), leadingFlag);
    if (n > 0 && (HdlcDecode(frame.data(), length, back.data()) != n || memcmp(back.data(), data, n) != 0)) abort();
  }
  return 0;
}
