// Where the main window puts its two buttons and its list: pure arithmetic
// on the layout size, the same for every toolkit. The pixel figures are for
// a screen of 96 dots per inch; a window on a denser screen passes its DPI
// and every figure grows in proportion, so the window looks the same size.
#pragma once

constexpr int LAYOUT_DPI = 96;
// The window's first client size: the old dialog template's 400 x 150 units.
constexpr int INITIAL_CLIENT_WIDTH = 800;
constexpr int INITIAL_CLIENT_HEIGHT = 282;
constexpr int MIN_CLIENT_WIDTH = 430;  // the window's minimum less its frame
constexpr int MIN_CLIENT_HEIGHT = 62;  // less caption and frame
constexpr int BUTTON_WIDTH = 200;
constexpr int BUTTON_HEIGHT = 50;
constexpr int BUTTON_TOP = 6;
constexpr int LIST_LEFT = 10;
constexpr int LIST_TOP = 62;

struct LayoutRect {
  int m_Left = 0;
  int m_Top = 0;
  int m_Width = 0;
  int m_Height = 0;
  bool operator==(const LayoutRect&) const = default;
};

struct LayoutSize {
  int m_Width = 0;
  int m_Height = 0;
  bool operator==(const LayoutSize&) const = default;
};

// pixels at 96 DPI, at dpi (rounded to nearest).
int ScaleForDpi(int pixels, int dpi);

// The smallest outer size of the window, from the frame metrics the system
// gives: 2 x frame + 430 wide, caption + 2 x frame + 62 high.
LayoutSize MinimumTrackSize(int frameWidth, int frameHeight, int captionHeight, int dpi = LAYOUT_DPI);

// The client size raised to at least the minimum track size in each
// direction (a minimised window reports 0 x 0).
LayoutSize ClampLayoutSize(LayoutSize client, LayoutSize minimumTrack);

struct DialogLayout {
  int m_Gap;  // (width - 400) / 3, truncated
  LayoutRect m_Check;
  LayoutRect m_Upgrade;
  LayoutRect m_List;
};

DialogLayout ComputeDialogLayout(LayoutSize layoutSize, int dpi = LAYOUT_DPI);
