// A datagram on the discovery port as the client reads it: decoded in its
// 512-byte buffer, then taken for the router's reply or ignored.
#include <cstdlib>
#include <cstring>
#include <string>

#include "framing/Hdlc.h"
#include "router/RouterUdpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t datagram[512];
  const uint32_t received = static_cast<uint32_t>(size < sizeof datagram ? size : sizeof datagram);
  memcpy(datagram, data, received);
  const uint32_t length = HdlcDecode(datagram, received, datagram);
  uint8_t mac[6], ip[4];
  std::string text;
  if (ParseDiscoveryReply(datagram, length, mac, ip, &text)) {
    if (datagram[0] != ROUTER_CMD_DISCOVER || memcmp(mac, ZERO_MAC, 6) == 0 || text.size() > 3 * (length - 11)) abort();
  }
  // And the bytes as a reply of exactly their length, whatever it is.
  ParseDiscoveryReply(data, static_cast<uint32_t>(size), mac, ip, &text);
  return 0;
}
