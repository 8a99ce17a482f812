#include "app/window/WindowPlacement.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>
#include <memory>

#include "net/ByteOrder.h"

namespace {

const char* const SETTINGS_GROUP = "Settings";
const char* const PLACEMENT_KEY = "Window Position";

void PutInt(QByteArray& out, int32_t value) {
  uint8_t bytes[4];
  WriteLe32(bytes, static_cast<uint32_t>(value));
  out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

int32_t GetInt(const QByteArray& in, int index) {
  return static_cast<int32_t>(ReadLe32(reinterpret_cast<const uint8_t*>(in.constData()) + index * 4));
}

}  // namespace

QByteArray WindowPlacement::Encode() const {
  QByteArray out;
  for (int32_t field : {m_Length, m_Flags, m_ShowCmd, m_MinX, m_MinY, m_MaxX, m_MaxY, m_Left, m_Top,
                        m_Right, m_Bottom}) {
    PutInt(out, field);
  }
  return out;
}

bool WindowPlacement::Decode(const QByteArray& bytes) {
  if (bytes.size() != PLACEMENT_SIZE) return false;
  int32_t* fields[] = {&m_Length, &m_Flags, &m_ShowCmd, &m_MinX, &m_MinY, &m_MaxX,
                       &m_MaxY,   &m_Left,  &m_Top,     &m_Right, &m_Bottom};
  for (int i = 0; i < 11; ++i) *fields[i] = GetInt(bytes, i);
  return true;
}

WindowPlacement ReadPlacement(const QWidget& window) {
  WindowPlacement placement;
  // A minimised window comes back normal; only maximised is kept.
  placement.m_ShowCmd = window.isMaximized() ? SHOW_MAXIMIZED : SHOW_NORMAL;
  const QRect normal = window.isMaximized() || window.isMinimized() ? window.normalGeometry()
                                                                     : window.geometry();
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
  return new QSettings("Zyphex", app);
}

void SaveWindowPlacement(const QWidget& window) {
  std::unique_ptr<QSettings> settings(NewWindowSettings());
  settings->beginGroup(SETTINGS_GROUP);
  settings->setValue(PLACEMENT_KEY, ReadPlacement(window).Encode());
  settings->endGroup();
  settings->sync();
}

void RestoreWindowPlacement(QWidget& window) {
  std::unique_ptr<QSettings> settings(NewWindowSettings());
  settings->beginGroup(SETTINGS_GROUP);
  const QVariant value = settings->value(PLACEMENT_KEY);
  settings->endGroup();
  if (value.typeId() != QMetaType::QByteArray) return;
  WindowPlacement placement;
  if (!placement.Decode(value.toByteArray())) return;
  ApplyPlacement(window, placement);
}
