#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/SystemError.h"

#include <windows.h>

#include "platform/win32/WideText.h"

// Socket errors are the thread's last error too (WSAGetLastError reads the
// same value), so one code space serves files and sockets.
int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string SystemMessage(int code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 && text ? Utf8FromWide(text, length) : std::string();
  // Only a buffer the system allocated is given back.
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}
