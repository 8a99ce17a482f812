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

// Creates dir and the folders above it that are missing, each with mode.
void MakeDirectories(const std::string& dir, mode_t mode) {
  for (size_t slash = dir.find('/', 1); ; slash = dir.find('/', slash + 1)) {
    mkdir(dir.substr(0, slash).c_str(), mode);
    if (slash == std::string::npos) return;
  }
}

}  // namespace

std::string LogDirectory() {
  const char* tmp = getenv("TMPDIR");
  if (tmp && *tmp) return WithoutTrailingSlashes(tmp);
  const char* state = getenv("XDG_STATE_HOME");
  // A relative XDG path is invalid and ignored, as the base-directory rules say.
  const std::string base = (state && *state == '/') ? WithoutTrailingSlashes(state) : HomeDirectory() + "/.local/state";
  return base + "/QelUpgrade";
}

std::string LogFilePath(const std::string& name) {
  const std::string dir = LogDirectory();
  return (dir == "/" ? dir : dir + "/") + name;
}

std::string DefaultLogFilePath() { return LogFilePath(UpgradeLog::FILE_NAME); }

UpgradeLog::UpgradeLog() : UpgradeLog(InLogFolder{FILE_NAME}) {}

UpgradeLog::UpgradeLog(const InLogFolder& file) : UpgradeLog(LogFilePath(file.m_Name)) {
  const char* tmp = getenv("TMPDIR");
  if (!tmp || !*tmp) m_DirectoryToMake = LogDirectory();
}

UpgradeLog::UpgradeLog(const std::string& filePath)
    : m_FilePath(filePath), m_PathValid(!filePath.empty()) {}

UpgradeLog::~UpgradeLog() { Flush(); }

void UpgradeLog::AppendLine(const std::string& message) {
  char stamp[32];
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  m_Pending += stamp;
  m_Pending.append(message, 0, MAX_MESSAGE);
  m_Pending += "\r\n";
}

int UpgradeLog::Flush() {
  if (!m_PathValid || m_Pending.empty()) return 0;
  if (!m_DirectoryToMake.empty()) MakeDirectories(m_DirectoryToMake, 0700);
  // Another user's file, a link planted in place of the log or anything but
  // a regular file is left alone; the lines stay pending.
  CFileDescriptor fd(open(m_FilePath.c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  if (!fd.IsOpen()) return 0;
  struct stat status;
  if (fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) return 0;
  // Pending lines are dropped only once every byte is on disk; a short or
  // failed write keeps what did not get through for the next flush.
  size_t written = 0;
  while (written < m_Pending.size()) {
    const ssize_t n = write(fd.Get(), m_Pending.data() + written, m_Pending.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool closed = fd.Close();
  m_Pending.erase(0, written);
  return (m_Pending.empty() && closed) ? 1 : 0;
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
