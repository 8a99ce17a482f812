#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/UserFolders.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>

#include "platform/win32/WideText.h"

namespace {

// The executable's full path, '/' between its parts.
std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return ForwardSlashes(Utf8FromWide(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring Environment(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return L"";
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

// What identifies a file or folder on its volume; false when it cannot be opened.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION* information) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE handle =
      CreateFileW(WideFromUtf8(path).c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const BOOL known = GetFileInformationByHandle(handle, information);
  CloseHandle(handle);
  return known != 0;
}

}  // namespace

std::string ExecutableDirectory() {
  const std::string path = ExecutablePath();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::string ProgramName() {
  const std::string path = ExecutablePath();
  std::string name = path.substr(path.rfind('/') + 1);
  if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0) name.resize(name.size() - 4);
  return name;
}

std::string UserDataDirectory() {
  std::wstring folder = Environment(L"LOCALAPPDATA");
  if (folder.empty() && !(folder = Environment(L"USERPROFILE")).empty()) folder += L"\\AppData\\Local";
  if (folder.empty()) return ".";
  std::string path = ForwardSlashes(Utf8FromWide(folder));
  while (path.size() > 3 && path.back() == '/') path.pop_back();
  return path;
}

bool SameDirectory(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  BY_HANDLE_FILE_INFORMATION first, second;
  return Identity(a, &first) && Identity(b, &second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

void MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(WideFromUtf8(path)), error);
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::string pattern = path.empty() ? std::string(".") : path;
  if (pattern.back() != '/' && pattern.back() != '\\') pattern += '/';
  WIN32_FIND_DATAW entry;
  // Basic information: no short 8.3 names, which nothing here reads.
  const HANDLE search = FindFirstFileExW(WideFromUtf8(pattern + "*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(Utf8FromWide(entry.cFileName, wcslen(entry.cFileName)));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

std::string ShownPath(const std::string& path) {
  std::string shown = path;
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return shown;
}

// The system's full path name: the current folder before a relative path
// (that of its drive for "D:name"), "." and ".." taken out.
std::string AbsolutePath(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return path;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) return ForwardSlashes(Utf8FromWide(full.data(), length));
    full.resize(length);
  }
}
