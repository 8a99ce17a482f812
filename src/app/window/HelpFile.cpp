#include "app/window/HelpFile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

#include "app/StringIds.h"
#include "log/Notice.h"

CHelpFile::CHelpFile(const QString& directory)
    : m_Path(QDir(directory).filePath(HELP_FILE_NAME)) {}

bool CHelpFile::Extract(const QString& resource) const {
  if (QFile::exists(m_Path)) return true;
  QFile source(resource);
  if (!source.open(QIODevice::ReadOnly)) return false;
  const QByteArray guide = source.readAll();
  if (guide.isEmpty()) return false;
  QFile target(m_Path);
  if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const bool complete = target.write(guide) == guide.size();
  target.close();
  // A half-written guide would otherwise be opened as it is on every later F1.
  if (!complete) target.remove();
  return complete;
}

bool CHelpFile::Open(const std::function<bool(const QString&)>& opener) const {
  if (!Extract()) {
    ShowWarning(LoadStringId(IDS_HELP_MISSING));
    return false;
  }
  if (opener) return opener(m_Path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(m_Path));
}
