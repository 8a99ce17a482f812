// The core's UTF-8 text against the UTF-16 the system's calls take, and
// the core's '/' against the system's '\' in paths.
#pragma once

#include <string>

// Ill-formed UTF-8 comes out with U+FFFD in its place.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);
// A path as the system gave it, with '/' between its parts.
std::string ForwardSlashes(std::string path);
