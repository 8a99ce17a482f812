#include "platform/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/Home.h"

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A home the log folder can be made under: an absolute path to a folder
// this user may write in (not "/" for a user without a home, say).
bool IsUsableHome(const std::string& home) {
  struct stat status;
  return !home.empty() && home[0] == '/' && stat(home.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         access(home.c_str(), W_OK | X_OK) == 0;
}

// Creates dir and the folders above it that are missing, each with mode.
void MakeDirectories(const std::string& dir, mode_t mode) {
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    mkdir(dir.substr(0, slash).c_str(), mode);
    if (slash == std::string::npos) return;
  }
}

// The folder itself, not a link to one, and this user's own.
bool IsOwnFolder(const std::string& dir) {
  struct stat status;
  return lstat(dir.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid();
}

}  // namespace

struct CLogFile::Native {
  int m_Fd = -1;
};

LogFolder UserLogFolder() {
  const char* tmp = getenv("TMPDIR");
  if (tmp && *tmp) return {WithoutTrailingSlashes(tmp), false};
  const char* state = getenv("XDG_STATE_HOME");
  // A relative XDG path is invalid and ignored, as the base-directory rules say.
  if (state && *state == '/') return {WithoutTrailingSlashes(state) + "/QelUpgrade", true};
  const std::string home = HomeDirectory();
  if (IsUsableHome(home)) return {WithoutTrailingSlashes(home) + "/.local/state/QelUpgrade", true};
  return {std::string(P_tmpdir) + "/QelUpgrade-" + std::to_string(geteuid()), true};
}

std::string LogTextToUtf8(const std::string& bytes) { return bytes; }

CLogFile::CLogFile() : m_Native(std::make_unique<Native>()) {}

CLogFile::~CLogFile() { Close(); }

bool CLogFile::Open(const std::string& path, const std::string& ownFolder) {
  Close();
  // Another user's file, a link planted in place of the log or anything but
  // a regular file is left alone; so is a log folder that is not the user's.
  if (!ownFolder.empty()) {
    if (!IsOwnFolder(ownFolder)) MakeDirectories(ownFolder, 0700);
    if (!IsOwnFolder(ownFolder)) return false;
  }
  m_Native->m_Fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (m_Native->m_Fd < 0) return false;
  struct stat status;
  if (fstat(m_Native->m_Fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid()) return true;
  Close();
  return false;
}

size_t CLogFile::Append(const std::string& text) {
  size_t written = 0;
  while (m_Native->m_Fd >= 0 && written < text.size()) {
    const ssize_t n = write(m_Native->m_Fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  return written;
}

bool CLogFile::Sync() { return m_Native->m_Fd >= 0 && fdatasync(m_Native->m_Fd) == 0; }

bool CLogFile::Close() {
  if (m_Native->m_Fd < 0) return true;
  const int result = close(m_Native->m_Fd);
  m_Native->m_Fd = -1;
  return result == 0;
}
