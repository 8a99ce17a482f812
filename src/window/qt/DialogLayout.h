// The shared layout arithmetic in the toolkit's types, with the frame
// metrics of the toolkit's style.
#pragma once

#include <QRect>
#include <QSize>

#include "app/DialogLayout.h"

// The smallest outer size of the window, from the style's metrics, computed once.
QSize QtMinimumTrackSize();
// The client size raised to at least the minimum track size.
QSize QtLayoutSize(QSize client);
inline QRect ToQRect(const LayoutRect& r) { return QRect(r.m_Left, r.m_Top, r.m_Width, r.m_Height); }
