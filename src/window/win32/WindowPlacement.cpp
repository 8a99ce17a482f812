#include "window/win32/WindowPlacement.h"

#include "app/WindowPlacement.h"
#include "platform/UserFolders.h"
#include "platform/win32/WideText.h"

namespace {

// The settings key, created when missing; null when it cannot be had.
HKEY OpenSettings() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

}  // namespace

std::wstring SettingsKeyPath() {
  return WideFromUtf8(std::string("Software\\") + SETTINGS_COMPANY + "\\" + ProgramName() + "\\" + SETTINGS_SECTION);
}

void SaveWindowPlacement(HWND window) {
  if (!IsWindow(window)) return;
  WINDOWPLACEMENT current = {};
  current.length = sizeof current;
  if (!GetWindowPlacement(window, &current)) return;
  WindowPlacement record;
  record.m_Flags = static_cast<int32_t>(current.flags);
  record.SetSavedShowCmd(static_cast<int32_t>(current.showCmd));
  record.m_MinX = current.ptMinPosition.x, record.m_MinY = current.ptMinPosition.y;
  record.m_MaxX = current.ptMaxPosition.x, record.m_MaxY = current.ptMaxPosition.y;
  record.m_Left = current.rcNormalPosition.left, record.m_Top = current.rcNormalPosition.top;
  record.m_Right = current.rcNormalPosition.right, record.m_Bottom = current.rcNormalPosition.bottom;
  const HKEY key = OpenSettings();
  if (!key) return;
  const std::vector<uint8_t> bytes = record.Encode();
  const std::wstring name = WideFromUtf8(PLACEMENT_VALUE);
  RegSetValueExW(key, name.c_str(), 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

void RestoreWindowPlacement(HWND window) {
  if (!IsWindow(window)) return;
  const HKEY key = OpenSettings();
  if (!key) return;
  uint8_t bytes[PLACEMENT_SIZE];
  DWORD size = sizeof bytes, type = 0;
  const std::wstring name = WideFromUtf8(PLACEMENT_VALUE);
  const bool read = RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  WindowPlacement record;
  if (!read || !record.Decode(bytes, size)) return;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  placement.flags = static_cast<UINT>(record.m_Flags);
  placement.showCmd = static_cast<UINT>(record.m_ShowCmd);
  placement.ptMinPosition = {record.m_MinX, record.m_MinY};
  placement.ptMaxPosition = {record.m_MaxX, record.m_MaxY};
  placement.rcNormalPosition = {record.m_Left, record.m_Top, record.m_Right, record.m_Bottom};
  SetWindowPlacement(window, &placement);
}
