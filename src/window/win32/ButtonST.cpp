#include "window/win32/ButtonST.h"

#include <commctrl.h>

#include <string>

#include "window/win32/ThemeHelperST.h"

namespace {

constexpr int BP_PUSHBUTTON = 1;  // the visual style's part of a push button

RECT Shifted(const LayoutRect& r) { return {r.m_Left, r.m_Top, r.m_Left + r.m_Width, r.m_Top + r.m_Height}; }

}  // namespace

CButtonST::CButtonST() { SetDefaultColors(false); }

CButtonST::~CButtonST() {
  if (m_Button) RemoveWindowSubclass(m_Button, SubclassProc, 0);
  if (m_Icon) DestroyIcon(m_Icon);
}

void CButtonST::Attach(HWND button) {
  m_Button = button;
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
  m_IsDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  SetWindowLongPtrW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  SetWindowSubclass(button, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
  OnThemeChanged();
  InvalidateRect(button, nullptr, TRUE);
}

void CButtonST::SetIcon(int iconId, int dpi) {
  if (m_Icon) DestroyIcon(m_Icon);
  m_Dpi = dpi;
  const int size = ScaleForDpi(BUTTON_ICON_SIZE, dpi);
  m_Icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  m_IconSize = m_Icon ? size : 0;
  if (m_Button) InvalidateRect(m_Button, nullptr, TRUE);
}

void CButtonST::SetColor(int index, COLORREF colour, bool repaint) {
  if (index < 0 || index >= BTNST_MAX_COLORS) return;
  m_Colours[index] = colour;
  if (repaint && m_Button) InvalidateRect(m_Button, nullptr, TRUE);
}

void CButtonST::SetDefaultColors(bool repaint) {
  for (int index : {BTNST_COLOR_BK_IN, BTNST_COLOR_BK_OUT, BTNST_COLOR_BK_FOCUS}) m_Colours[index] = GetSysColor(COLOR_BTNFACE);
  for (int index : {BTNST_COLOR_FG_IN, BTNST_COLOR_FG_OUT, BTNST_COLOR_FG_FOCUS}) m_Colours[index] = GetSysColor(COLOR_BTNTEXT);
  if (repaint && m_Button) InvalidateRect(m_Button, nullptr, TRUE);
}

ButtonState CButtonST::State(UINT itemState) const {
  return ButtonState{(itemState & ODS_SELECTED) != 0, (itemState & ODS_FOCUS) != 0, (itemState & ODS_DISABLED) != 0,
                     m_MouseOnButton, m_IsDefault};
}

void CButtonST::DrawItem(const DRAWITEMSTRUCT& item) {
  const ButtonState state = State(item.itemState);
  if (!DrawBackground(item.hDC, item.rcItem, state)) DrawEdges(item.hDC, item.rcItem, state);
  DrawContent(item.hDC, item.rcItem, state);
}

bool CButtonST::DrawBackground(HDC dc, const RECT& rect, const ButtonState& state) {
  const HBRUSH brush = CreateSolidBrush(m_Colours[BackgroundColourIndex(state)]);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
  return false;
}

void CButtonST::DrawEdges(HDC dc, const RECT& rect, const ButtonState& state) {
  const ButtonEdge edge = EdgeOf(state, m_Border);
  if (edge == BUTTON_EDGE_NONE) return;
  RECT r = rect;
  ::DrawEdge(dc, &r, edge == BUTTON_EDGE_SUNKEN ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

void CButtonST::DrawContent(HDC dc, const RECT& rect, const ButtonState& state) {
  const ButtonContent content = ButtonContentOf(rect.right - rect.left, rect.bottom - rect.top, m_IconSize,
                                                m_IconSize, state.m_Pressed, m_Dpi);
  if (m_Icon) {
    const RECT icon = Shifted(content.m_Icon);
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_Icon), 0, icon.left, icon.top, m_IconSize, m_IconSize,
               DST_ICON | (state.m_Disabled ? DSS_DISABLED : DSS_NORMAL));
  }
  std::wstring text(GetWindowTextLengthW(m_Button) + 1, L'\0');
  text.resize(GetWindowTextW(m_Button, text.data(), static_cast<int>(text.size())));
  RECT place = Shifted(content.m_Text);
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(m_Button, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (state.m_Disabled) {
    // Embossed: the highlight one pixel right and down, the shadow in place.
    RECT light = place;
    OffsetRect(&light, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextW(dc, text.c_str(), -1, &light, format);
    SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
  } else {
    SetTextColor(dc, m_Colours[TextColourIndex(state)]);
  }
  DrawTextW(dc, text.c_str(), -1, &place, format);
  SelectObject(dc, oldFont);
}

void CButtonST::CancelHover() {
  if (!m_MouseOnButton) return;
  m_MouseOnButton = false;
  InvalidateRect(m_Button, nullptr, TRUE);
}

void CButtonST::OnMouseMove(WPARAM keys) {
  // Only while the program's window is active and no drag is under way.
  if (m_MouseOnButton || (keys & MK_LBUTTON) || GetActiveWindow() != GetAncestor(m_Button, GA_ROOT)) return;
  m_MouseOnButton = true;
  InvalidateRect(m_Button, nullptr, TRUE);
  TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_Button, 0};
  TrackMouseEvent(&track);
}

LRESULT CALLBACK CButtonST::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
  (void)window;
  return reinterpret_cast<CButtonST*>(self)->OnMessage(message, wParam, lParam);
}

LRESULT CButtonST::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      OnMouseMove(wParam);
      break;
    case WM_MOUSELEAVE:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      CancelHover();
      break;
    case WM_ENABLE:
      if (!wParam) {
        CancelHover();
        // A disabled button keeps no focus: the dialog hands it on.
        if (GetFocus() == m_Button) PostMessageW(GetParent(m_Button), WM_NEXTDLGCTL, 0, FALSE);
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | (m_IsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE:
      // The dialog moves the default between push buttons; the drawing stays ours.
      m_IsDefault = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      wParam = (wParam & ~BS_TYPEMASK) | BS_OWNERDRAW;
      InvalidateRect(m_Button, nullptr, TRUE);
      break;
    case WM_LBUTTONDBLCLK:
      message = WM_LBUTTONDOWN;  // a second click
      break;
    case WM_SYSCOLORCHANGE:
      SetDefaultColors();
      break;
    case WM_THEMECHANGED:
      OnThemeChanged();
      break;
    default:
      break;
  }
  return DefSubclassProc(m_Button, message, wParam, lParam);
}

CXPStyleButtonST::CXPStyleButtonST() = default;

void CXPStyleButtonST::OnThemeChanged() { m_Border = !CThemeHelperST::IsAppThemed(); }

bool CXPStyleButtonST::DrawBackground(HDC dc, const RECT& rect, const ButtonState& state) {
  const HTHEME theme = CThemeHelperST::IsAppThemed() ? CThemeHelperST::OpenThemeData(Handle(), L"BUTTON") : nullptr;
  if (!theme) return CButtonST::DrawBackground(dc, rect, state);
  CThemeHelperST::DrawThemeParentBackground(Handle(), dc, &rect);
  CThemeHelperST::DrawThemeBackground(theme, dc, BP_PUSHBUTTON, ThemedStateOf(state), &rect);
  CThemeHelperST::CloseThemeData(theme);
  return true;
}
