// The owner-drawn command buttons (app/ButtonLook.h says how each state
// looks). CButtonST takes over a push button of the dialog: it draws it flat
// with its icon and text, lights it up while the mouse is over it, and still
// answers the dialog manager as a push button, so that Enter presses the
// focused one and the default moves with the focus. CXPStyleButtonST paints
// the background with the visual style when one is active.
#pragma once

#include <windows.h>

#include "app/ButtonLook.h"

constexpr int BUTTON_ICON_SIZE = 32;

class CButtonST {
 public:
  CButtonST();
  virtual ~CButtonST();
  CButtonST(const CButtonST&) = delete;
  CButtonST& operator=(const CButtonST&) = delete;

  // Takes over button: owner-drawn from now on; the default flag is taken
  // from its style.
  void Attach(HWND button);
  HWND Handle() const { return m_Button; }
  // The icon beside the text (no separate hover icon), 32 x 32 pixels at
  // 96 DPI, larger at dpi.
  void SetIcon(int iconId, int dpi);
  void SetColor(int index, COLORREF colour, bool repaint = true);
  COLORREF GetColor(int index) const { return m_Colours[index]; }
  // Back to the system's button face and button text.
  void SetDefaultColors(bool repaint = true);
  bool IsHovered() const { return m_MouseOnButton; }
  bool IsDefault() const { return m_IsDefault; }
  ButtonState State(UINT itemState) const;
  // The dialog's WM_DRAWITEM for this button.
  void DrawItem(const DRAWITEMSTRUCT& item);
  // The mouse left, the focus went, the window was deactivated or the
  // button disabled: the hover look ends.
  void CancelHover();

 protected:
  // Paints the background; true when the edge is already part of it.
  virtual bool DrawBackground(HDC dc, const RECT& rect, const ButtonState& state);
  virtual void OnThemeChanged() {}
  bool m_Border = true;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnMouseMove(WPARAM keys);
  void DrawEdges(HDC dc, const RECT& rect, const ButtonState& state);
  void DrawContent(HDC dc, const RECT& rect, const ButtonState& state);

  HWND m_Button = nullptr;
  HICON m_Icon = nullptr;
  int m_IconSize = 0;
  int m_Dpi = LAYOUT_DPI;
  COLORREF m_Colours[BTNST_MAX_COLORS];
  bool m_MouseOnButton = false;
  bool m_IsDefault = false;
};

class CXPStyleButtonST : public CButtonST {
 public:
  CXPStyleButtonST();

 protected:
  bool DrawBackground(HDC dc, const RECT& rect, const ButtonState& state) override;
  void OnThemeChanged() override;
};
