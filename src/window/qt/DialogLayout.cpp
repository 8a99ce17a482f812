#include "app/window/DialogLayout.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>

QSize MinimumTrackSize() {
  static const QSize size = [] {
    const QStyle* style = QApplication::style();
    const int frame = style ? style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth) : 4;
    const int caption = style ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
    return QSize(2 * frame + MIN_CLIENT_WIDTH, caption + 2 * frame + MIN_CLIENT_HEIGHT);
  }();
  return size;
}

QSize LayoutSize(QSize client, QSize minimumTrack) {
  return QSize(std::max(client.width(), minimumTrack.width()),
               std::max(client.height(), minimumTrack.height()));
}

DialogLayout ComputeDialogLayout(QSize layoutSize) {
  const int w = layoutSize.width();
  const int h = layoutSize.height();
  DialogLayout layout;
  layout.m_Gap = (w - 400) / 3;
  layout.m_Check = QRect(layout.m_Gap, BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT);
  layout.m_Upgrade = QRect(2 * layout.m_Gap + BUTTON_WIDTH, BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT);
  layout.m_List = QRect(LIST_LEFT, LIST_TOP, w - 20, h - 68);
  return layout;
}
