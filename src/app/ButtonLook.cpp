#include "app/ButtonLook.h"

int BackgroundColourIndex(const ButtonState& state) {
  if (state.m_Hover || state.m_Pressed) return BTNST_COLOR_BK_IN;
  if (state.m_Focused) return BTNST_COLOR_BK_FOCUS;
  return BTNST_COLOR_BK_OUT;
}

int TextColourIndex(const ButtonState& state) { return BackgroundColourIndex(state) + 1; }

ButtonEdge EdgeOf(const ButtonState& state, bool border) {
  if (!border) return BUTTON_EDGE_NONE;
  if (state.m_Pressed) return BUTTON_EDGE_SUNKEN;
  return state.m_Hover ? BUTTON_EDGE_RAISED : BUTTON_EDGE_NONE;  // flat until the mouse comes
}

ThemedButtonState ThemedStateOf(const ButtonState& state) {
  if (state.m_Disabled) return THEMED_DISABLED;
  if (state.m_Pressed) return THEMED_PRESSED;
  if (state.m_Hover) return THEMED_HOT;
  if (state.m_Default) return THEMED_DEFAULTED;
  return THEMED_NORMAL;
}

ButtonContent ButtonContentOf(int width, int height, int iconWidth, int iconHeight, bool pressed, int dpi) {
  const int shift = pressed ? BUTTON_PRESSED_OFFSET : 0;
  const int iconLeft = ScaleForDpi(BUTTON_ICON_LEFT, dpi);
  ButtonContent content;
  content.m_Icon = {iconLeft + shift, (height - iconHeight) / 2 + shift, iconWidth, iconHeight};
  const int textLeft = iconLeft + iconWidth;
  content.m_Text = {textLeft + shift, shift, width - textLeft, height};
  return content;
}
