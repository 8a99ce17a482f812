#include "net/PeerAddress.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

#include "net/AddressText.h"

bool MakePeer(const std::string& text, int port, sockaddr_in* peer) {
  memset(peer, 0, sizeof *peer);
  peer->sin_family = AF_INET;
  peer->sin_port = htons(static_cast<uint16_t>(port));
  uint8_t ip[4];
  if (!ParseIp(text, ip) || (ip[0] & ip[1] & ip[2] & ip[3]) == 0xFF) {
    errno = EINVAL;
    return false;
  }
  memcpy(&peer->sin_addr.s_addr, ip, 4);
  return true;
}
