// One gateway at a station: its Check and, where the Check allows it, its
// upgrade pass, on a thread of its own with everything of its own (engine,
// connection, ports, module table, rows, notices, and a log file named by
// its MAC), so that passes on other interfaces never meet it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "cli/GatewayEvent.h"
#include "router/DiscoverRouter.h"

struct GatewayPassOptions {
  std::string m_PackageDir;  // scanned for *.bin by the gateway's Check
  int m_Port = ROUTER_UDP_PORT;
};

class GatewayPass {
 public:
  // The log file of a gateway: QelUpgradeLog-02-51-E1-00-00-01.txt.
  static std::string LogFileName(const uint8_t mac[6]);

  GatewayPass(const RouterInfo& router, const GatewayPassOptions& options, IGatewayEvents& events);
  // Waits for the pass.
  ~GatewayPass();
  GatewayPass(const GatewayPass&) = delete;
  GatewayPass& operator=(const GatewayPass&) = delete;

  // Runs the Check and the pass on the pass's thread.
  void Start();
  bool Done() const { return m_Done.load(); }
  // Waits for the end; the outcome is known then.
  void Join();
  const RouterInfo& Router() const { return m_Router; }
  const GatewayOutcome& Outcome() const { return m_Outcome; }

 private:
  void Run();

  const RouterInfo m_Router;
  const GatewayPassOptions m_Options;
  IGatewayEvents& m_Events;
  GatewayOutcome m_Outcome;
  std::atomic<bool> m_Done{false};
  std::thread m_Thread;
};
