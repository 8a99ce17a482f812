#include "log/UpgradeLog.h"

#include "log/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

std::string DefaultLogFilePath() {
  const char* dir = getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path != "/") path += '/';
  return path + UpgradeLog::FILE_NAME;
}

UpgradeLog::UpgradeLog() : UpgradeLog(DefaultLogFilePath()) {}

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
  CFileDescriptor fd(open(m_FilePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd.IsOpen()) return 0;
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
