#include "platform/Interfaces.h"

#include <cstring>

#include "platform/win32/Adapters.h"
#include "platform/win32/Native.h"
// After the sockets' headers, which it needs.
#include <iphlpapi.h>

namespace {

constexpr ULONG LIST_FLAGS = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

// The system's list of adapters of a family, read afresh; empty when it has
// none or cannot tell.
class CAdapterList {
 public:
  explicit CAdapterList(ULONG family) {
    ULONG size = 16 * 1024;
    // The list may grow between the call that sizes it and the next.
    for (int attempt = 0; attempt < 4; ++attempt) {
      m_Buffer.resize(size);
      const ULONG result = GetAdaptersAddresses(family, LIST_FLAGS, nullptr, First(), &size);
      if (result == NO_ERROR) return;
      if (result != ERROR_BUFFER_OVERFLOW) break;
    }
    m_Buffer.clear();
  }

  IP_ADAPTER_ADDRESSES* First() {
    return m_Buffer.empty() ? nullptr : reinterpret_cast<IP_ADAPTER_ADDRESSES*>(m_Buffer.data());
  }

 private:
  std::vector<unsigned char> m_Buffer;
};

std::string Utf8(const wchar_t* text) {
  if (!text) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
  result.pop_back();  // the terminating zero
  return result;
}

// The adapter's first IPv4 address and the length of its subnet's prefix.
bool FirstIpv4(const IP_ADAPTER_ADDRESSES& adapter, uint8_t ip[4], int* prefixLength) {
  for (const IP_ADAPTER_UNICAST_ADDRESS* entry = adapter.FirstUnicastAddress; entry; entry = entry->Next) {
    const sockaddr* address = entry->Address.lpSockaddr;
    if (!address || address->sa_family != AF_INET) continue;
    memcpy(ip, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
    *prefixLength = entry->OnLinkPrefixLength;
    return true;
  }
  return false;
}

void Netmask(int prefixLength, uint8_t mask[4]) {
  for (int i = 0; i < 4; ++i) {
    const int bits = prefixLength - 8 * i;
    mask[i] = bits >= 8 ? 0xFF : bits <= 0 ? 0 : static_cast<uint8_t>(0xFF << (8 - bits));
  }
}

// The adapter's IPv4 address whose subnet holds peer.
bool Ipv4Towards(const IP_ADAPTER_ADDRESSES& adapter, const uint8_t peer[4], uint8_t ip[4]) {
  for (const IP_ADAPTER_UNICAST_ADDRESS* entry = adapter.FirstUnicastAddress; entry; entry = entry->Next) {
    const sockaddr* address = entry->Address.lpSockaddr;
    if (!address || address->sa_family != AF_INET) continue;
    const uint8_t* own = reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    uint8_t mask[4];
    Netmask(entry->OnLinkPrefixLength, mask);
    bool same = true;
    for (int i = 0; i < 4; ++i) same = same && (own[i] & mask[i]) == (peer[i] & mask[i]);
    if (!same) continue;
    memcpy(ip, own, 4);
    return true;
  }
  return false;
}

// Links that reach one peer only: nothing to broadcast to.
bool PointToPoint(IFTYPE type) { return type == IF_TYPE_PPP || type == IF_TYPE_TUNNEL; }

}  // namespace

std::vector<NetInterface> ListInterfaces() {
  std::vector<NetInterface> list;
  CAdapterList adapters(AF_INET);
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    // Up means its link too: an adapter without a cable is not.
    if (adapter->OperStatus != IfOperStatusUp || adapter->IfIndex == 0) continue;
    NetInterface found;
    int prefixLength = 0;
    if (!FirstIpv4(*adapter, found.m_Ip, &prefixLength)) continue;
    // The name the user sees and types ("Ethernet 2"), not the adapter's GUID.
    found.m_Name = Utf8(adapter->FriendlyName);
    found.m_Index = static_cast<int>(adapter->IfIndex);
    Netmask(prefixLength, found.m_Netmask);
    found.m_Loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    found.m_CanBroadcast = !found.m_Loopback && !PointToPoint(adapter->IfType);
    list.push_back(found);
  }
  return list;
}

std::string InterfaceName(int index) {
  if (index <= 0) return "";
  CAdapterList adapters(AF_UNSPEC);
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (adapter->IfIndex == static_cast<DWORD>(index)) return Utf8(adapter->FriendlyName);
  }
  return "";
}

bool InterfaceExists(const std::string& name) {
  if (name.empty()) return false;
  CAdapterList adapters(AF_UNSPEC);
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (Utf8(adapter->FriendlyName) == name) return true;
  }
  return false;
}

bool AdapterAddress(int index, uint8_t ip[4]) {
  CAdapterList adapters(AF_INET);
  int prefixLength = 0;
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (adapter->IfIndex == static_cast<DWORD>(index)) return FirstIpv4(*adapter, ip, &prefixLength);
  }
  return false;
}

bool AdapterAddress(const std::string& name, uint8_t ip[4], int* index) {
  CAdapterList adapters(AF_INET);
  int prefixLength = 0;
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (Utf8(adapter->FriendlyName) != name) continue;
    if (index) *index = static_cast<int>(adapter->IfIndex);
    return FirstIpv4(*adapter, ip, &prefixLength);
  }
  return false;
}

bool AdapterAddressFor(int index, const uint8_t peer[4], uint8_t ip[4]) {
  CAdapterList adapters(AF_INET);
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (adapter->IfIndex == static_cast<DWORD>(index)) return Ipv4Towards(*adapter, peer, ip);
  }
  return false;
}

bool AdapterAddressFor(const std::string& name, const uint8_t peer[4], uint8_t ip[4], int* index) {
  *index = 0;
  CAdapterList adapters(AF_INET);
  for (const IP_ADAPTER_ADDRESSES* adapter = adapters.First(); adapter; adapter = adapter->Next) {
    if (Utf8(adapter->FriendlyName) != name) continue;
    int prefixLength = 0;
    uint8_t first[4];
    if (FirstIpv4(*adapter, first, &prefixLength)) *index = static_cast<int>(adapter->IfIndex);
    return Ipv4Towards(*adapter, peer, ip);
  }
  return false;
}

bool InterfaceAddress(const std::string& name, uint8_t ip[4]) { return AdapterAddress(name, ip); }

// A socket bound to an interface's address here still sends and receives
// by the system's routing: it cannot serve one interface alone.
bool CanTieSocketsToInterfaces() { return false; }
