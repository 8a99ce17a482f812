#include "platform/Socket.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Interfaces.h"
#include "platform/win32/Adapters.h"
#include "platform/win32/Native.h"

namespace {

using Native = CSocket::Native;

constexpr long SOCKET_EVENTS = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
constexpr long WAY_EVENTS = FD_READ | FD_WRITE;

sockaddr_in Address(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.m_Port);
  memcpy(&address.sin_addr.s_addr, endpoint.m_Ip, 4);
  return address;
}

bool SetOption(SOCKET socket, int level, int name, int value) {
  return setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

// Asks the system to send through the interface with that index even where
// its routing table would pick another: two cables may give the PC the same
// address (gateways all at one factory address). Where the option is not
// had, the bound address alone picks the interface.
void StayOnInterface(SOCKET socket, int index) {
  SetOption(socket, IPPROTO_IP, IP_UNICAST_IF, static_cast<int>(htonl(static_cast<u_long>(index))));
}

bool OptionSet(SOCKET socket, int level, int name) {
  int value = 0;
  int size = sizeof value;
  return getsockopt(socket, level, name, reinterpret_cast<char*>(&value), &size) == 0 && value != 0;
}

int Length(size_t length) { return static_cast<int>(std::min<size_t>(length, INT_MAX)); }

// A socket that programs started later do not inherit. Systems older than
// the flag refuse it; the handle's own flag does the same there.
SOCKET NewSocket(int type, int protocol) {
  SOCKET socket = WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
    socket = WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (socket != INVALID_SOCKET) SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  }
  return socket;
}

// Left on, a datagram to a port where nobody listens fails the socket's next
// read with a reset, although a datagram socket has no connection to lose.
void IgnorePortUnreachable(SOCKET socket) {
  BOOL off = FALSE;
  DWORD bytes = 0;
  WSAIoctl(socket, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
}

// The read that also tells the interface a datagram came in on, once that
// is asked for (IP_PKTINFO); null when the system offers neither.
LPFN_WSARECVMSG ReceiveMessageFunction(SOCKET socket) {
  GUID id = WSAID_WSARECVMSG;
  LPFN_WSARECVMSG function = nullptr;
  DWORD bytes = 0;
  if (WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function, sizeof function, &bytes,
               nullptr, nullptr) != 0) {
    return nullptr;
  }
  return SetOption(socket, IPPROTO_IP, IP_PKTINFO, 1) ? function : nullptr;
}

void CloseEvents(Native* native) {
  if (native->m_Network != WSA_INVALID_EVENT) WSACloseEvent(native->m_Network);
  if (native->m_Closing != WSA_INVALID_EVENT) WSACloseEvent(native->m_Closing);
  native->m_Network = native->m_Closing = WSA_INVALID_EVENT;
}

// Makes socket the one native holds, with the events its waits need; 0, or
// the system's code (and the socket closed).
int Adopt(Native* native, SOCKET socket, bool datagram) {
  native->m_Network = WSACreateEvent();
  native->m_Closing = WSACreateEvent();
  if (native->m_Network == WSA_INVALID_EVENT || native->m_Closing == WSA_INVALID_EVENT ||
      WSAEventSelect(socket, native->m_Network, SOCKET_EVENTS) != 0) {
    const int error = WSAGetLastError();
    CloseEvents(native);
    closesocket(socket);
    return error;
  }
  native->m_Socket = socket;
  native->m_Datagram = datagram;
  native->m_Bound = false;
  if (datagram) {
    IgnorePortUnreachable(socket);
    native->m_ReceiveMessage = ReceiveMessageFunction(socket);
  }
  return 0;
}

