// The gateway simulator in-process on a free loopback port. A test target
// that includes this links qelsim.
#pragma once

#include <gtest/gtest.h>

#include <memory>

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

}  // namespace testsupport
