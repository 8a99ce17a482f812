#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <climits>

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring result(static_cast<size_t>(std::max(wide, 0)), L'\0');
  if (wide > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), wide);
  return result;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  if (length == 0 || length > INT_MAX) return std::string();
  const int count = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(std::max(bytes, 0)), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, count, result.data(), bytes, nullptr, nullptr);
  return result;
}

std::string Utf8FromWide(const std::wstring& text) { return Utf8FromWide(text.data(), text.size()); }

std::string ForwardSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}
