#include "log/SystemErrorText.h"

#include <cstdio>
#include <cstring>

std::string SystemErrorText(int code) {
  // 1 is also EPERM; the ports never report EPERM, so the wait outcome wins.
  if (code == WAIT_CANCELLED) return "The operation was cancelled.\r\n";
  if (code == WAIT_TIMED_OUT) return "The wait operation timed out.\r\n";
  char buffer[256];
  if (code > 0) {
    const char* text = strerror_r(code, buffer, sizeof buffer);  // GNU variant
    if (text && strncmp(text, "Unknown error", 13) != 0) return std::string(text) + "\r\n";
  }
  snprintf(buffer, sizeof buffer, "Unknow Error Code: %d\n", code);
  return buffer;
}

std::string SystemErrorPhrase(int code) {
  std::string text = SystemErrorText(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}
