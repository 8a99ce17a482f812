#include "router/DiscoverRouter.h"

#include <algorithm>
#include <cstring>

#include "net/Clock.h"
#include "net/ProtocolTimes.h"
#include "net/SocketWait.h"

namespace {

bool IsLoopbackAddress(const uint8_t ip[4]) { return ip[0] == 127; }

bool IsLimitedBroadcast(const uint8_t ip[4]) { return (ip[0] & ip[1] & ip[2] & ip[3]) == 0xFF; }

bool Known(const std::vector<RouterInfo>& routers, const RouterInfo& info) {
  return std::any_of(routers.begin(), routers.end(), [&](const RouterInfo& r) {
    return r.m_Interface == info.m_Interface && memcmp(r.m_Mac, info.m_Mac, 6) == 0;
  });
}

// One try: the request out of every way, then the replies. Each reply is
// waited for afresh, as on one interface; a datagram that cannot be read
// ends the try, one that is no reply is passed over.
bool AskOnce(RouterUdpClient& client, const std::vector<NetInterface>& ways, bool allAnswers,
             std::vector<RouterInfo>* routers) {
  size_t sent = 0;
  for (const NetInterface& way : ways) sent += client.SendDiscovery(way.m_Index) ? 1 : 0;
  if (sent == 0) return false;
  std::vector<int> answered;
  uint64_t settleStart = 0;
  for (;;) {
    uint32_t timeout = DISCOVERY_REPLY_TIMEOUT_MS;
    if (!allAnswers && !routers->empty()) {
      if (answered.size() >= sent) break;
      timeout = std::min(timeout, RemainingMs(settleStart, DISCOVERY_SETTLE_MS));
      if (timeout == 0) break;
    }
    RouterInfo info;
    int arrival = 0;
    bool ignored = false;
    if (!client.ReceiveDiscovery(info.m_Mac, info.m_Ip, &info.m_Version, &arrival, &ignored, timeout)) {
      if (ignored) continue;
      break;
    }
    info.m_Interface = InterfaceName(arrival);
    if (Known(*routers, info)) continue;
    if (routers->empty()) settleStart = Clock::TickCount();
    routers->push_back(info);
    if (std::find(answered.begin(), answered.end(), arrival) == answered.end()) answered.push_back(arrival);
  }
  return !routers->empty();
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<NetInterface> DiscoveryInterfaces(const uint8_t target[4], const std::vector<std::string>& interfaces,
                                              const std::vector<NetInterface>& up) {
  std::vector<NetInterface> ways;
  for (const NetInterface& candidate : up) {
    bool fits;
    if (!interfaces.empty()) {
      fits = Listed(interfaces, candidate.m_Name);
    } else if (IsLoopbackAddress(target)) {
      fits = candidate.m_Loopback;
    } else if (IsLimitedBroadcast(target)) {
      fits = !candidate.m_Loopback && candidate.m_CanBroadcast;
    } else {
      fits = !candidate.m_Loopback && candidate.Contains(target);
    }
    if (fits) ways.push_back(candidate);
  }
  // An address beyond every subnet is left to the routing table.
  if (ways.empty() && interfaces.empty() && !IsLoopbackAddress(target) && !IsLimitedBroadcast(target)) {
    ways.push_back(NetInterface());
  }
  return ways;
}

bool DiscoverRouters(const DiscoveryRequest& request, DiscoveryResult* result) {
  *result = DiscoveryResult();
  uint8_t target[4];
  if (!ParseIp(request.m_Target, target)) return false;
  for (int attempt = 0; attempt < DISCOVERY_TRIES; ++attempt) {
    if (request.m_Stop && request.m_Stop->load()) break;
    ++result->m_Tries;
    std::vector<NetInterface> ways = DiscoveryInterfaces(target, request.m_Interfaces, ListInterfaces());
    std::erase_if(ways, [&](const NetInterface& way) { return Listed(request.m_Skip, way.m_Name); });
    result->m_Asked.clear();
    for (const NetInterface& way : ways) result->m_Asked.push_back(way.m_Name);
    // A new client per try, so every try sends from a new local port.
    RouterUdpClient client(target, request.m_Port, request.m_Link);
    if (AskOnce(client, ways, request.m_AllAnswers, &result->m_Routers)) return true;
    Clock::Sleep(DISCOVERY_RETRY_PAUSE_MS);  // before the client closes its port
  }
  return false;
}

std::string NoAnswerText(const std::vector<std::string>& interfaces, const DiscoveryResult& result) {
  constexpr const char* HINT = " up with an IPv4 address: is the cable plugged in, and has this PC an "
                               "address on the gateway's network?";
  if (result.m_Asked.empty()) {
    std::string names;
    for (const std::string& name : interfaces) names += (names.empty() ? "" : ", ") + name;
    if (interfaces.empty()) return std::string("No network interface is") + HINT;
    return (interfaces.size() == 1 ? "The interface " : "None of the interfaces ") + names + (interfaces.size() == 1 ? " is not" : " is") + HINT;
  }
  std::string names;
  for (const std::string& name : result.m_Asked) {
    names += (names.empty() ? "" : ", ") + (name.empty() ? std::string("the routing table's choice") : name);
  }
  return "No answer through: " + names;
}
