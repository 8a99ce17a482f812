#include "app/window/ButtonST.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>

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

QRect CButtonST::IconRect() const {
  if (m_Icon.isNull()) return QRect(BUTTON_ICON_LEFT, height() / 2, 0, 0);
  return QRect(QPoint(BUTTON_ICON_LEFT, (height() - m_IconSize.height()) / 2), m_IconSize);
}

QRect CButtonST::TextRect() const {
  const int left = IconRect().right() + 1;
  return QRect(left, 0, width() - left, height());
}

void CButtonST::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const ButtonState state = State();
  if (!DrawBackground(painter, state)) DrawEdge(painter, state);
  DrawIcon(painter, state);
  DrawText(painter, state);
}

bool CButtonST::DrawBackground(QPainter& painter, const ButtonState& state) {
  painter.fillRect(rect(), BackgroundColour(state));
  return false;
}

void CButtonST::DrawEdge(QPainter& painter, const ButtonState& state) {
  if (!m_Border) return;
  if (!state.m_Pressed && !state.m_Hover) return;  // flat until the mouse comes
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor topLeft = state.m_Pressed ? shadow : light;
  const QColor bottomRight = state.m_Pressed ? light : shadow;
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
  QRect place = IconRect();
  if (state.m_Pressed) place.translate(1, 1);
  const QIcon::Mode mode = state.m_Disabled ? QIcon::Disabled : QIcon::Normal;
  painter.drawPixmap(place, m_Icon.pixmap(m_IconSize, devicePixelRatio(), mode));
}

void CButtonST::DrawText(QPainter& painter, const ButtonState& state) {
  QRect place = TextRect();
  if (state.m_Pressed) place.translate(1, 1);
  const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
  painter.setFont(font());
  if (state.m_Disabled) {
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(place.translated(1, 1), flags, text());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(place, flags, text());
    return;
  }
  painter.setPen(TextColour(state));
  painter.drawText(place, flags, text());
}

QColor CButtonST::BackgroundColour(const ButtonState& state) const {
  if (state.m_Hover || state.m_Pressed) return m_Colours[BTNST_COLOR_BK_IN];
  if (state.m_Focused) return m_Colours[BTNST_COLOR_BK_FOCUS];
  return m_Colours[BTNST_COLOR_BK_OUT];
}

QColor CButtonST::TextColour(const ButtonState& state) const {
  if (state.m_Hover || state.m_Pressed) return m_Colours[BTNST_COLOR_FG_IN];
  if (state.m_Focused) return m_Colours[BTNST_COLOR_FG_FOCUS];
  return m_Colours[BTNST_COLOR_FG_OUT];
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
