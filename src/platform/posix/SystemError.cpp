#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

int LastSystemError() { return errno; }

std::string SystemMessage(int code) {
  char buffer[256];
  const char* text = strerror_r(code, buffer, sizeof buffer);  // GNU variant
  return text && strncmp(text, "Unknown error", 13) != 0 ? text : "";
}
