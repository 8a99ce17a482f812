// The PC's IPv4 network interfaces as the system lists them, and what
// discovery asks of one.
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
// (its first address), in the system's order. Listed afresh on every call,
// so an adapter plugged in a moment ago is there and one pulled out is gone.
std::vector<NetInterface> ListInterfaces();
// The name of the interface with that index, "" for none.
std::string InterfaceName(int index);
// Whether the system knows an interface of that name, up or not.
bool InterfaceExists(const std::string& name);
// The first IPv4 address of the interface of that name, up or not; false
// when it has none.
bool InterfaceAddress(const std::string& name, uint8_t ip[4]);
// Whether a socket can be tied to one interface for what it receives too,
// broadcasts to that interface's subnet included (the simulator's
// --interface).
bool CanTieSocketsToInterfaces();
