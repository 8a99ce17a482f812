#include "window/win32/ThemeHelperST.h"

namespace {

// Loaded once for the program's life; the system frees it at process end.
HMODULE Library() {
  static const HMODULE library = LoadLibraryW(L"UxTheme.dll");
  return library;
}

template <typename Function>
Function Resolve(const char* name) {
  return Library() ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(Library(), name))) : nullptr;
}

}  // namespace

bool CThemeHelperST::IsAppThemed() {
  const auto themed = Resolve<BOOL(WINAPI*)()>("IsAppThemed");
  return themed && themed();
}

HTHEME CThemeHelperST::OpenThemeData(HWND window, const wchar_t* classList) {
  const auto open = Resolve<HTHEME(WINAPI*)(HWND, LPCWSTR)>("OpenThemeData");
  return open ? open(window, classList) : nullptr;
}

void CThemeHelperST::CloseThemeData(HTHEME theme) {
  const auto close = Resolve<HRESULT(WINAPI*)(HTHEME)>("CloseThemeData");
  if (close && theme) close(theme);
}

bool CThemeHelperST::DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect) {
  const auto draw = Resolve<HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*)>("DrawThemeBackground");
  return draw && SUCCEEDED(draw(theme, dc, part, state, rect, nullptr));
}

bool CThemeHelperST::DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) {
  const auto draw = Resolve<HRESULT(WINAPI*)(HWND, HDC, const RECT*)>("DrawThemeParentBackground");
  return draw && SUCCEEDED(draw(window, dc, rect));
}
