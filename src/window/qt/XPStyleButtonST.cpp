#include "app/window/XPStyleButtonST.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "app/window/ThemeHelperST.h"

CXPStyleButtonST::CXPStyleButtonST(QWidget* parent) : CButtonST(parent) {
  SetBorder(!CThemeHelperST::IsAppThemed());
}

bool CXPStyleButtonST::DrawBackground(QPainter& painter, const ButtonState& state) {
  QStyle* theme = CThemeHelperST::OpenThemeData();
  if (!theme) return CButtonST::DrawBackground(painter, state);
  QStyleOptionButton option;
  option.initFrom(this);
  option.rect = rect();
  option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_HasFocus);
  if (state.m_Disabled) {
    option.state &= ~QStyle::State_Enabled;
  } else if (state.m_Pressed) {
    option.state |= QStyle::State_Sunken;
  } else if (state.m_Hover) {
    option.state |= QStyle::State_MouseOver;
  } else if (state.m_Default) {
    option.features |= QStyleOptionButton::DefaultButton;
  }
  option.state |= state.m_Pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  theme->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
  return true;
}

void CXPStyleButtonST::changeEvent(QEvent* event) {
  CButtonST::changeEvent(event);
  if (event->type() == QEvent::StyleChange) SetBorder(!CThemeHelperST::IsAppThemed());
}
