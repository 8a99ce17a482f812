// Finding routers as the Check does: three discovery tries, each with a new
// client (and so a new local port), 100 ms pause after a failed try before
// its client is closed. The request goes out of every interface the target
// calls for, listed afresh at each try, and each answer tells the interface
// it came in on:
//   a loopback address        the loopback interface
//   255.255.255.255           every interface that is up with its link, has
//                             an IPv4 address and can broadcast (not loopback)
//   any other address         the interfaces whose subnet holds it (a
//                             directed broadcast picks its subnet's), else
//                             the routing table's choice
// With interfaces named, those only.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "net/AddressText.h"
#include "platform/Interfaces.h"
#include "router/RouterUdpClient.h"

// What discovery finds: a router's MAC, IPv4 address and version text, and
// the interface its answer came in on ("" when not known).
struct RouterInfo {
  uint8_t m_Mac[6] = {};
  uint8_t m_Ip[4] = {};
  std::string m_Version = {};
  std::string m_Interface = {};
};

struct DiscoveryRequest {
  std::string m_Target = LIMITED_BROADCAST_TEXT;  // dotted IPv4 text
  int m_Port = ROUTER_UDP_PORT;
  std::vector<std::string> m_Interfaces = {};  // only these (none: what the target calls for)
  std::vector<std::string> m_Skip = {};  // interfaces not to ask
  // false: done at the first answer, once every interface asked has
  // answered or DISCOVERY_SETTLE_MS later (the Check). true: every reply
  // window is waited out, to hear every router there is.
  bool m_AllAnswers = false;
  const std::atomic<bool>* m_Stop = nullptr;  // set: no further try
  RouterLink m_Link = {};
};

struct DiscoveryResult {
  std::vector<RouterInfo> m_Routers;  // as they answered, once per interface and MAC
  std::vector<std::string> m_Asked;   // interfaces asked at the last try ("" : the routing table's)
  int m_Tries = 0;                    // tries made
};

// Fills result; true when at least one router answered. False also when the
// target is no address (nothing asked).
bool DiscoverRouters(const DiscoveryRequest& request, DiscoveryResult* result);

// The interfaces a request to target goes out of, from those that are up;
// one without a name and index 0 stands for the routing table's choice.
std::vector<NetInterface> DiscoveryInterfaces(const uint8_t target[4], const std::vector<std::string>& interfaces,
                                              const std::vector<NetInterface>& up);

// One line for a user who got no answer: the interfaces asked, or why none
// was (interfaces: the ones the user named).
std::string NoAnswerText(const std::vector<std::string>& interfaces, const DiscoveryResult& result);
