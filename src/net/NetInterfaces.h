// The PC's IPv4 network interfaces, as discovery sees them: each one that is
// up (its link too), with its first IPv4 address, its netmask and whether it
// can broadcast. Listed afresh on every call, so an adapter plugged in a
// moment ago is there and one pulled out is gone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NetInterface {
  std::string m_Name;
  int m_Index = 0;
  uint8_t m_Ip[4] = {};
  uint8_t m_Netmask[4] = {};
  bool m_Loopback = false;
  bool m_CanBroadcast = false;

  // The directed broadcast of its subnet (for 192.168.1.2/24: 192.168.1.255).
  void Broadcast(uint8_t out[4]) const;
  // Whether address lies in its subnet (its directed broadcast included).
  bool Contains(const uint8_t address[4]) const;
};

// Every interface that is up with its link, with an IPv4 address, once each
// (its first address), in the system's order.
std::vector<NetInterface> ListInterfaces();

// The name of the interface with that index, "" for none.
std::string InterfaceName(int index);

// Whether the system knows an interface of that name, up or not.
bool InterfaceExists(const std::string& name);

// Ties the socket to the interface, so that it sends and receives through it
// only. 0, or errno when the system refuses.
int BindToInterface(int socketFd, const std::string& name);
