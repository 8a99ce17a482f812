#include "net/PeerAddress.h"

#include <cerrno>
#include <cstring>

#include "net/AddressText.h"

bool MakePeer(const std::string& text, int port, Ipv4Endpoint* peer) {
  *peer = Ipv4Endpoint();
  peer->m_Port = static_cast<uint16_t>(port);
  uint8_t ip[4];
  if (!ParseIp(text, ip) || (ip[0] & ip[1] & ip[2] & ip[3]) == 0xFF) {
    errno = EINVAL;
    return false;
  }
  memcpy(peer->m_Ip, ip, 4);
  return true;
}
