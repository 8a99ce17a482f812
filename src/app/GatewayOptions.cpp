#include "app/GatewayOptions.h"

#include "net/Clock.h"
#include "packages/PackageDirectory.h"

void ApplyGatewayOptions(const GatewayOptions& options) { Clock::SetScale(options.m_TimeScale); }

CheckOptions MakeCheckOptions(const GatewayOptions& options) {
  CheckOptions check;
  check.m_PackageDir = PackageDirectory(options.m_Dir);
  check.m_Broadcast = options.m_Broadcast;
  return check;
}