// The socket that sends to peer out of the interface with that index, made
// on first use: the system's own choice of interface follows the routing
// table, not the datagram, even for the limited broadcast, so a socket bound
// to the interface's address is the way that holds everywhere; its address
// in the peer's subnet where it has one (a directed broadcast), else its
// first. INVALID_SOCKET, and the system's code in error, when it cannot be had.
SOCKET WayOut(Native* native, int index, const Ipv4Endpoint& peer, int* error) {
  Ipv4Endpoint local;
  if (!AdapterAddressFor(index, peer.m_Ip, local.m_Ip) && !AdapterAddress(index, local.m_Ip)) {
    *error = WSAEADDRNOTAVAIL;
    return INVALID_SOCKET;
  }
  std::lock_guard<std::mutex> guard(native->m_Lock);
  for (const Native::Way& way : native->m_Ways) {
    if (way.m_Index == index && memcmp(way.m_Local, local.m_Ip, 4) == 0) return way.m_Socket;
  }
  const SOCKET socket = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
  if (socket == INVALID_SOCKET) {
    *error = WSAGetLastError();
    return INVALID_SOCKET;
  }
  IgnorePortUnreachable(socket);
  StayOnInterface(socket, index);
  const sockaddr_in address = Address(local);
  const bool broadcast = OptionSet(native->m_Socket, SOL_SOCKET, SO_BROADCAST);
  if ((broadcast && !SetOption(socket, SOL_SOCKET, SO_BROADCAST, 1)) ||
      bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      WSAEventSelect(socket, native->m_Network, WAY_EVENTS) != 0) {
    *error = WSAGetLastError();
    closesocket(socket);
    return INVALID_SOCKET;
  }
  Native::Way way{index, socket};
  memcpy(way.m_Local, local.m_Ip, 4);
  native->m_Ways.push_back(way);
  return socket;
}

// One datagram from one of the sockets (way.m_Index 0: the socket itself).
IoResult ReadDatagram(const Native& native, const Native::Way& way, uint8_t* buffer, size_t capacity,
                      size_t* received, Ipv4Endpoint* from, int* arrival, int* error) {
  for (;;) {
    sockaddr_in sender{};
    int count = 0;
    int failure = 0;
    bool truncated = false;
    int index = way.m_Index;
    if (way.m_Index == 0 && native.m_ReceiveMessage) {
      WSABUF part{static_cast<ULONG>(Length(capacity)), reinterpret_cast<char*>(buffer)};
      alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
      WSAMSG message{};
      message.name = reinterpret_cast<sockaddr*>(&sender);
      message.namelen = sizeof sender;
      message.lpBuffers = &part;
      message.dwBufferCount = 1;
      message.Control = {static_cast<ULONG>(sizeof control), control};
      DWORD bytes = 0;
      if (native.m_ReceiveMessage(way.m_Socket, &message, &bytes, nullptr, nullptr) == 0) {
        count = static_cast<int>(bytes);
        truncated = (message.dwFlags & MSG_TRUNC) != 0;
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header; header = WSA_CMSG_NXTHDR(&message, header)) {
          if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
          IN_PKTINFO info;
          memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
          index = static_cast<int>(info.ipi_ifindex);
        }
      } else {
        failure = WSAGetLastError();
      }
    } else {
      int size = sizeof sender;
      count = recvfrom(way.m_Socket, reinterpret_cast<char*>(buffer), Length(capacity), 0,
                       reinterpret_cast<sockaddr*>(&sender), &size);
      if (count == SOCKET_ERROR) failure = WSAGetLastError();
    }
    if (failure == WSAEWOULDBLOCK) return IoResult::WOULD_BLOCK;
    // An unreachable port answering an earlier datagram, should the system
    // report one after all: no concern of this read.
    if (failure == WSAECONNRESET || failure == WSAENETRESET) continue;
    if (failure != 0 && failure != WSAEMSGSIZE) {
      *error = failure;
      return IoResult::FAILED;
    }
    if (from) {
      memcpy(from->m_Ip, &sender.sin_addr.s_addr, 4);
      from->m_Port = ntohs(sender.sin_port);
    }
    if (arrival) *arrival = index;
    if (failure == WSAEMSGSIZE || truncated) {
      *error = WSAEMSGSIZE;
      return IoResult::TOO_LONG;
    }
    *received = static_cast<size_t>(count);
    return IoResult::DONE;
  }
}

}  // namespace

bool HasAddress(CSocket::Native* native) {
  if (!native->m_Datagram || native->m_Bound) return true;
  sockaddr_in local{};
  int size = sizeof local;
  if (getsockname(native->m_Socket, reinterpret_cast<sockaddr*>(&local), &size) != 0) return false;
  native->m_Bound = true;
  return true;
}

CSocket::CSocket() : m_Native(std::make_unique<Native>()) {}

CSocket::~CSocket() { Close(); }

