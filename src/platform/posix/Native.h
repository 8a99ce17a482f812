// What the POSIX implementations hold behind the platform's classes.
#pragma once

#include "platform/CancelEvent.h"
#include "platform/Socket.h"

struct CCancelEvent::Native {
  int m_Fd = -1;  // an eventfd
};

struct CSocket::Native {
  int m_Fd = -1;
};
