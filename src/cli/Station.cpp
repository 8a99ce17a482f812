#include "cli/Station.h"

#include <algorithm>
#include <cstring>

#include "net/Clock.h"
#include "net/ProtocolTimes.h"

namespace {

// Between two discovery rounds of a station.
constexpr uint32_t STATION_ROUND_PAUSE_MS = 1000;

}  // namespace

Station::Station(const StationOptions& options, IGatewayEvents& events) : m_Options(options), m_Events(events) {}

Station::~Station() { Reap(true); }

void Station::Run() {
  while (!m_Stop) {
    Round();
    if (m_Options.m_Once) break;
    Pause(STATION_ROUND_PAUSE_MS);
    Reap(false);
  }
  Reap(true);
}

void Station::Round() {
  DiscoveryRequest request = m_Options.m_Discovery;
  request.m_AllAnswers = true;
  request.m_Stop = &m_Stop;
  {
    std::lock_guard<std::mutex> hold(m_Lock);
    for (const auto& [name, watched] : m_Watched) {
      if (watched.m_Pass) request.m_Skip.push_back(name);
    }
  }
  DiscoverRouters(request, &m_LastRound);
  std::vector<std::string> started;
  for (const RouterInfo& router : m_LastRound.m_Routers) {
    if (m_Stop) break;
    // One pass per interface: a second gateway behind the same cable waits.
    bool taken = false;
    for (const std::string& name : started) taken = taken || name == router.m_Interface;
    if (taken) continue;
    Consider(router);
    started.push_back(router.m_Interface);
  }
}

void Station::Consider(const RouterInfo& router) {
  // Only a gateway whose interface is known can be reached through it.
  if (router.m_Interface.empty() || MacBusy(router.m_Mac)) return;
  std::lock_guard<std::mutex> hold(m_Lock);
  Watched& watched = m_Watched[router.m_Interface];
  if (watched.m_Pass || (watched.m_Seen && memcmp(watched.m_LastMac, router.m_Mac, 6) == 0)) return;
  memcpy(watched.m_LastMac, router.m_Mac, 6);
  watched.m_Seen = true;
  watched.m_Pass = std::make_unique<GatewayPass>(router, m_Options.m_Pass, m_Events);
  watched.m_Pass->Start();
}

bool Station::MacBusy(const uint8_t mac[6]) const {
  std::lock_guard<std::mutex> hold(m_Lock);
  for (const auto& [name, watched] : m_Watched) {
    if (watched.m_Pass && memcmp(watched.m_Pass->Router().m_Mac, mac, 6) == 0) return true;
  }
  return false;
}

// Only the watching thread changes m_Watched, and it does so under the lock,
// so it may read it without; it joins without the lock, so that Running()
// is answered meanwhile.
void Station::Reap(bool wait) {
  for (auto& [name, watched] : m_Watched) {
    if (!watched.m_Pass) continue;
    if (wait) watched.m_Pass->Join();
    if (!watched.m_Pass->Done()) continue;
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Outcomes.push_back(watched.m_Pass->Outcome());
    watched.m_Pass.reset();
  }
}

int Station::Running() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  int running = 0;
  for (const auto& [name, watched] : m_Watched) running += watched.m_Pass && !watched.m_Pass->Done() ? 1 : 0;
  return running;
}

std::vector<GatewayOutcome> Station::Outcomes() const {
  std::vector<GatewayOutcome> outcomes;
  {
    std::lock_guard<std::mutex> hold(m_Lock);
    outcomes = m_Outcomes;
  }
  std::stable_sort(outcomes.begin(), outcomes.end(), [](const GatewayOutcome& a, const GatewayOutcome& b) {
    return a.m_Router.m_Interface < b.m_Router.m_Interface;
  });
  return outcomes;
}

void Station::Pause(uint32_t ms) const {
  // In slices, so that a Stop is seen soon.
  for (uint32_t slept = 0; slept < ms && !m_Stop; slept += 100) Clock::Sleep(100);
}
