// Starting a simulator on a free loopback port for the simulator's tests,
// with its delays accelerated.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/GatewaySim.h"
#include "sim/SimTestClient.h"
#include "support/TestSupport.h"

namespace simtest {

constexpr double TEST_SCALE = 100;   // 4000 ms restart -> 40 ms, 3000 ms install -> 30 ms
constexpr int QUIET_MS = 120;        // long enough to be sure nothing answers

inline SimOptions TestOptions() {
  SimOptions options;
  options.m_Port = testsupport::FreePort();
  options.m_TimeScale = TEST_SCALE;
  return options;
}

class SimTest : public ::testing::Test {
 protected:
  void Launch(const SimOptions& options) {
    m_Options = options;
    m_Sim = std::make_unique<GatewaySim>(options);
    ASSERT_TRUE(m_Sim->Start());
  }
  void Launch() { Launch(TestOptions()); }
  // Waits (real time) until the wireless module has finished restarting.
  bool WaitRestarted() {
    return testsupport::WaitUntil([&] { return !m_Sim->Restarting(); }, 2000);
  }
  int Port() const { return m_Options.m_Port; }
  bool Logged(const std::string& text) const {
    for (const std::string& line : m_Sim->Transcript())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  SimOptions m_Options;
  std::unique_ptr<GatewaySim> m_Sim;
};

}  // namespace simtest
