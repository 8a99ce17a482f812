// How an owner-drawn command button looks in each state, whatever draws it:
// a flat button with an icon 3 pixels from its left edge, centred
// vertically, and the text centred in the rest. Each of three states (mouse
// over or pressed, normal, focused) has a background and a text colour;
// while pressed the content moves one pixel right and down; without a visual
// style the button shows a raised edge while hovered and a sunken one while
// pressed, and none otherwise.
#pragma once

#include "app/DialogLayout.h"

enum ButtonColour {
  BTNST_COLOR_BK_IN = 0,  // mouse over or pressed
  BTNST_COLOR_FG_IN,
  BTNST_COLOR_BK_OUT,  // normal
  BTNST_COLOR_FG_OUT,
  BTNST_COLOR_BK_FOCUS,  // focused
  BTNST_COLOR_FG_FOCUS,
  BTNST_MAX_COLORS,
};

constexpr int BUTTON_ICON_LEFT = 3;
constexpr int BUTTON_PRESSED_OFFSET = 1;

struct ButtonState {
  bool m_Pressed;
  bool m_Focused;
  bool m_Disabled;
  bool m_Hover;
  bool m_Default;
};

// The indexes into the six colours of the state's background and text.
int BackgroundColourIndex(const ButtonState& state);
int TextColourIndex(const ButtonState& state);

enum ButtonEdge { BUTTON_EDGE_NONE, BUTTON_EDGE_RAISED, BUTTON_EDGE_SUNKEN };
// Only without a visual style, and never with the border flag off.
ButtonEdge EdgeOf(const ButtonState& state, bool border);

// The visual style's push-button state: 1 normal, 2 hot, 3 pressed,
// 4 disabled, 5 defaulted.
enum ThemedButtonState { THEMED_NORMAL = 1, THEMED_HOT, THEMED_PRESSED, THEMED_DISABLED, THEMED_DEFAULTED };
ThemedButtonState ThemedStateOf(const ButtonState& state);

struct ButtonContent {
  LayoutRect m_Icon;
  LayoutRect m_Text;
};
// Where icon and text go in a button of width x height (pixels at 96 DPI
// scaled by dpi), shifted while pressed. No icon: iconWidth and iconHeight 0.
ButtonContent ButtonContentOf(int width, int height, int iconWidth, int iconHeight, bool pressed,
                              int dpi = LAYOUT_DPI);
