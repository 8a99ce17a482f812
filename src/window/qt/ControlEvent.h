// The window's private control message: worker threads and the loop-test
// delays post it with one of the CTRL_ codes; the window handles it on its
// own thread.
#pragma once

#include <QEvent>

// The application message number plus 500, as a toolkit event type.
constexpr QEvent::Type WM_APP_CONTROL = static_cast<QEvent::Type>(QEvent::User + 500);

class CControlEvent : public QEvent {
 public:
  explicit CControlEvent(int code) : QEvent(WM_APP_CONTROL), m_Code(code) {}
  int m_Code;
};
