#include "window/qt/DialogLayout.h"

#include <QApplication>
#include <QStyle>

QSize QtMinimumTrackSize() {
  static const QSize size = [] {
    const QStyle* style = QApplication::style();
    const int frame = style ? style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth) : 4;
    const int caption = style ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
    const LayoutSize track = MinimumTrackSize(frame, frame, caption);
    return QSize(track.m_Width, track.m_Height);
  }();
  return size;
}

QSize QtLayoutSize(QSize client) {
  const QSize track = QtMinimumTrackSize();
  const LayoutSize size = ClampLayoutSize({client.width(), client.height()}, {track.width(), track.height()});
  return QSize(size.m_Width, size.m_Height);
}
