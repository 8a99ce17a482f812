// The list's column header: the user cannot resize its columns (fixed
// sections give no divider drag and no sizing cursor; double-clicks are
// ignored) and clicks do not sort.
#pragma once

#include <QHeaderView>

class CMyHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CMyHeaderCtrl(QWidget* parent = nullptr);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
