// Cuts a byte stream into frames at 0x7E flags, one byte at a time, and
// decodes each frame. Flags are never stored, so a frame's leading and
// trailing flags both act as separators; fewer than three bytes before a
// flag are kept and become the start of the next frame. A run of more than
// 1024 bytes without a flag is dropped.
#pragma once

#include <cstdint>

class FrameAssembler {
 public:
  static constexpr uint32_t MAX_FRAME = 1024;

  enum Result {
    NEED_MORE,  // no frame ended with this byte
    FRAME,      // a frame ended and decoded: Payload(), PayloadLength()
    BAD_FRAME,  // a frame ended but did not decode (bad check value, too short)
  };

  Result Feed(uint8_t byte);
  // Valid after FRAME, until the next Feed.
  const uint8_t* Payload() const { return m_Buffer; }
  uint32_t PayloadLength() const { return m_PayloadLength; }
  // Bytes collected since the last frame.
  uint32_t Pending() const { return m_Count; }

 private:
  uint8_t m_Buffer[MAX_FRAME] = {};
  uint32_t m_Count = 0;
  uint32_t m_PayloadLength = 0;
};
