// The window's position between runs: a 44-byte record of eleven
// little-endian 32-bit fields kept under "Zyphex" / <executable base name>,
// group "Settings", key "Window Position".
#pragma once

#include <QByteArray>
#include <cstdint>

class QSettings;
class QWidget;

constexpr int PLACEMENT_SIZE = 44;
constexpr int32_t SHOW_NORMAL = 1;
constexpr int32_t SHOW_MINIMIZED = 2;
constexpr int32_t SHOW_MAXIMIZED = 3;

struct WindowPlacement {
  int32_t m_Length = 0;  // written as 0
  int32_t m_Flags = 0;
  int32_t m_ShowCmd = SHOW_NORMAL;
  int32_t m_MinX = -1, m_MinY = -1;
  int32_t m_MaxX = -1, m_MaxY = -1;
  int32_t m_Left = 0, m_Top = 0, m_Right = 0, m_Bottom = 0;  // normal rectangle

  QByteArray Encode() const;
  // False unless bytes holds exactly 44 bytes.
  bool Decode(const QByteArray& bytes);
};

// The widget's placement now; a minimised window is recorded as normal.
WindowPlacement ReadPlacement(const QWidget& window);
// Moves the widget to the normal rectangle and sets its state (not shown).
void ApplyPlacement(QWidget& window, const WindowPlacement& placement);

// The settings object of the window (organisation "Zyphex", application the
// executable's base name).
QSettings* NewWindowSettings();
// Silent on every failure.
void SaveWindowPlacement(const QWidget& window);
void RestoreWindowPlacement(QWidget& window);
