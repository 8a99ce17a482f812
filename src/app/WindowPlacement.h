// The window's position between runs: the platform's 44-byte placement
// record, eleven little-endian 32-bit fields, kept under the user's
// "Zyphex" / <program name> / "Settings" as "Window Position".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr const char* SETTINGS_COMPANY = "Zyphex";
constexpr const char* SETTINGS_SECTION = "Settings";
constexpr const char* PLACEMENT_VALUE = "Window Position";
constexpr size_t PLACEMENT_SIZE = 44;
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

  std::vector<uint8_t> Encode() const;
  // False unless size is exactly 44 bytes.
  bool Decode(const uint8_t* bytes, size_t size);
  // As saved on close: a window that is not maximised comes back normal.
  void SetSavedShowCmd(int32_t showCmd) { m_ShowCmd = showCmd == SHOW_MAXIMIZED ? SHOW_MAXIMIZED : SHOW_NORMAL; }
};
