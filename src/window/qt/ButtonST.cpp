#include "window/qt/ButtonST.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>

#include "window/qt/DialogLayout.h"

CButtonST::CButtonST(QWidget* parent) : QPushButton(parent) {
  setFlat(true);
  setAttribute(Qt::WA_Hover);
  SetDefaultColors(false);
}

void CButtonST::SetIcon(const QIcon& icon) {
  m_Icon = icon;
  const QList<QSize> sizes = icon.availableSizes();
  m_IconSize = sizes.isEmpty() ? QSize(32, 32) : sizes.first();
  update();
}

void CButtonST::SetColor(int index, const QColor& colour, bool repaint) {
  if (index < 0 || index >= BTNST_MAX_COLORS) return;
  m_Colours[index] = colour;
  if (repaint) update();
}

void CButtonST::SetDefaultColors(bool repaint) {
  const QPalette palette = QApplication::palette(this);
  for (int index : {BTNST_COLOR_BK_IN, BTNST_COLOR_BK_OUT, BTNST_COLOR_BK_FOCUS})
    m_Colours[index] = palette.color(QPalette::Button);
  for (int index : {BTNST_COLOR_FG_IN, BTNST_COLOR_FG_OUT, BTNST_COLOR_FG_FOCUS})
    m_Colours[index] = palette.color(QPalette::ButtonText);
  if (repaint) update();
}

ButtonState CButtonST::State() const {
  return ButtonState{isDown(), hasFocus(), !isEnabled(), m_MouseOnButton, isDefault()};
}

ButtonContent CButtonST::Content(bool pressed) const {
  const QSize icon = m_Icon.isNull() ? QSize(0, 0) : m_IconSize;
  return ButtonContentOf(width(), height(), icon.width(), icon.height(), pressed);
}

QRect CButtonST::IconRect() const { return ToQRect(Content(false).m_Icon); }

QRect CButtonST::TextRect() const { return ToQRect(Content(false).m_Text); }

void CButtonST::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const ButtonState state = State();
  if (!DrawBackground(painter, state)) DrawEdge(painter, state);
  DrawIcon(painter, state);
  DrawText(painter, state);
}

bool CButtonST::DrawBackground(QPainter& painter, const ButtonState& state) {
  painter.fillRect(rect(), m_Colours[BackgroundColourIndex(state)]);
  return false;
}

void CButtonST::DrawEdge(QPainter& painter, const ButtonState& state) {
  const ButtonEdge edge = EdgeOf(state, m_Border);
  if (edge == BUTTON_EDGE_NONE) return;
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor topLeft = edge == BUTTON_EDGE_SUNKEN ? shadow : light;
  const QColor bottomRight = edge == BUTTON_EDGE_SUNKEN ? light : shadow;
  const QRect r = rect();
  painter.setPen(topLeft);
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(bottomRight);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

void CButtonST::DrawIcon(QPainter& painter, const ButtonState& state) {
  if (m_Icon.isNull()) return;
  const QRect place = ToQRect(Content(state.m_Pressed).m_Icon);
  const QIcon::Mode mode = state.m_Disabled ? QIcon::Disabled : QIcon::Normal;
  painter.drawPixmap(place, m_Icon.pixmap(m_IconSize, devicePixelRatio(), mode));
}

void CButtonST::DrawText(QPainter& painter, const ButtonState& state) {
  const QRect place = ToQRect(Content(state.m_Pressed).m_Text);
  const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
  painter.setFont(font());
  if (state.m_Disabled) {
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(place.translated(1, 1), flags, text());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(place, flags, text());
    return;
  }
  painter.setPen(m_Colours[TextColourIndex(state)]);
  painter.drawText(place, flags, text());
}

void CButtonST::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  const bool leftHeld = QApplication::mouseButtons() & Qt::LeftButton;
  if (isEnabled() && !leftHeld && window()->isActiveWindow()) {
    m_MouseOnButton = true;
    update();
  }
}

void CButtonST::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  CancelHover();
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  CancelHover();
}

void CButtonST::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::ActivationChange:
      if (!window()->isActiveWindow()) CancelHover();
      break;
    case QEvent::EnabledChange:
      if (!isEnabled()) CancelHover();
      break;
    case QEvent::PaletteChange:
      // New system colours replace all six, the hover red included.
      SetDefaultColors();
      break;
    default:
      break;
  }
}

void CButtonST::CancelHover() {
  if (!m_MouseOnButton) return;
  m_MouseOnButton = false;
  update();
}
