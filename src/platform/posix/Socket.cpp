#include "platform/Socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/posix/Native.h"

namespace {

sockaddr_in Address(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.m_Port);
  memcpy(&address.sin_addr.s_addr, endpoint.m_Ip, 4);
  return address;
}

bool SetOption(int fd, int level, int name, int value) {
  return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// poll() for realMs of real time (-1: no limit), resumed with what is left
// after an interruption; the count of ready entries, 0 on time-out, -1 on
// failure (errno set).
int PollFor(pollfd* fds, nfds_t count, int realMs) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point end = Steady::now() + std::chrono::milliseconds(realMs < 0 ? 0 : realMs);
  for (int left = realMs;;) {
    const int result = poll(fds, count, left);
    if (result >= 0 || errno != EINTR) return result;
    if (realMs >= 0) {
      // What is left, rounded up, so that the wait never ends early.
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(end - Steady::now()).count();
      left = rest > 0 ? static_cast<int>(rest) : 0;
    }
  }
}

}  // namespace

CSocket::CSocket() : m_Native(std::make_unique<Native>()) {}

CSocket::~CSocket() { Close(); }

CSocket::CSocket(CSocket&& other) noexcept : m_Native(std::make_unique<Native>()) { *this = std::move(other); }

IoResult CSocket::Failed() {
  m_Error = errno;
  return IoResult::FAILED;
}

bool CSocket::Open(Kind kind) {
  Close();
  const int type = kind == UDP ? SOCK_DGRAM : SOCK_STREAM;
  m_Native->m_Fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (m_Native->m_Fd < 0) {
    m_Error = errno;
    return false;
  }
  // Every datagram read tells the interface it came in on.
  if (kind == UDP) SetOption(m_Native->m_Fd, IPPROTO_IP, IP_PKTINFO, 1);
  return true;
}

bool CSocket::IsOpen() const { return m_Native->m_Fd >= 0; }

bool CSocket::Close() {
  if (m_Native->m_Fd < 0) return true;
  const int result = close(m_Native->m_Fd);
  m_Native->m_Fd = -1;
  if (result == 0) return true;
  m_Error = errno;
  return false;
}

