#include "log/Utf8.h"

std::string SanitizeUtf8(const char* data, size_t length) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  const auto* s = reinterpret_cast<const unsigned char*>(data);
  std::string out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    const unsigned char c = s[i];
    size_t need = 0;
    unsigned int min = 0;
    if (c < 0x80) { out += static_cast<char>(c); ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { need = 1; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { need = 2; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { need = 3; min = 0x10000; }
    else { out += kReplacement; ++i; continue; }
    if (i + need >= length) { out += kReplacement; ++i; continue; }
    unsigned int cp = c & (0x3F >> need);
    bool ok = true;
    for (size_t k = 1; k <= need; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { out += kReplacement; ++i; continue; }
    out.append(data + i, need + 1);
    i += need + 1;
  }
  return out;
}
