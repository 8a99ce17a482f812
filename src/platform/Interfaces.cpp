#include "platform/Interfaces.h"

void NetInterface::Broadcast(uint8_t out[4]) const {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(m_Ip[i] | ~m_Netmask[i]);
}

bool NetInterface::Contains(const uint8_t address[4]) const {
  for (int i = 0; i < 4; ++i) {
    if ((address[i] & m_Netmask[i]) != (m_Ip[i] & m_Netmask[i])) return false;
  }
  return true;
}
