#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/LogFile.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/UserFolders.h"
#include "platform/win32/WideText.h"

namespace {

// A folder itself, not a link to one.
bool IsPlainFolder(const std::string& dir) {
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(dir).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// text in the system's code page; characters it lacks become its default
// character rather than a look-alike.
bool ToCodePage(const std::string& text, std::string* bytes) {
  if (GetACP() == CP_UTF8) {
    *bytes = text;
    return true;
  }
  const std::wstring wide = WideFromUtf8(text);
  if (wide.empty() || wide.size() > INT_MAX) return false;
  const int length = static_cast<int>(wide.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    size = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  }
  if (size <= 0) return false;
  bytes->assign(static_cast<size_t>(size), '\0');
  return WideCharToMultiByte(CP_ACP, flags, wide.data(), length, bytes->data(), size, nullptr, nullptr) == size;
}

}  // namespace

struct CLogFile::Native {
  HANDLE m_Handle = INVALID_HANDLE_VALUE;
};

// The temporary folder is the user's own already; the log makes none.
LogFolder UserLogFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length == 0 || length >= buffer.size()) return {"", false};
  std::string path = ForwardSlashes(Utf8FromWide(buffer.data(), length));
  // "C:/" keeps its separator: "C:" alone is the drive's current folder.
  while (path.size() > 1 && path.back() == '/' && path[path.size() - 2] != ':') path.pop_back();
  return {path, false};
}

std::string LogTextToUtf8(const std::string& bytes) {
  if (bytes.empty()) return bytes;
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), size);
  return Utf8FromWide(wide);
}

CLogFile::CLogFile() : m_Native(std::make_unique<Native>()) {}

CLogFile::~CLogFile() { Close(); }

// Not shared while open: another program holding the log keeps it from
// being written (the lines wait for the next try), and none sees half a
// write. A link planted in place of the log is opened as itself and left.
bool CLogFile::Open(const std::string& path, const std::string& ownFolder) {
  Close();
  if (!ownFolder.empty()) {
    if (!IsPlainFolder(ownFolder)) MakeDirectories(ownFolder);
    if (!IsPlainFolder(ownFolder)) return false;
  }
  m_Native->m_Handle = CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (m_Native->m_Handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(m_Native->m_Handle) == FILE_TYPE_DISK &&
      GetFileInformationByHandle(m_Native->m_Handle, &information) &&
      !(information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return true;
  }
  Close();
  return false;
}

// One write of the whole text: it got through or, as far as the caller
// knows, none of it did (a part is never counted, since the text's bytes
// and the file's differ).
size_t CLogFile::Append(const std::string& text) {
  std::string bytes;
  if (m_Native->m_Handle == INVALID_HANDLE_VALUE || text.empty() || !ToCodePage(text, &bytes)) return 0;
  if (bytes.size() > MAXDWORD) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(m_Native->m_Handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == bytes.size() ? text.size() : 0;
}

bool CLogFile::Sync() { return m_Native->m_Handle != INVALID_HANDLE_VALUE && FlushFileBuffers(m_Native->m_Handle); }

bool CLogFile::Close() {
  if (m_Native->m_Handle == INVALID_HANDLE_VALUE) return true;
  const BOOL closed = CloseHandle(m_Native->m_Handle);
  m_Native->m_Handle = INVALID_HANDLE_VALUE;
  return closed != 0;
}
