#include "log/UpgradeLog.h"

#include "log/FileDescriptor.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeDirectory() {
  const char* home = getenv("HOME");
  if (home && *home == '/') return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
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
  for (size_t slash = dir.find('/', 1); ; slash = dir.find('/', slash + 1)) {
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

std::string LogDirectory() {
  const char* tmp = getenv("TMPDIR");
  if (tmp && *tmp) return WithoutTrailingSlashes(tmp);
  const char* state = getenv("XDG_STATE_HOME");
  // A relative XDG path is invalid and ignored, as the base-directory rules say.
  if (state && *state == '/') return WithoutTrailingSlashes(state) + "/QelUpgrade";
  const std::string home = HomeDirectory();
  if (IsUsableHome(home)) return WithoutTrailingSlashes(home) + "/.local/state/QelUpgrade";
  return std::string(P_tmpdir) + "/QelUpgrade-" + std::to_string(geteuid());
}

std::string LogFilePath(const std::string& name) {
  const std::string dir = LogDirectory();
  return (dir == "/" ? dir : dir + "/") + name;
}

std::string DefaultLogFilePath() { return LogFilePath(UpgradeLog::FILE_NAME); }

UpgradeLog::UpgradeLog() : UpgradeLog(InLogFolder{FILE_NAME}) {}

UpgradeLog::UpgradeLog(const InLogFolder& file) : UpgradeLog(LogFilePath(file.m_Name)) {
  const char* tmp = getenv("TMPDIR");
  if (!tmp || !*tmp) m_OwnFolder = LogDirectory();
}

UpgradeLog::UpgradeLog(const std::string& filePath)
    : m_FilePath(filePath), m_PathValid(!filePath.empty()) {}

UpgradeLog::~UpgradeLog() {
  // One more try for lines that could not be written; no sync, which ends a
  // pass only (a Check's lines are as safe as they were before).
  CFileDescriptor fd;
  if (!m_Pending.empty() && OpenFile(&fd)) WritePending(fd);
}

void UpgradeLog::AppendLine(const std::string& message) {
  char stamp[32];
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  m_Pending += stamp;
  m_Pending.append(message, 0, MAX_MESSAGE);
  m_Pending += "\r\n";
  // Opened for each line rather than held open: lines are few, and the file
  // may be moved away or removed between two of them.
  CFileDescriptor fd;
  if (OpenFile(&fd)) WritePending(fd);
}

int UpgradeLog::Flush() {
  if (m_Pending.empty() && !m_Unsynced) return 1;
  CFileDescriptor fd;
  if (!OpenFile(&fd)) return 0;
  const bool written = WritePending(fd);
  // One sync per pass, not per line: the lines are safe from a crash of the
  // program as soon as they are written; this keeps them through a crash of
  // the system too.
  if (fdatasync(fd.Get()) == 0) m_Unsynced = false;
  return (fd.Close() && written && !m_Unsynced) ? 1 : 0;
}

bool UpgradeLog::OpenFile(CFileDescriptor* fd) {
  if (!m_PathValid) return false;
  // Another user's file, a link planted in place of the log or anything but
  // a regular file is left alone; so is a log folder that is not the user's.
  if (!m_OwnFolder.empty()) {
    if (!IsOwnFolder(m_OwnFolder)) MakeDirectories(m_OwnFolder, 0700);
    if (!IsOwnFolder(m_OwnFolder)) return false;
  }
  fd->Reset(open(m_FilePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  if (!fd->IsOpen()) return false;
  struct stat status;
  return fstat(fd->Get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid();
}

bool UpgradeLog::WritePending(const CFileDescriptor& fd) {
  // A short or failed write keeps what did not get through for the next try.
  size_t written = 0;
  while (written < m_Pending.size()) {
    const ssize_t n = write(fd.Get(), m_Pending.data() + written, m_Pending.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  if (written > 0) m_Unsynced = true;
  m_Pending.erase(0, written);
  return m_Pending.empty();
}

int LogPrintf(UpgradeLog* log, const char* format, ...) {
  char message[UpgradeLog::MAX_MESSAGE + 1];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (log) log->AppendLine(message);
  return 1;
}
