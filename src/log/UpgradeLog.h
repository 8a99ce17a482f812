// The upgrade log: timestamped lines appended to QelUpgradeLog.txt in the
// user's log folder (LogDirectory) as they are made, so a pass that crashes
// or is killed leaves every line made before; the end of a pass asks the
// system once to put them on disk. CR LF line ends. Where the file is and
// how it is kept safe is the system's (platform/LogFile.h).
#pragma once

#include <string>

#include "platform/LogFile.h"

class UpgradeLog {
 public:
  // A file in the user's log folder (LogDirectory), by name.
  struct InLogFolder {
    std::string m_Name;
  };
  // Logs to DefaultLogFilePath(). Does not touch the file; the first line
  // creates the log folder (mode 0700) when it is not TMPDIR, and no line is
  // written while that folder is not the user's own or is a symbolic link.
  UpgradeLog();
  // Logs to that file of the user's log folder, made as above.
  explicit UpgradeLog(const InLogFolder& file);
  // Tests and tools may log elsewhere; an empty path disables writing.
  explicit UpgradeLog(const std::string& filePath);
  // Lines that could not be written get one more try.
  ~UpgradeLog();

  UpgradeLog(const UpgradeLog&) = delete;
  UpgradeLog& operator=(const UpgradeLog&) = delete;

  // Makes one line, "%Y-%m-%d %H:%M:%S " + message + CR LF, and appends it
  // to the file at once, after any lines that could not be written before.
  // A line that cannot be written stays pending for the next line or flush.
  void AppendLine(const std::string& message);

  // The end of a pass: writes what is pending, then asks the system once to
  // put the file's data on disk. Returns 1 when every line made so far is
  // in the file and on disk (also when there is none); otherwise 0.
  int Flush();

  // Lines not in the file yet: those that could not be written (all of
  // them when no path is known).
  const std::string& Pending() const { return m_Pending; }
  const std::string& FilePath() const { return m_FilePath; }
  bool PathValid() const { return m_PathValid; }

  static constexpr const char* FILE_NAME = "QelUpgradeLog.txt";
  // Longest message kept; a longer one is cut (formatting buffer of the log).
  static constexpr size_t MAX_MESSAGE = 1039;

 private:
  // Opens the file for appending, making the log's own folder first when
  // it is missing; refuses a file or a folder that is not the user's own.
  bool OpenFile(CLogFile* file);
  // Writes m_Pending to the file and drops what got through.
  bool WritePending(CLogFile* file);

  std::string m_Pending;
  std::string m_FilePath;
  std::string m_OwnFolder;  // the folder the log makes for itself (empty: TMPDIR or a given path)
  bool m_PathValid = false;
  bool m_Unsynced = false;  // lines were written since the last flush
};

// Formats one line into the log, printf style; always returns 1.
// Texts logged as they are (status texts, the MAC line) are passed as "%s".
int LogPrintf(UpgradeLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The user's log folder (UserLogFolder) + "/" + name with exactly one
// separator between.
std::string LogFilePath(const std::string& name);
// LogFilePath("QelUpgradeLog.txt").
std::string DefaultLogFilePath();
