#include "net/FrameAssembler.h"

#include "framing/Hdlc.h"

FrameAssembler::Result FrameAssembler::Feed(uint8_t byte) {
  if (byte == HDLC_FLAG) {
    if (m_Count < 3) return NEED_MORE;  // an empty frame, or bytes kept for the next
    m_PayloadLength = HdlcDecode(m_Buffer, m_Count, m_Buffer);
    m_Count = 0;
    return m_PayloadLength != 0 ? FRAME : BAD_FRAME;
  }
  if (m_Count == MAX_FRAME) {
    m_Count = 0;  // the overlong run goes, and this byte with it
    return NEED_MORE;
  }
  m_Buffer[m_Count++] = byte;
  return NEED_MORE;
}
