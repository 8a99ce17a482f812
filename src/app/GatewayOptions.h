// What both front ends are told about the gateway on their command line.
// Without options they behave as the tool always has: packages from the
// executable's directory (the user's package folder when installed),
// discovery by limited broadcast on the router's port 1280, the clock at
// real speed.
#pragma once

#include <string>

#include "app/CheckProcedure.h"
#include "net/AddressText.h"
#include "router/RouterUdpClient.h"

struct GatewayOptions {
  std::string m_Dir;                                 // empty: PackageDirectory decides
  std::string m_Broadcast = LIMITED_BROADCAST_TEXT;  // discovery target
  int m_Port = ROUTER_UDP_PORT;                      // router port, UDP and TCP
  double m_TimeScale = 1.0;                          // clock speed factor
  std::string m_Interface;                           // the one interface to use ("" : every one)
};

// Sets the program clock's speed.
void ApplyGatewayOptions(const GatewayOptions& options);
// Whether the options can be used: an interface named must exist. error
// receives a sentence for the user.
bool ValidateGatewayOptions(const GatewayOptions& options, std::string* error);
// The Check's package directory (PackageDirectory of m_Dir) and discovery
// target.
CheckOptions MakeCheckOptions(const GatewayOptions& options);
