#include "net/PeerAddress.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

in_addr_t ParsePeerAddress(const std::string& text) {
  // Longer texts and embedded NULs would be cut or misread by the C parser.
  if (text.empty() || text.size() > MAX_ADDRESS_TEXT || text.find('\0') != std::string::npos) {
    return INADDR_NONE;
  }
  return inet_addr(text.c_str());
}

bool MakePeer(const std::string& text, int port, sockaddr_in* peer) {
  memset(peer, 0, sizeof *peer);
  peer->sin_family = AF_INET;
  peer->sin_port = htons(static_cast<uint16_t>(port));
  const in_addr_t address = ParsePeerAddress(text);
  if (address == INADDR_NONE) {
    errno = EINVAL;
    return false;
  }
  peer->sin_addr.s_addr = address;
  return true;
}
