// HDLC decoding of any bytes, and the round trip of any payload: encoded
// then decoded it comes back, and whatever decodes has a good check value.
#include <algorithm>
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
  // A downloader write frame: address and length big-endian ahead of the data.
  if (size < 4) return 0;
  const uint32_t address = (uint32_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3];
  const uint32_t blockLength = std::min<uint32_t>(n - 4, WRITE_BLOCK_SIZE);
  std::vector<uint8_t> write(WRITE_FRAME_BUFFER_SIZE), payload(WRITE_FRAME_BUFFER_SIZE);
  const uint32_t length = BuildWriteFrame(write.data(), address, blockLength, data + 4);
  const uint8_t head[7] = {0x0F, data[0], data[1], data[2], data[3], static_cast<uint8_t>(blockLength >> 8),
                           static_cast<uint8_t>(blockLength)};
  if (HdlcDecode(write.data(), length, payload.data()) != 7 + blockLength || memcmp(payload.data(), head, 7) != 0 ||
      memcmp(payload.data() + 7, data + 4, blockLength) != 0)
    abort();
  return 0;
}
