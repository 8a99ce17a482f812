#include "cli/TerminalText.h"

#include <cstdint>

size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = length == 1 ? c : (c & (0x3F >> (length - 1)));
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    width += (cp >= 0x1100 && (cp <= 0x115F || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                               (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                               (cp >= 0xFF00 && cp <= 0xFF60)))
                 ? 2
                 : 1;
    i += length;
  }
  return width;
}

// C1 controls (U+0080-U+009F) count too: some terminals obey them.
std::string PrintableText(const std::string& text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    const bool c1 = c == 0xC2 && next >= 0x80 && next < 0xA0;
    if (c < 0x20 || c == 0x7F || c1) {
      shown += "\xEF\xBF\xBD";
      i += c1;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

std::string Pad(const std::string& text, size_t width) {
  const size_t shown = DisplayWidth(text);
  return shown >= width ? text : text + std::string(width - shown, ' ');
}

