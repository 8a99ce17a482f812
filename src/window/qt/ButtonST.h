// A flat push button that draws itself as app/ButtonLook.h says; a disabled
// button shows a grey icon and embossed text and never lights up.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPushButton>

#include "app/ButtonLook.h"

class QPainter;

class CButtonST : public QPushButton {
  Q_OBJECT

 public:
  explicit CButtonST(QWidget* parent = nullptr);

  // The icon beside the text, drawn at its own size (no separate hover icon).
  void SetIcon(const QIcon& icon);
  void SetColor(int index, const QColor& colour, bool repaint = true);
  QColor GetColor(int index) const { return m_Colours[index]; }
  // Back to the system's button face and button text.
  void SetDefaultColors(bool repaint = true);
  // With the border flag off no edge is ever drawn.
  void SetBorder(bool border) { m_Border = border; update(); }

  bool IsHovered() const { return m_MouseOnButton; }
  ButtonState State() const;
  QRect IconRect() const;
  QRect TextRect() const;
  ButtonContent Content(bool pressed) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Paints the background; returns true when the edge is already part of it.
  virtual bool DrawBackground(QPainter& painter, const ButtonState& state);
  void DrawEdge(QPainter& painter, const ButtonState& state);
  void DrawIcon(QPainter& painter, const ButtonState& state);
  void DrawText(QPainter& painter, const ButtonState& state);

 private:
  void CancelHover();

  QColor m_Colours[BTNST_MAX_COLORS];
  QIcon m_Icon;
  QSize m_IconSize;
  bool m_MouseOnButton = false;
  bool m_Border = true;
};
