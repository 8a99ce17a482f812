#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/ReadFile.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/WideText.h"

// The file is read at offsets of its own keeping: a read at an offset moves
// the system's file pointer, so the position Read goes on from is kept here.
struct CReadFile::Native {
  HANDLE m_Handle = INVALID_HANDLE_VALUE;
  uint64_t m_Position = 0;
};

namespace {

// One ReadFile takes at most a DWORD; callers loop over short reads anyway.
constexpr size_t MAX_READ = size_t{1} << 30;

}  // namespace

CReadFile::CReadFile() : m_Native(std::make_unique<Native>()) {}

CReadFile::~CReadFile() {
  if (m_Native->m_Handle != INVALID_HANDLE_VALUE) CloseHandle(m_Native->m_Handle);
}

// Shared for writing and deleting: a package being rewritten or replaced
// is opened all the same and then refused as changed. Folders open too
// (backup semantics), so that one named *.bin is refused as not a file.
bool CReadFile::Open(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN;
  m_Native->m_Handle =
      CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
  m_Native->m_Position = 0;
  if (m_Native->m_Handle != INVALID_HANDLE_VALUE) return true;
  m_Error = static_cast<int>(GetLastError());
  return false;
}

bool CReadFile::Inspect(bool* regular, uint64_t* size) {
  SetLastError(NO_ERROR);
  const DWORD type = GetFileType(m_Native->m_Handle);
  BY_HANDLE_FILE_INFORMATION information;
  if ((type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) ||
      !GetFileInformationByHandle(m_Native->m_Handle, &information)) {
    m_Error = static_cast<int>(GetLastError());
    return false;
  }
  *regular = type == FILE_TYPE_DISK && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  *size = (uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
  return true;
}

bool CReadFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length, size_t* got) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!ReadFile(m_Native->m_Handle, buffer, static_cast<DWORD>(std::min(length, MAX_READ)), &read, &at)) {
    const DWORD error = GetLastError();
    // Reading at or past the end: no bytes, as at the end of any file.
    if (error != ERROR_HANDLE_EOF) {
      m_Error = static_cast<int>(error);
      return false;
    }
    read = 0;
  }
  *got = read;
  return true;
}

bool CReadFile::Read(uint8_t* buffer, size_t length, size_t* got) {
  if (!ReadAt(m_Native->m_Position, buffer, length, got)) return false;
  m_Native->m_Position += *got;
  return true;
}