void CSocket::CloseWithReset() {
  const linger reset{1, 0};
  if (IsOpen()) setsockopt(m_Native->m_Fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  Close();
}

bool CSocket::EnableBroadcast() {
  if (SetOption(m_Native->m_Fd, SOL_SOCKET, SO_BROADCAST, 1)) return true;
  m_Error = errno;
  return false;
}

bool CSocket::BroadcastEnabled() const {
  int value = 0;
  socklen_t size = sizeof value;
  return IsOpen() && getsockopt(m_Native->m_Fd, SOL_SOCKET, SO_BROADCAST, &value, &size) == 0 && value != 0;
}

bool CSocket::PrepareStream() {
  const int fd = m_Native->m_Fd;
  return SetOption(fd, SOL_SOCKET, SO_RCVBUF, 0) && SetOption(fd, SOL_SOCKET, SO_SNDBUF, 0) &&
         SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
}

bool CSocket::ReuseAddress() { return SetOption(m_Native->m_Fd, SOL_SOCKET, SO_REUSEADDR, 1); }

int CSocket::BindToInterface(const std::string& name, const Ipv4Endpoint&) {
  if (setsockopt(m_Native->m_Fd, SOL_SOCKET, SO_BINDTODEVICE, name.c_str(), static_cast<socklen_t>(name.size() + 1)) == 0)
    return 0;
  return errno;
}

bool CSocket::Bind(const Ipv4Endpoint& local) {
  const sockaddr_in address = Address(local);
  if (bind(m_Native->m_Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
  m_Error = errno;
  return false;
}

uint16_t CSocket::LocalPort() const {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(m_Native->m_Fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

bool CSocket::Listen(int backlog) {
  if (listen(m_Native->m_Fd, backlog) == 0) return true;
  m_Error = errno;
  return false;
}

bool CSocket::Accept(CSocket* connection) {
  const int fd = accept4(m_Native->m_Fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return false;
  connection->Close();
  connection->m_Native->m_Fd = fd;
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  return true;
}

IoResult CSocket::Connect(const Ipv4Endpoint& peer) {
  const sockaddr_in address = Address(peer);
  if (connect(m_Native->m_Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return IoResult::DONE;
  if (errno == EINPROGRESS || errno == EINTR) return IoResult::WOULD_BLOCK;
  return Failed();
}

int CSocket::ConnectError() {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(m_Native->m_Fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
  return error;
}

IoResult CSocket::Send(const uint8_t* data, size_t length, size_t* sent) {
  *sent = 0;
  for (;;) {
    const ssize_t count = send(m_Native->m_Fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count >= 0) {
      *sent = static_cast<size_t>(count);
      return IoResult::DONE;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WOULD_BLOCK;
    return Failed();
  }
}

IoResult CSocket::Receive(uint8_t* buffer, size_t capacity, size_t* received) {
  *received = 0;
  for (;;) {
    const ssize_t count = recv(m_Native->m_Fd, buffer, capacity, MSG_DONTWAIT);
    if (count > 0) {
      *received = static_cast<size_t>(count);
      return IoResult::DONE;
    }
    if (count == 0) return IoResult::CLOSED;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WOULD_BLOCK;
    return Failed();
  }
}

// The interface goes with the datagram (IP_PKTINFO), which needs no
// privilege and reaches the limited broadcast too.
IoResult CSocket::SendTo(const Ipv4Endpoint& peer, const uint8_t* data, size_t length, int interfaceIndex) {
  sockaddr_in address = Address(peer);
  iovec part{const_cast<uint8_t*>(data), length};
  alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr message{};
  message.msg_name = &address;
  message.msg_namelen = sizeof address;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  if (interfaceIndex > 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    memcpy(CMSG_DATA(header), &info, sizeof info);
  }
  for (;;) {
    const ssize_t sent = sendmsg(m_Native->m_Fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<size_t>(sent) == length ? IoResult::DONE : Failed();
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WOULD_BLOCK;
    return Failed();
  }
}

// MSG_TRUNC makes the system report a datagram's whole length, so one
// longer than the buffer is told apart.
IoResult CSocket::ReceiveFrom(uint8_t* buffer, size_t capacity, size_t* received, Ipv4Endpoint* from, int* arrival) {
  *received = 0;
  if (arrival) *arrival = 0;
  for (;;) {
    sockaddr_in sender{};
    iovec part{buffer, capacity};
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t count = recvmsg(m_Native->m_Fd, &message, MSG_DONTWAIT | MSG_TRUNC);
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WOULD_BLOCK;
      return Failed();
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header && arrival; header = CMSG_NXTHDR(&message, header)) {
      if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
      in_pktinfo info;
      memcpy(&info, CMSG_DATA(header), sizeof info);
      *arrival = info.ipi_ifindex;
    }
    if (from) {
      memcpy(from->m_Ip, &sender.sin_addr.s_addr, 4);
      from->m_Port = ntohs(sender.sin_port);
    }
    if (static_cast<size_t>(count) > capacity) {
      m_Error = EMSGSIZE;
      return IoResult::TOO_LONG;
    }
    *received = static_cast<size_t>(count);
    return IoResult::DONE;
  }
}

void CSocket::Shutdown() {
  if (IsOpen()) shutdown(m_Native->m_Fd, SHUT_RDWR);
}

SocketWait CSocket::Wait(bool writable, const CCancelEvent* cancel, int realMs) const {
  pollfd fds[2] = {{m_Native->m_Fd, static_cast<short>(writable ? POLLOUT : POLLIN), 0},
                   {cancel ? cancel->Handle().m_Fd : -1, POLLIN, 0}};
  const int result = PollFor(fds, cancel ? 2 : 1, realMs);
  if (result < 0) return SocketWait::Failed;
  if (result == 0) return SocketWait::TimedOut;
  // Errors and hang-ups count as ready: the next call on the socket reports them.
  return fds[0].revents != 0 ? SocketWait::Ready : SocketWait::Cancelled;
}

bool CSocket::WaitForAny(const CSocket* const* sockets, size_t count, const CCancelEvent* stop, int realMs, bool* ready) {
  std::vector<pollfd> fds;
  for (size_t i = 0; i < count; ++i) fds.push_back({sockets[i]->m_Native->m_Fd, POLLIN, 0});
  if (stop) fds.push_back({stop->Handle().m_Fd, POLLIN, 0});
  const int result = PollFor(fds.data(), fds.size(), realMs);
  bool any = false;
  for (size_t i = 0; i < count; ++i) any |= ready[i] = result > 0 && fds[i].revents != 0;
  return any;
}

bool IsConnectionLoss(int code) { return code == ECONNRESET || code == ECONNABORTED || code == EPIPE; }

int TooLongError() { return EMSGSIZE; }
