#include "window/win32/HelpFile.h"

#include <windows.h>

#include "app/WindowNames.h"
#include "platform/win32/WideText.h"
#include "window/win32/resource.h"

std::wstring HelpFilePath() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder, length > MAX_PATH ? 0 : length) + WideFromUtf8(HELP_FILE_NAME);
}

bool ExtractHelp(const std::wstring& path) {
  const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_HELP), MAKEINTRESOURCEW(23));  // RT_HTML
  const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* guide = loaded ? LockResource(loaded) : nullptr;
  if (!guide) return false;
  const DWORD size = SizeofResource(nullptr, found);
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, guide, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return whole;
}
