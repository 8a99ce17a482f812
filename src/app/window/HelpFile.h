// F1: the user guide shipped inside the program is written once into the
// temporary directory and opened with the desktop's default handler. A file
// already there is opened as it is, never rewritten.
#pragma once

#include <QString>
#include <functional>

constexpr const char* HELP_FILE_NAME = "QelUpgradeHelp.html";
constexpr const char* HELP_RESOURCE = ":/help/QelUpgradeHelp.html";

class CHelpFile {
 public:
  // directory: where the guide is written (the temporary directory).
  explicit CHelpFile(const QString& directory);

  QString Path() const { return m_Path; }
  // Writes the guide when no file is at Path(). False when the guide is
  // missing from the program or cannot be written completely.
  bool Extract(const QString& resource = HELP_RESOURCE) const;
  // Extract, then open. On failure shows IDS_HELP_MISSING as a warning and
  // opens nothing. opener defaults to the desktop's handler.
  bool Open(const std::function<bool(const QString&)>& opener = {}) const;

 private:
  QString m_Path;
};
