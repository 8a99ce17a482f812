// The gateway simulator in-process on a free loopback port. A test target
// that includes this links qelsim.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "options/GatewayOptions.h"
#include "net/Clock.h"
#include "sim/GatewaySim.h"
#include "support/TestSupport.h"

namespace testsupport {

// Options for a simulator on a free port whose delays pass scale times
// faster (the process's clock is left alone: see ScopedClockScale).
inline SimOptions FastSimOptions(double scale) {
  SimOptions options;
  options.m_Port = FreePort();
  options.m_TimeScale = scale;
  return options;
}

// Starts a simulator, failing the test when it cannot.
inline std::unique_ptr<GatewaySim> StartSim(const SimOptions& options) {
  auto sim = std::make_unique<GatewaySim>(options);
  EXPECT_TRUE(sim->Start()) << "simulator on port " << options.m_Port;
  return sim;
}

// Options of a front end that finds the simulator on loopback and takes its
// packages from dir.
inline void AimAtSimulator(GatewayOptions* options, const SimOptions& sim, const std::string& dir) {
  options->m_Dir = dir;
  options->m_Broadcast = "127.255.255.255";
  options->m_Port = sim.m_Port;
}

}  // namespace testsupport
