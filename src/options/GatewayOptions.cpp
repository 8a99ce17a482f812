#include "options/GatewayOptions.h"

#include "net/Clock.h"
#include "platform/Interfaces.h"

void ApplyGatewayOptions(const GatewayOptions& options) { Clock::SetScale(options.m_TimeScale); }

bool ValidateGatewayOptions(const GatewayOptions& options, std::string* error) {
  for (const std::string& name : options.m_Interfaces) {
    if (InterfaceExists(name)) continue;
    *error = "--interface: this PC has no network interface called \"" + name + "\"";
    return false;
  }
  return true;
}

DiscoveryRequest DiscoveryFor(const GatewayOptions& options) {
  DiscoveryRequest request;
  request.m_Target = options.m_Broadcast;
  request.m_Port = options.m_Port;
  request.m_Interfaces = options.m_Interfaces;
  return request;
}
