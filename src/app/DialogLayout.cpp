#include "app/DialogLayout.h"

#include <algorithm>

int ScaleForDpi(int pixels, int dpi) {
  return static_cast<int>((static_cast<long long>(pixels) * dpi + LAYOUT_DPI / 2) / LAYOUT_DPI);
}

LayoutSize MinimumTrackSize(int frameWidth, int frameHeight, int captionHeight, int dpi) {
  return {2 * frameWidth + ScaleForDpi(MIN_CLIENT_WIDTH, dpi),
          captionHeight + 2 * frameHeight + ScaleForDpi(MIN_CLIENT_HEIGHT, dpi)};
}

LayoutSize ClampLayoutSize(LayoutSize client, LayoutSize minimumTrack) {
  return {std::max(client.m_Width, minimumTrack.m_Width), std::max(client.m_Height, minimumTrack.m_Height)};
}

DialogLayout ComputeDialogLayout(LayoutSize layoutSize, int dpi) {
  const auto px = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
  const int w = layoutSize.m_Width;
  const int h = layoutSize.m_Height;
  DialogLayout layout;
  layout.m_Gap = (w - 2 * px(BUTTON_WIDTH)) / 3;
  layout.m_Check = {layout.m_Gap, px(BUTTON_TOP), px(BUTTON_WIDTH), px(BUTTON_HEIGHT)};
  layout.m_Upgrade = {2 * layout.m_Gap + px(BUTTON_WIDTH), px(BUTTON_TOP), px(BUTTON_WIDTH), px(BUTTON_HEIGHT)};
  layout.m_List = {px(LIST_LEFT), px(LIST_TOP), w - 2 * px(LIST_LEFT), h - px(LIST_TOP) - px(6)};
  return layout;
}
