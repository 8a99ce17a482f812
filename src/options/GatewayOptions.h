// What every front end is told about the gateway on its command line.
// Without options they behave as the tool always has: packages from the
// executable's directory (the user's package folder when installed),
// discovery by limited broadcast on the router's port 1280, the clock at
// real speed.
#pragma once

#include <string>
#include <vector>

#include "net/AddressText.h"
#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"

struct GatewayOptions {
  std::string m_Dir;                                 // empty: PackageDirectory decides
  std::string m_Broadcast = LIMITED_BROADCAST_TEXT;  // discovery target
  int m_Port = ROUTER_UDP_PORT;                      // router port, UDP and TCP
  double m_TimeScale = 1.0;                          // clock speed factor
  std::vector<std::string> m_Interfaces;             // the interfaces to use (none: every one)
};

// Sets the program clock's speed.
void ApplyGatewayOptions(const GatewayOptions& options);
// Whether the options can be used: every interface named must exist. error
// receives a sentence for the user.
bool ValidateGatewayOptions(const GatewayOptions& options, std::string* error);
// Discovery as the options ask for it: their target, port and interfaces.
DiscoveryRequest DiscoveryFor(const GatewayOptions& options);
