#include "window/qt/WindowPlacement.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>
#include <memory>

namespace {

QString PlacementKey() { return QString(SETTINGS_SECTION) + "/" + PLACEMENT_VALUE; }

}  // namespace

WindowPlacement ReadPlacement(const QWidget& window) {
  WindowPlacement placement;
  placement.SetSavedShowCmd(window.isMaximized() ? SHOW_MAXIMIZED : window.isMinimized() ? SHOW_MINIMIZED : SHOW_NORMAL);
  const QRect normal = window.isMaximized() || window.isMinimized() ? window.normalGeometry() : window.geometry();
  const QRect rect = normal.isValid() ? normal : window.geometry();
  placement.m_Left = rect.left();
  placement.m_Top = rect.top();
  placement.m_Right = rect.left() + rect.width();
  placement.m_Bottom = rect.top() + rect.height();
  return placement;
}

void ApplyPlacement(QWidget& window, const WindowPlacement& placement) {
  const int width = placement.m_Right - placement.m_Left;
  const int height = placement.m_Bottom - placement.m_Top;
  if (width > 0 && height > 0) window.setGeometry(placement.m_Left, placement.m_Top, width, height);
  Qt::WindowStates states = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (placement.m_ShowCmd == SHOW_MAXIMIZED) states |= Qt::WindowMaximized;
  if (placement.m_ShowCmd == SHOW_MINIMIZED) states |= Qt::WindowMinimized;
  window.setWindowState(states);
}

QSettings* NewWindowSettings() {
  const QString app = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return new QSettings(SETTINGS_COMPANY, app);
}

void SaveWindowPlacement(const QWidget& window) {
  std::unique_ptr<QSettings> settings(NewWindowSettings());
  const std::vector<uint8_t> record = ReadPlacement(window).Encode();
  settings->setValue(PlacementKey(), QByteArray(reinterpret_cast<const char*>(record.data()), record.size()));
  settings->sync();
}

void RestoreWindowPlacement(QWidget& window) {
  std::unique_ptr<QSettings> settings(NewWindowSettings());
  const QVariant value = settings->value(PlacementKey());
  if (value.typeId() != QMetaType::QByteArray) return;
  const QByteArray bytes = value.toByteArray();
  WindowPlacement placement;
  if (!placement.Decode(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size())) return;
  ApplyPlacement(window, placement);
}
