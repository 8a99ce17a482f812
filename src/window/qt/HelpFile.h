// F1: the user guide shipped inside the program is written into the user's
// runtime directory and opened with the desktop's default handler. It is
// written afresh at each F1, so a file found at its place is never opened
// as the guide.
#pragma once

#include <QString>
#include <functional>

#include "app/WindowNames.h"

constexpr const char* HELP_RESOURCE = ":/help/QelUpgradeHelp.html";

class CHelpFile {
 public:
  // directory: where the guide is written (empty: nowhere, it cannot be).
  explicit CHelpFile(const QString& directory);

  QString Path() const { return m_Path; }
  // Writes the guide to Path(), replacing whatever is there. False when the
  // guide is missing from the program or cannot be written completely.
  bool Extract(const QString& resource = HELP_RESOURCE) const;
  // Extract, then open. On failure shows IDS_HELP_MISSING as a warning and
  // opens nothing. opener defaults to the desktop's handler.
  bool Open(const std::function<bool(const QString&)>& opener = {}) const;

 private:
  QString m_Path;
};
