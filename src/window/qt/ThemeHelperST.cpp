#include "window/qt/ThemeHelperST.h"

#include <QApplication>
#include <QStyle>

bool CThemeHelperST::IsAppThemed() { return OpenThemeData() != nullptr; }

QStyle* CThemeHelperST::OpenThemeData() {
  QStyle* style = qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style() : nullptr;
  if (!style || style->name().compare("windows", Qt::CaseInsensitive) == 0) return nullptr;
  return style;
}
