#include "log/UpgradeLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "platform/LocalTime.h"

std::string LogFilePath(const std::string& name) {
  std::string path = UserLogFolder().m_Path;
  if (path.empty() || path.back() != '/') path += '/';
  return path + name;
}

std::string DefaultLogFilePath() { return LogFilePath(UpgradeLog::FILE_NAME); }

UpgradeLog::UpgradeLog() : UpgradeLog(InLogFolder{FILE_NAME}) {}

UpgradeLog::UpgradeLog(const InLogFolder& file) : UpgradeLog(LogFilePath(file.m_Name)) {
  const LogFolder folder = UserLogFolder();
  if (folder.m_Own) m_OwnFolder = folder.m_Path;
}

UpgradeLog::UpgradeLog(const std::string& filePath)
    : m_FilePath(filePath), m_PathValid(!filePath.empty()) {}

UpgradeLog::~UpgradeLog() {
  // One more try for lines that could not be written; no sync, which ends a
  // pass only (a Check's lines are as safe as they were before).
  CLogFile file;
  if (!m_Pending.empty() && OpenFile(&file)) WritePending(&file);
}

void UpgradeLog::AppendLine(const std::string& message) {
  char stamp[32];
  const time_t now = time(nullptr);
  std::tm local{};
  LocalTime(now, &local);
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  m_Pending += stamp;
  m_Pending.append(message, 0, MAX_MESSAGE);
  m_Pending += "\r\n";
  // Opened for each line rather than held open: lines are few, and the file
  // may be moved away or removed between two of them.
  CLogFile file;
  if (OpenFile(&file)) WritePending(&file);
}

int UpgradeLog::Flush() {
  if (m_Pending.empty() && !m_Unsynced) return 1;
  CLogFile file;
  if (!OpenFile(&file)) return 0;
  const bool written = WritePending(&file);
  // One sync per pass, not per line: the lines are safe from a crash of the
  // program as soon as they are written; this keeps them through a crash of
  // the system too.
  if (file.Sync()) m_Unsynced = false;
  return (file.Close() && written && !m_Unsynced) ? 1 : 0;
}

bool UpgradeLog::OpenFile(CLogFile* file) { return m_PathValid && file->Open(m_FilePath, m_OwnFolder); }

bool UpgradeLog::WritePending(CLogFile* file) {
  // A short or failed write keeps what did not get through for the next try.
  const size_t written = file->Append(m_Pending);
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
