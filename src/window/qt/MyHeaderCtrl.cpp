#include "window/qt/MyHeaderCtrl.h"

#include <QMouseEvent>

CMyHeaderCtrl::CMyHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionResizeMode(QHeaderView::Fixed);
  setSectionsClickable(false);
  setSectionsMovable(false);
  setHighlightSections(false);
  setStretchLastSection(false);
}

void CMyHeaderCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double-click on a divider would fit the column to its contents.
  event->accept();
}
