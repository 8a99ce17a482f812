#include "framing/Hdlc.h"

#include "framing/ByteOrder.h"
#include "framing/Crc16.h"

void HdlcAppendEscaped(uint8_t* out, uint32_t* position, const uint8_t* data, uint32_t length,
                       uint16_t* crc) {
  uint32_t p = *position;
  uint16_t r = *crc;
  for (uint32_t i = 0; i < length; ++i) {
    const uint8_t b = data[i];
    if (b == HDLC_FLAG || b == HDLC_ESCAPE) {
      out[p++] = HDLC_ESCAPE;
      out[p++] = static_cast<uint8_t>(b ^ 0x20);
    } else {
      out[p++] = b;
    }
    r = Crc16Update(r, b);
  }
  *position = p;
  *crc = r;
}

namespace {

uint32_t AppendFcsAndFlag(uint8_t* out, uint32_t position, uint16_t crc) {
  const uint16_t fcs = static_cast<uint16_t>(crc ^ 0xFFFF);
  uint8_t fcsBytes[2];
  WriteLe16(fcsBytes, fcs);
  uint16_t scratch = 0;
  HdlcAppendEscaped(out, &position, fcsBytes, 2, &scratch);
  out[position++] = HDLC_FLAG;
  return position;
}

}  // namespace

uint32_t HdlcEncode(const uint8_t* payload, uint32_t length, uint8_t* out, int leadingFlag) {
  uint32_t p = 0;
  if (leadingFlag) out[p++] = HDLC_FLAG;
  uint16_t crc = CRC16_PRESET;
  HdlcAppendEscaped(out, &p, payload, length, &crc);
  return AppendFcsAndFlag(out, p, crc);
}

uint32_t HdlcDecode(const uint8_t* frame, uint32_t length, uint8_t* out) {
  if (length == 0) return 0;
  uint32_t end = length;
  if (frame[end - 1] == HDLC_FLAG) --end;
  uint32_t i = (end > 0 && frame[0] == HDLC_FLAG) ? 1 : 0;
  if (i >= end) return 0;

  uint32_t count = 0;
  uint16_t crc = CRC16_PRESET;
  while (i < end) {
    uint8_t value = frame[i++];
    if (value == HDLC_ESCAPE) {
      if (i >= end) return 0;  // escape with no partner
      value = static_cast<uint8_t>(frame[i++] ^ 0x20);
    }
    out[count++] = value;
    crc = Crc16Update(crc, value);
  }
  if (crc != CRC16_GOOD_RESIDUE || count < 3) return 0;
  return count - 2;
}

uint32_t BuildWriteFrame(uint8_t* destination, uint32_t address, uint32_t length,
                         const uint8_t* data) {
  uint8_t header[7] = {0x0F};
  WriteBe32(header + 1, address);
  WriteBe16(header + 5, static_cast<uint16_t>(length));
  destination[0] = HDLC_FLAG;
  uint32_t p = 1;
  uint16_t crc = CRC16_PRESET;
  HdlcAppendEscaped(destination, &p, header, 7, &crc);
  HdlcAppendEscaped(destination, &p, data, length, &crc);
  return AppendFcsAndFlag(destination, p, crc);
}