CSocket::CSocket(CSocket&& other) noexcept : m_Native(std::make_unique<Native>()) { *this = std::move(other); }

IoResult CSocket::Failed() {
  m_Error = WSAGetLastError();
  return IoResult::FAILED;
}

bool CSocket::Open(Kind kind) {
  Close();
  const bool datagram = kind == UDP;
  const SOCKET socket = NewSocket(datagram ? SOCK_DGRAM : SOCK_STREAM, datagram ? IPPROTO_UDP : IPPROTO_TCP);
  if (socket == INVALID_SOCKET) {
    m_Error = WSAGetLastError();
    return false;
  }
  m_Error = Adopt(m_Native.get(), socket, datagram);
  return m_Error == 0;
}

bool CSocket::IsOpen() const { return m_Native->m_Socket != INVALID_SOCKET; }

bool CSocket::Close() {
  Native* native = m_Native.get();
  if (native->m_Socket == INVALID_SOCKET) return true;
  for (const Native::Way& way : native->m_Ways) closesocket(way.m_Socket);
  native->m_Ways.clear();
  const int result = closesocket(native->m_Socket);
  if (result != 0) m_Error = WSAGetLastError();
  native->m_Socket = INVALID_SOCKET;
  native->m_Bound = false;
  native->m_ReceiveMessage = nullptr;
  CloseEvents(native);
  return result == 0;
}

