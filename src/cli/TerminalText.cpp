#include "cli/TerminalText.h"

#include <algorithm>
#include <cstdint>

#include "cli/CharacterWidth.h"

namespace {

constexpr const char* ELLIPSIS = "\xE2\x80\xA6";  // …, one column
constexpr const char* RESET = "\033[0m";

// The length in bytes of the piece of text at i: an escape sequence (CSI:
// ESC [ parameters, then a final byte), or one UTF-8 character, whose code
// point goes to *cp (none for an escape sequence).
size_t NextPiece(const std::string& text, size_t i, uint32_t* cp, bool* escape) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  *escape = c == 0x1B && i + 1 < text.size() && text[i + 1] == '[';
  if (*escape) {
    size_t end = i + 2;
    while (end < text.size() && !(text[end] >= 0x40 && text[end] <= 0x7E)) ++end;
    return (end < text.size() ? end + 1 : end) - i;
  }
  const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  *cp = length == 1 ? c : (c & (0x3F >> (length - 1)));
  for (size_t k = 1; k < length && i + k < text.size(); ++k) {
    *cp = (*cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  return std::min(length, text.size() - i);
}

}  // namespace

size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  uint32_t cp = 0;
  bool escape = false;
  for (size_t i = 0; i < text.size();) {
    i += NextPiece(text, i, &cp, &escape);
    if (!escape) width += CharacterWidth(cp);
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

std::string CutText(const std::string& text, size_t width) {
  if (DisplayWidth(text) <= width) return text;
  if (width == 0) return "";
  std::string cut;
  size_t used = 0;
  bool coloured = false;
  uint32_t cp = 0;
  bool escape = false;
  for (size_t i = 0; i < text.size();) {
    const size_t length = NextPiece(text, i, &cp, &escape);
    const std::string piece = text.substr(i, length);
    i += length;
    if (escape) {
      cut += piece;
      coloured = piece != RESET;
      continue;
    }
    const size_t columns = CharacterWidth(cp);
    if (used + columns > width - 1) break;
    cut += piece;
    used += columns;
  }
  cut += ELLIPSIS;
  if (coloured) cut += RESET;
  return cut;
}

std::string FitCell(const std::string& text, size_t width) { return Pad(CutText(text, width), width); }
