// What both platforms' sockets share.
#include "platform/Socket.h"

#include <utility>

CSocket& CSocket::operator=(CSocket&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(m_Native, other.m_Native);
    m_Error = other.m_Error;
  }
  return *this;
}