void CSocket::CloseWithReset() {
  const linger reset{1, 0};
  if (IsOpen()) {
    setsockopt(m_Native->m_Socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
  }
  Close();
}

bool CSocket::EnableBroadcast() {
  if (!SetOption(m_Native->m_Socket, SOL_SOCKET, SO_BROADCAST, 1)) {
    m_Error = WSAGetLastError();
    return false;
  }
  std::lock_guard<std::mutex> guard(m_Native->m_Lock);
  for (const Native::Way& way : m_Native->m_Ways) SetOption(way.m_Socket, SOL_SOCKET, SO_BROADCAST, 1);
  return true;
}

bool CSocket::BroadcastEnabled() const { return IsOpen() && OptionSet(m_Native->m_Socket, SOL_SOCKET, SO_BROADCAST); }

// A send buffer of 0 makes the system send from the caller's own buffer, so
// a send completes when the network has taken it. The receive buffer keeps
// its size: here 0 would shrink the window the peer may send into, down to
// nothing, instead of being raised to a minimum.
bool CSocket::PrepareStream() {
  const SOCKET socket = m_Native->m_Socket;
  return SetOption(socket, SOL_SOCKET, SO_SNDBUF, 0) && SetOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
}

// Here a socket may take a port in the wait after its last connection by
// default; the option that shares a port would let another program's
// listener take it over, so this one forbids exactly that.
bool CSocket::ReuseAddress() { return SetOption(m_Native->m_Socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1); }

// The socket takes the interface's IPv4 address in the peer's subnet as its
// local one: the system then sends through that interface, from an address
// the peer can answer. An interface without one keeps to its index and the
// system picks the address. A later Bind is refused, as the socket has its
// address.
int CSocket::BindToInterface(const std::string& name, const Ipv4Endpoint& peer) {
  Ipv4Endpoint local;
  int index = 0;
  if (!InterfaceExists(name)) return ERROR_NOT_FOUND;
  const bool inSubnet = AdapterAddressFor(name, peer.m_Ip, local.m_Ip, &index);
  if (index == 0) return WSAEADDRNOTAVAIL;
  StayOnInterface(m_Native->m_Socket, index);
  if (!inSubnet) return 0;
  return Bind(local) ? 0 : m_Error;
}

bool CSocket::Bind(const Ipv4Endpoint& local) {
  const sockaddr_in address = Address(local);
  if (bind(m_Native->m_Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    m_Error = WSAGetLastError();
    return false;
  }
  return true;
}

uint16_t CSocket::LocalPort() const {
  sockaddr_in address{};
  int size = sizeof address;
  if (getsockname(m_Native->m_Socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

bool CSocket::Listen(int backlog) {
  if (listen(m_Native->m_Socket, backlog) == 0) return true;
  m_Error = WSAGetLastError();
  return false;
}

bool CSocket::Accept(CSocket* connection) {
  const SOCKET socket = accept(m_Native->m_Socket, nullptr, nullptr);
  if (socket == INVALID_SOCKET) return false;
  SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  connection->Close();
  // It came with the listener's event selection; it gets events of its own.
  if (Adopt(connection->m_Native.get(), socket, false) != 0) return false;
  SetOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
  return true;
}

IoResult CSocket::Connect(const Ipv4Endpoint& peer) {
  const sockaddr_in address = Address(peer);
  if (connect(m_Native->m_Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return IoResult::DONE;
  }
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return IoResult::WOULD_BLOCK;
  m_Error = error;
  return IoResult::FAILED;
}

int CSocket::ConnectError() {
  int error = 0;
  int size = sizeof error;
  if (getsockopt(m_Native->m_Socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
    error = WSAGetLastError();
  }
  return error;
}

IoResult CSocket::Send(const uint8_t* data, size_t length, size_t* sent) {
  *sent = 0;
  const int count = send(m_Native->m_Socket, reinterpret_cast<const char*>(data), Length(length), 0);
  if (count != SOCKET_ERROR) {
    *sent = static_cast<size_t>(count);
    return IoResult::DONE;
  }
  if (WSAGetLastError() == WSAEWOULDBLOCK) return IoResult::WOULD_BLOCK;
  return Failed();
}

IoResult CSocket::Receive(uint8_t* buffer, size_t capacity, size_t* received) {
  *received = 0;
  const int count = recv(m_Native->m_Socket, reinterpret_cast<char*>(buffer), Length(capacity), 0);
  if (count > 0) {
    *received = static_cast<size_t>(count);
    return IoResult::DONE;
  }
  if (count == 0) return IoResult::CLOSED;
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) return IoResult::WOULD_BLOCK;
  // A connection this side has shut down reads as ended, not as lost.
  if (error == WSAESHUTDOWN) return IoResult::CLOSED;
  m_Error = error;
  return IoResult::FAILED;
}

IoResult CSocket::SendTo(const Ipv4Endpoint& peer, const uint8_t* data, size_t length, int interfaceIndex) {
  SOCKET socket = m_Native->m_Socket;
  if (interfaceIndex > 0 && socket != INVALID_SOCKET) {
    socket = WayOut(m_Native.get(), interfaceIndex, peer, &m_Error);
    if (socket == INVALID_SOCKET) return IoResult::FAILED;
  }
  const sockaddr_in address = Address(peer);
  const int sent = sendto(socket, reinterpret_cast<const char*>(data), Length(length), 0,
                          reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent == SOCKET_ERROR) {
    if (WSAGetLastError() == WSAEWOULDBLOCK) return IoResult::WOULD_BLOCK;
    return Failed();
  }
  if (static_cast<size_t>(sent) == length) return IoResult::DONE;
  m_Error = WSAEMSGSIZE;
  return IoResult::FAILED;
}

// The socket itself first (once it has an address), then the interfaces'
// sockets in the order they were made; arrival tells which interface.
IoResult CSocket::ReceiveFrom(uint8_t* buffer, size_t capacity, size_t* received, Ipv4Endpoint* from, int* arrival) {
  *received = 0;
  if (arrival) *arrival = 0;
  if (!IsOpen()) {
    m_Error = WSAENOTSOCK;
    return IoResult::FAILED;
  }
  std::vector<Native::Way> sources;
  if (HasAddress(m_Native.get())) sources.push_back({0, m_Native->m_Socket});
  {
    std::lock_guard<std::mutex> guard(m_Native->m_Lock);
    sources.insert(sources.end(), m_Native->m_Ways.begin(), m_Native->m_Ways.end());
  }
  for (const Native::Way& source : sources) {
    const IoResult result = ReadDatagram(*m_Native, source, buffer, capacity, received, from, arrival, &m_Error);
    if (result != IoResult::WOULD_BLOCK) return result;
  }
  return IoResult::WOULD_BLOCK;
}

// The system's shutdown does not end another thread's wait on the socket;
// the closing event, part of every wait, does.
void CSocket::Shutdown() {
  if (!IsOpen()) return;
  shutdown(m_Native->m_Socket, SD_BOTH);
  WSASetEvent(m_Native->m_Closing);
}

bool IsConnectionLoss(int code) {
  return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN || code == WSAENETRESET;
}

int TooLongError() { return WSAEMSGSIZE; }
