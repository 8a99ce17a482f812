// qel station: watches interfaces in discovery rounds and gives every
// gateway that answers on an interface with no pass running its own Check
// and pass; the passes of several interfaces run at the same time.
//
// A gateway that was upgraded, failed or was refused is not started again
// while it stays on its interface: only another gateway (by MAC) on that
// interface starts a new pass there (the operator swaps gateways and the
// next one starts by itself), and one MAC never has two passes at once.
// Where several gateways answer on one interface, the first one is taken.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/GatewayPass.h"

struct StationOptions {
  DiscoveryRequest m_Discovery;  // its interfaces are the ones to watch (none: every one discovery would use)
  GatewayPassOptions m_Pass;
  bool m_Once = false;           // one round, its passes, and the end
};

class Station {
 public:
  Station(const StationOptions& options, IGatewayEvents& events);
  ~Station();

  // Watches until Stop (with m_Once: until the passes of the first round
  // have ended), then waits for the passes in flight.
  void Run();
  // From any thread: no new round and no new pass; passes in flight go on.
  void Stop() { m_Stop = true; }
  // Passes running now.
  int Running() const;

  // The passes that ended, in the order of their cables (as the table shows
  // them) and on one cable in the order its gateways came: two passes that
  // end in the same second are listed alike on every run.
  std::vector<GatewayOutcome> Outcomes() const;
  // What the last round heard (for a station that found nobody).
  const DiscoveryResult& LastRound() const { return m_LastRound; }

 private:
  struct Watched {
    std::unique_ptr<GatewayPass> m_Pass;
    uint8_t m_LastMac[6] = {};
    bool m_Seen = false;  // m_LastMac holds a gateway
  };

  void Round();
  void Consider(const RouterInfo& router);
  bool MacBusy(const uint8_t mac[6]) const;
  // Joins the passes that ended and keeps their outcomes.
  void Reap(bool wait);
  // Program time, or until Stop.
  void Pause(uint32_t ms) const;

  const StationOptions m_Options;
  IGatewayEvents& m_Events;
  std::atomic<bool> m_Stop{false};
  std::map<std::string, Watched> m_Watched;  // by interface
  mutable std::mutex m_Lock;                  // guards m_Outcomes and changes of m_Watched
  std::vector<GatewayOutcome> m_Outcomes;
  DiscoveryResult m_LastRound;
};
