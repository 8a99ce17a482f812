#include "platform/SystemError.h"

#include <cstdio>

std::string SystemErrorText(int code) {
  // 1 is also a system code; the ports never report it, so the wait outcome wins.
  if (code == WAIT_CANCELLED) return "The operation was cancelled.\r\n";
  if (code == WAIT_TIMED_OUT) return "The wait operation timed out.\r\n";
  const std::string text = code > 0 ? SystemMessage(code) : "";
  if (!text.empty()) return text + "\r\n";
  char buffer[64];
  snprintf(buffer, sizeof buffer, "Unknow Error Code: %d\n", code);
  return buffer;
}

std::string SystemErrorPhrase(int code) {
  std::string text = SystemErrorText(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}
