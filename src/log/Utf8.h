// Text that comes from files and from the wire is meant to be UTF-8; bytes
// that are not are shown as U+FFFD rather than passed on.
#pragma once

#include <cstddef>
#include <string>

std::string SanitizeUtf8(const char* data, size_t length);
inline std::string SanitizeUtf8(const std::string& text) { return SanitizeUtf8(text.data(), text.size()); }
