// Finding the router as the Check does: three discovery tries, each with a
// new client (and so a new local port), 100 ms pause after a failed try
// before its client is closed.
#pragma once

#include <cstdint>
#include <string>

// broadcast: the discovery target as dotted IPv4 text (normally
// "255.255.255.255"); port: the router's UDP port (normally 1280).
// Fills mac, ip and *version (version may be null) only when a router
// answered; returns false otherwise, also when broadcast is not an address.
bool DiscoverRouter(const std::string& broadcast, int port, uint8_t mac[6], uint8_t ip[4],
                    std::string* version);
