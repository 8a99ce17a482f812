// A CButtonST whose background is the active visual style's push button
// (disabled, pressed, hot, defaulted or normal) when a style is active.
#pragma once

#include "window/qt/ButtonST.h"

class CXPStyleButtonST : public CButtonST {
  Q_OBJECT

 public:
  explicit CXPStyleButtonST(QWidget* parent = nullptr);

 protected:
  bool DrawBackground(QPainter& painter, const ButtonState& state) override;
  void changeEvent(QEvent* event) override;
};
