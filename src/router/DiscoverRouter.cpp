#include "router/DiscoverRouter.h"

#include "net/Clock.h"
#include "net/ProtocolTimes.h"
#include "router/RouterUdpClient.h"

bool DiscoverRouter(const std::string& broadcast, int port, uint8_t mac[6], uint8_t ip[4],
                    std::string* version) {
  uint8_t target[4];
  if (!ParseIp(broadcast, target)) return false;
  for (int attempt = 0; attempt < DISCOVERY_TRIES; ++attempt) {
    // A new client per try, so every try sends from a new local port.
    RouterUdpClient client(target, port);
    if (client.Discover(mac, ip, version)) return true;
    Clock::Sleep(DISCOVERY_RETRY_PAUSE_MS);  // before the client closes its port
  }
  return false;
}
