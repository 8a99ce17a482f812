// HDLC decoding of any bytes, in place as every receiver decodes, and the
// round trip of any payload: encoded then decoded it comes back, and
// whatever decodes has a good check value.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framing/Crc16.h"
#include "framing/Hdlc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const uint32_t n = static_cast<uint32_t>(size);
  std::vector<uint8_t> bytes(data, data + size);
  const uint32_t decoded = HdlcDecode(bytes.data(), n, bytes.data());
  if (decoded != 0 && Crc16Run(CRC16_PRESET, bytes.data(), decoded + 2) != CRC16_GOOD_RESIDUE) abort();
  std::vector<uint8_t> frame(HdlcMaxEncodedLength(n));
  for (int leadingFlag : {0, 1}) {
    const uint32_t length = HdlcEncode(data, n, frame.data(), leadingFlag);
    if (n > 0 && (HdlcDecode(frame.data(), length, frame.data()) != n || memcmp(frame.data(), data, n) != 0)) abort();
  }
  return 0;
}
