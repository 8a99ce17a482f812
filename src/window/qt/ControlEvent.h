// The window's private control message: worker threads and the loop-test
// delays post it with one of the CTRL_ codes; the window handles it on its
// own thread.
#pragma once

#include <QEvent>

#include "app/WindowController.h"

// WM_APP_CONTROL as a toolkit event type: the first user type plus 500.
constexpr QEvent::Type CONTROL_EVENT = static_cast<QEvent::Type>(QEvent::User + (WM_APP_CONTROL - 0x8000));

class CControlEvent : public QEvent {
 public:
  explicit CControlEvent(int code) : QEvent(CONTROL_EVENT), m_Code(code) {}
  int m_Code;
};
