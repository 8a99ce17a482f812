// The system's visual-style library, loaded when the program starts if it is
// there at all. Each call resolves its function by name when made; a missing
// library or function answers as "no theme": no theme handle, not themed.
#pragma once

#include <windows.h>

typedef HANDLE HTHEME;

class CThemeHelperST {
 public:
  static bool IsAppThemed();
  // Null without a theme for the class (L"BUTTON").
  static HTHEME OpenThemeData(HWND window, const wchar_t* classList);
  static void CloseThemeData(HTHEME theme);
  static bool DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect);
  static bool DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect);
};
