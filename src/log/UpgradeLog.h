// The upgrade log: timestamped lines collected in memory and appended to
// QelUpgradeLog.txt in the user's log folder (LogDirectory) at the end of
// each upgrade pass and when the log is destroyed. UTF-8, CR LF line ends.
// The file is the user's own: created with mode 0600, never through a
// symbolic link, and not written when someone else owns it.
#pragma once

#include <string>

class UpgradeLog {
 public:
  // A file in the user's log folder (LogDirectory), by name.
  struct InLogFolder {
    std::string m_Name;
  };
  // Logs to DefaultLogFilePath(). Does not touch the file; the first flush
  // creates the log folder (mode 0700) when it is not TMPDIR.
  UpgradeLog();
  // Logs to that file of the user's log folder, made as above.
  explicit UpgradeLog(const InLogFolder& file);
  // Tests and tools may log elsewhere; an empty path disables writing.
  explicit UpgradeLog(const std::string& filePath);
  // Flushes once more, so a Check's lines reach the file at program end.
  ~UpgradeLog();

  UpgradeLog(const UpgradeLog&) = delete;
  UpgradeLog& operator=(const UpgradeLog&) = delete;

  // Appends one line: "%Y-%m-%d %H:%M:%S " + message + CR LF.
  void AppendLine(const std::string& message);

  // Appends the pending lines to the file in one write. Returns 1 when every
  // byte reached the file; otherwise 0 and the lines stay pending for the
  // next flush. 0 also when nothing is pending or no path is known.
  int Flush();

  const std::string& Pending() const { return m_Pending; }
  const std::string& FilePath() const { return m_FilePath; }
  bool PathValid() const { return m_PathValid; }

  static constexpr const char* FILE_NAME = "QelUpgradeLog.txt";
  // Longest message kept; a longer one is cut (formatting buffer of the log).
  static constexpr size_t MAX_MESSAGE = 1039;

 private:
  std::string m_Pending;
  std::string m_FilePath;
  std::string m_DirectoryToMake;
  bool m_PathValid = false;
};

// Formats one line into the log, printf style; always returns 1.
// Texts logged as they are (status texts, the MAC line) are passed as "%s".
int LogPrintf(UpgradeLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The user's log folder: $TMPDIR when set (a per-user temporary directory),
// else $XDG_STATE_HOME/QelUpgrade (default ~/.local/state/QelUpgrade);
// never the temporary directory shared by all users.
std::string LogDirectory();
// LogDirectory() + "/" + name with exactly one separator between.
std::string LogFilePath(const std::string& name);
// LogFilePath("QelUpgradeLog.txt").
std::string DefaultLogFilePath();
