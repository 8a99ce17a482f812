// The log file as the system keeps it. Where: $TMPDIR when set (a per-user
// temporary directory), else $XDG_STATE_HOME/QelUpgrade, else
// ~/.local/state/QelUpgrade when the home folder is one the user can write
// in, else QelUpgrade-<uid> in the system's temporary directory; on Windows
// the user's temporary directory. How: appended to, created for the user
// alone (mode 0600), never through a symbolic link and never into a file or
// a folder of the log's own that someone else owns; on Windows opened
// without sharing while it is written and in the system's code page.
#pragma once

#include <memory>
#include <string>

struct LogFolder {
  std::string m_Path;
  bool m_Own = false;  // the log makes it (mode 0700) and writes there only while it is the user's own
};

// The user's log folder.
LogFolder UserLogFolder();
// The bytes of a log file as UTF-8 (the file is in the system's code page
// where that is not UTF-8), for those who read the log back.
std::string LogTextToUtf8(const std::string& bytes);

class CLogFile {
 public:
  CLogFile();
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  // Opens path for appending; ownFolder (may be empty) is made first when
  // missing and must then be the user's own. False when the file may not or
  // cannot be written.
  bool Open(const std::string& path, const std::string& ownFolder);
  // Appends UTF-8 text; how many of its bytes got through (all or a first part).
  size_t Append(const std::string& text);
  // Asks the system to put what was written on disk.
  bool Sync();
  bool Close();

  struct Native;

 private:
  std::unique_ptr<Native> m_Native;
};
