#include "model/VersionText.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsValidVersionText(const std::string& text) {
  int dots = 0;
  bool afterDot = true;  // the first character may not be a dot either
  for (char c : text) {
    if (c == '.') {
      if (afterDot) return false;
      if (++dots == 3) return true;
      afterDot = true;
    } else if (IsDigit(c)) {
      afterDot = false;
    } else {
      return false;
    }
  }
  return false;
}

void VersionNumbers(const std::string& text, int32_t numbers[3]) {
  numbers[0] = numbers[1] = numbers[2] = 0;
  int stored = 0;
  // Unsigned so that an absurdly long digit run wraps instead of overflowing.
  uint32_t current = 0;
  for (char c : text) {
    if (IsDigit(c)) {
      current = current * 10 + static_cast<uint32_t>(c - '0');
      continue;
    }
    numbers[stored++] = static_cast<int32_t>(current);
    current = 0;
    if (stored == 3) return;
  }
}

int VersionMatch(const std::string& current, const std::string& upgrade) {
  // A version that cannot be read never blocks the upgrade.
  if (!IsValidVersionText(current) || !IsValidVersionText(upgrade)) return 1;
  if (current == upgrade) return 1;
  int32_t c[3];
  int32_t u[3];
  VersionNumbers(current, c);
  VersionNumbers(upgrade, u);
  if (c[0] != u[0] || c[1] != u[1]) return 0;
  // An installed third number of 0 accepts any third number.
  if (c[2] == 0 || c[2] == u[2]) return 1;
  return 0;
}
