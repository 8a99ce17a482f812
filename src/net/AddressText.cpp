#include "net/AddressText.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One part: decimal, octal after a leading 0, or hexadecimal after 0x; at
// least one digit. Moves at past it.
bool ReadPart(const std::string& text, size_t* at, uint64_t* value) {
  size_t i = *at;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  int base = 10;
  if (text[i] == '0') {
    base = 8;
    ++i;
    if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
      base = 16;
      ++i;
    }
  }
  const size_t digits = i;
  uint64_t number = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    if (digit >= base) break;
    number = number * base + digit;
    if (number > 0xFFFFFFFFu) return false;
  }
  if (base == 16 && i == digits) return false;  // "0x" with no digit
  *value = number;
  *at = i;
  return true;
}

}  // namespace

// The classic parser: one to four parts, the last filling the bytes that
// remain ("127.1" is 127.0.0.1), ended by the text's end or a blank.
bool ParseIp(const std::string& text, uint8_t ip[4]) {
  if (text.empty() || text.size() > MAX_ADDRESS_TEXT || text.find('\0') != std::string::npos) {
    return false;
  }
  uint64_t parts[4];
  size_t count = 0, at = 0;
  for (;;) {
    if (count == 4 || !ReadPart(text, &at, &parts[count])) return false;
    ++count;
    if (at < text.size() && text[at] == '.') {
      ++at;
      continue;
    }
    if (at < text.size() && !IsBlank(text[at])) return false;
    break;
  }
  // Every part but the last is one byte; the last fills the rest.
  const int lastBits = 8 * static_cast<int>(4 - (count - 1));
  for (size_t i = 0; i + 1 < count; ++i) {
    if (parts[i] > 0xFF) return false;
  }
  if (lastBits < 32 && parts[count - 1] >> lastBits != 0) return false;
  uint32_t value = static_cast<uint32_t>(parts[count - 1]);
  for (size_t i = 0; i + 1 < count; ++i) value |= static_cast<uint32_t>(parts[i]) << (24 - 8 * i);
  for (int b = 0; b < 4; ++b) ip[b] = static_cast<uint8_t>(value >> (24 - 8 * b));
  return true;
}

std::string FormatIp(const uint8_t ip[4]) {
  char text[16];
  snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
  return text;
}

std::string FormatMac(const uint8_t mac[6]) {
  char text[18];
  snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
           mac[4], mac[5]);
  return text;
}
