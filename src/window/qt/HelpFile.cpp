#include "window/qt/HelpFile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

#include "model/StringIds.h"
#include "log/Notice.h"

CHelpFile::CHelpFile(const QString& directory)
    : m_Path(directory.isEmpty() ? QString() : QDir(directory).filePath(HELP_FILE_NAME)) {}

bool CHelpFile::Extract(const QString& resource) const {
  QFile source(resource);
  if (m_Path.isEmpty() || !source.open(QIODevice::ReadOnly)) return false;
  const QByteArray guide = source.readAll();
  // Made anew: what was at the path (a link too) is removed, never followed
  // or opened as the guide.
  QFile::remove(m_Path);
  QFile target(m_Path);
  if (guide.isEmpty() || !target.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
  if (target.write(guide) == guide.size() && target.flush()) return true;
  target.remove();  // a half-written guide is never opened
  return false;
}

bool CHelpFile::Open(const std::function<bool(const QString&)>& opener) const {
  if (!Extract()) {
    ShowWarning(LoadStringId(IDS_HELP_MISSING));
    return false;
  }
  if (opener) return opener(m_Path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(m_Path));
}
