// The window's position between runs (app/WindowPlacement.h) in the
// registry: HKEY_CURRENT_USER\Software\Zyphex\<program name>\Settings, value
// "Window Position", raw bytes. Every failure is silent.
#pragma once

#include <windows.h>

#include <string>

// Software\Zyphex\<program name>\Settings
std::wstring SettingsKeyPath();
// A window that is not maximised is saved as normal.
void SaveWindowPlacement(HWND window);
// Applies a saved record of exactly 44 bytes; anything else is left alone.
void RestoreWindowPlacement(HWND window);
