#include "platform/Interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

std::vector<NetInterface> ListInterfaces() {
  std::vector<NetInterface> list;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return list;
  for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask) continue;
    // Up, and its link too: a cable that is not plugged in leaves RUNNING off.
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_RUNNING) == 0) continue;
    const auto known = [&](const NetInterface& i) { return i.m_Name == entry->ifa_name; };
    if (std::any_of(list.begin(), list.end(), known)) continue;
    NetInterface found;
    found.m_Name = entry->ifa_name;
    found.m_Index = static_cast<int>(if_nametoindex(entry->ifa_name));
    memcpy(found.m_Ip, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, 4);
    memcpy(found.m_Netmask, &reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr, 4);
    found.m_Loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
    found.m_CanBroadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
    if (found.m_Index > 0) list.push_back(found);
  }
  freeifaddrs(all);
  return list;
}

std::string InterfaceName(int index) {
  char name[IF_NAMESIZE] = {};
  return index > 0 && if_indextoname(static_cast<unsigned>(index), name) ? name : "";
}

bool InterfaceExists(const std::string& name) {
  return !name.empty() && name.size() < IF_NAMESIZE && if_nametoindex(name.c_str()) != 0;
}

bool InterfaceAddress(const std::string& name, uint8_t ip[4]) {
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return false;
  bool found = false;
  for (const ifaddrs* entry = all; entry && !found; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || name != entry->ifa_name) continue;
    memcpy(ip, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, 4);
    found = true;
  }
  freeifaddrs(all);
  return found;
}

bool CanTieSocketsToInterfaces() { return true; }
