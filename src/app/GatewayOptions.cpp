#include "app/GatewayOptions.h"

#include "net/Clock.h"
#include "platform/Interfaces.h"
#include "packages/PackageDirectory.h"

void ApplyGatewayOptions(const GatewayOptions& options) { Clock::SetScale(options.m_TimeScale); }

bool ValidateGatewayOptions(const GatewayOptions& options, std::string* error) {
  if (options.m_Interface.empty() || InterfaceExists(options.m_Interface)) return true;
  *error = "--interface: this PC has no network interface called \"" + options.m_Interface + "\"";
  return false;
}

CheckOptions MakeCheckOptions(const GatewayOptions& options) {
  CheckOptions check;
  check.m_PackageDir = PackageDirectory(options.m_Dir);
  check.m_Broadcast = options.m_Broadcast;
  check.m_Interface = options.m_Interface;
  return check;
}
