#include "sim/SimFrame.h"

#include <cstdio>

#include "framing/ByteOrder.h"
#include "framing/Crc16.h"
#include "framing/Hdlc.h"

std::vector<uint8_t> EncodeFrame(const uint8_t* payload, size_t length, bool leadingFlag,
                                 bool corruptFcs) {
  std::vector<uint8_t> out(HdlcMaxEncodedLength(static_cast<uint32_t>(length)));
  uint32_t position = 0;
  if (leadingFlag) out[position++] = HDLC_FLAG;
  uint16_t crc = CRC16_PRESET;
  HdlcAppendEscaped(out.data(), &position, payload, static_cast<uint32_t>(length), &crc);
  uint16_t fcs = static_cast<uint16_t>(crc ^ 0xFFFF);
  if (corruptFcs) fcs ^= 0x0101;
  uint8_t fcsBytes[2];
  WriteLe16(fcsBytes, fcs);
  uint16_t scratch = 0;
  HdlcAppendEscaped(out.data(), &position, fcsBytes, 2, &scratch);
  out[position++] = HDLC_FLAG;
  out.resize(position);
  return out;
}

bool DecodeFrame(const uint8_t* bytes, size_t length, std::vector<uint8_t>* payload) {
  payload->assign(bytes, bytes + length);
  const uint32_t n = HdlcDecode(payload->data(), static_cast<uint32_t>(length), payload->data());
  payload->resize(n);
  return n > 0;
}

bool FrameCutter::Push(uint8_t byte) {
  if (byte != HDLC_FLAG) {
    if (m_Run.size() >= MAX_FRAME) m_Overflow = true;
    if (!m_Overflow) m_Run.push_back(byte);
    return false;
  }
  const bool complete = !m_Overflow && m_Run.size() >= 3;
  if (complete) m_Frame.swap(m_Run);
  m_Run.clear();
  m_Overflow = false;
  return complete;
}

void FrameCutter::Clear() {
  m_Run.clear();
  m_Frame.clear();
  m_Overflow = false;
}

std::string HexBytes(const uint8_t* data, size_t length, size_t max) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < length && i < max; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
    text += byte;
  }
  if (length > max) text += " ...";
  return text;
}
