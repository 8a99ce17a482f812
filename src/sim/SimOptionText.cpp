#include "sim/SimOptionText.h"

#include <cctype>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const int lower = std::tolower(static_cast<unsigned char>(c));
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Two hex digits at text[at].
bool HexByte(const std::string& text, size_t at, uint8_t* byte) {
  const int high = HexDigit(text[at]);
  const int low = HexDigit(text[at + 1]);
  if (high < 0 || low < 0) return false;
  *byte = static_cast<uint8_t>(high * 16 + low);
  return true;
}

}  // namespace

bool ParseMac(const std::string& text, uint8_t mac[6]) {
  if (text.size() != 17) return false;
  uint8_t bytes[6];
  for (size_t i = 0; i < 6; ++i) {
    if (!HexByte(text, 3 * i, &bytes[i])) return false;
    if (i < 5 && text[3 * i + 2] != '-' && text[3 * i + 2] != ':') return false;
  }
  for (size_t i = 0; i < 6; ++i) mac[i] = bytes[i];
  return true;
}

bool ParseUnlockCode(const std::string& text, uint8_t code[8]) {
  if (text.size() != 16) return false;
  uint8_t bytes[8];
  for (size_t i = 0; i < 8; ++i)
    if (!HexByte(text, 2 * i, &bytes[i])) return false;
  for (size_t i = 0; i < 8; ++i) code[i] = bytes[i];
  return true;
}
