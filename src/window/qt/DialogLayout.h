// Where the main window puts its two buttons and its list. Pure arithmetic on
// the layout size, so that it can be checked without a window.
#pragma once

#include <QRect>
#include <QSize>

constexpr int MIN_CLIENT_WIDTH = 430;   // the window's minimum less its frame
constexpr int MIN_CLIENT_HEIGHT = 62;   // less caption and frame
constexpr int BUTTON_WIDTH = 200;
constexpr int BUTTON_HEIGHT = 50;
constexpr int BUTTON_TOP = 6;
constexpr int LIST_LEFT = 10;
constexpr int LIST_TOP = 62;

// The smallest outer size of the window: 2 x frame + 430 wide, caption +
// 2 x frame + 62 high, from the style's metrics, computed once.
QSize MinimumTrackSize();

// The client size raised to at least the minimum track size in each
// direction (a minimised window reports 0 x 0).
QSize LayoutSize(QSize client, QSize minimumTrack);

struct DialogLayout {
  int m_Gap;  // (width - 400) / 3, truncated
  QRect m_Check;
  QRect m_Upgrade;
  QRect m_List;
};

DialogLayout ComputeDialogLayout(QSize layoutSize);
