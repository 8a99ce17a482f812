// Frames as the gateway writes and reads them: encoding a payload (optionally
// with a spoiled check value) and cutting a byte stream at its flags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The frame of payload: [7E] escaped payload, escaped FCS, 7E. With
// corruptFcs the FCS is deliberately wrong (a fault to order).
std::vector<uint8_t> EncodeFrame(const uint8_t* payload, size_t length, bool leadingFlag,
                                 bool corruptFcs = false);
inline std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& payload, bool leadingFlag) {
  return EncodeFrame(payload.data(), payload.size(), leadingFlag);
}

// Decodes one datagram or one cut-out frame; false when it is not valid.
bool DecodeFrame(const uint8_t* bytes, size_t length, std::vector<uint8_t>* payload);

// Cuts a byte stream at 0x7E. Runs of fewer than 3 bytes between flags are
// dropped (no frame is that short); a run longer than the limit is dropped
// whole, so garbage cannot grow the buffer without end.
class FrameCutter {
 public:
  static constexpr size_t MAX_FRAME = 16384;

  // Feeds one byte; true when it closed a run that is now in Frame() (still
  // encoded, without flags).
  bool Push(uint8_t byte);
  const std::vector<uint8_t>& Frame() const { return m_Frame; }
  void Clear();

 private:
  std::vector<uint8_t> m_Run;
  std::vector<uint8_t> m_Frame;
  bool m_Overflow = false;
};

// "0B 51 45 ..." of at most max bytes, with "..." when there is more.
std::string HexBytes(const uint8_t* data, size_t length, size_t max = 12);
