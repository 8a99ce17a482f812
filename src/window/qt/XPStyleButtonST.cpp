#include "window/qt/XPStyleButtonST.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "window/qt/ThemeHelperST.h"

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
  switch (ThemedStateOf(state)) {
    case THEMED_DISABLED: option.state &= ~QStyle::State_Enabled; break;
    case THEMED_PRESSED: option.state |= QStyle::State_Sunken; break;
    case THEMED_HOT: option.state |= QStyle::State_MouseOver; break;
    case THEMED_DEFAULTED: option.features |= QStyleOptionButton::DefaultButton; break;
    case THEMED_NORMAL: break;
  }
  option.state |= state.m_Pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  theme->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
  return true;
}

void CXPStyleButtonST::changeEvent(QEvent* event) {
  CButtonST::changeEvent(event);
  if (event->type() == QEvent::StyleChange) SetBorder(!CThemeHelperST::IsAppThemed());
}
