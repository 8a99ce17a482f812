#include "net/UdpPort.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "net/AddressText.h"
#include "net/NetInterfaces.h"
#include "net/PeerAddress.h"
#include "net/SocketWait.h"

CUdpPort::~CUdpPort() { Close(); }

int CUdpPort::SetConfig(const std::string& address, int port) {
  // The classic parser cannot tell the limited broadcast from a bad text,
  // so that one address is recognised by its exact text first.
  if (address == LIMITED_BROADCAST_TEXT) {
    memset(&m_Peer, 0, sizeof m_Peer);
    m_Peer.sin_family = AF_INET;
    m_Peer.sin_port = htons(static_cast<uint16_t>(port));
    m_Peer.sin_addr.s_addr = INADDR_BROADCAST;
    return 1;
  }
  return MakePeer(address, port, &m_Peer) ? 1 : 0;
}

bool CUdpPort::BroadcastEnabled() const {
  if (!m_Socket.IsOpen()) return false;
  int value = 0;
  socklen_t size = sizeof value;
  return getsockopt(m_Socket.Get(), SOL_SOCKET, SO_BROADCAST, &value, &size) == 0 && value != 0;
}

int CUdpPort::Open() {
  Close();
  m_InterfaceRefused = 0;
  m_Socket.Reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
  if (!m_Socket.IsOpen()) {
    m_LastError = errno;
    return 0;
  }
  if (!m_Interface.empty()) m_InterfaceRefused = BindToInterface(m_Socket.Get(), m_Interface);
  // Every datagram read tells the interface it came in on.
  const int on = 1;
  setsockopt(m_Socket.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  // The limited broadcast and a subnet's directed broadcast both end in 255.
  const auto* octets = reinterpret_cast<const uint8_t*>(&m_Peer.sin_addr.s_addr);
  if (octets[3] == 255) {
    const int one = 1;
    if (setsockopt(m_Socket.Get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) {
      m_LastError = errno;
      m_Socket.Close();
      return 0;
    }
  }
  return 1;
}

int CUdpPort::Close() {
  // The descriptor is released even when close reports an error, so the
  // port counts as closed either way.
  if (m_Socket.Close()) return 1;
  m_LastError = errno;
  return 0;
}

// The datagram either goes out whole within the call or not at all: nothing
// is left pending on the caller's buffer after the return.
int CUdpPort::Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  return WriteVia(0, data, length, timeoutMs);
}

// The interface goes with the datagram (IP_PKTINFO), which needs no
// privilege and reaches the limited broadcast too.
int CUdpPort::WriteVia(int interfaceIndex, const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  if (!m_Socket.IsOpen()) return 0;
  iovec part{const_cast<uint8_t*>(data), length};
  alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr message{};
  message.msg_name = &m_Peer;
  message.msg_namelen = sizeof m_Peer;
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
    const ssize_t sent = sendmsg(m_Socket.Get(), &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0) {
      m_LastError = 0;
      return static_cast<uint32_t>(sent) == length ? 1 : 0;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) {
      m_LastError = error;
      return 0;
    }
    const SocketWait wait = WaitForSocket(m_Socket.Get(), POLLOUT, -1, timeoutMs);
    if (wait != SocketWait::Ready) {
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
  }
}

// One datagram from any sender. MSG_TRUNC makes recv report the datagram's
// full length, so one longer than the buffer fails the Read as too long.
int CUdpPort::Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) {
  int arrival = 0;
  return ReadArrival(buffer, capacity, received, &arrival, timeoutMs);
}

int CUdpPort::ReadArrival(uint8_t* buffer, uint32_t capacity, uint32_t* received, int* arrival,
                          uint32_t timeoutMs) {
  *received = 0;
  *arrival = 0;
  if (!m_Socket.IsOpen()) return 0;
  const uint64_t start = Clock::TickCount();
  for (;;) {
    iovec part{buffer, capacity};
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t count = recvmsg(m_Socket.Get(), &message, MSG_DONTWAIT | MSG_TRUNC);
    for (cmsghdr* header = count >= 0 ? CMSG_FIRSTHDR(&message) : nullptr; header;
         header = CMSG_NXTHDR(&message, header)) {
      if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
      in_pktinfo info;
      memcpy(&info, CMSG_DATA(header), sizeof info);
      *arrival = info.ipi_ifindex;
    }
    if (count > static_cast<ssize_t>(capacity)) {
      m_LastError = EMSGSIZE;
      return 0;
    }
    if (count >= 0) {
      *received = static_cast<uint32_t>(count);
      m_LastError = 0;
      return count > 0 ? 1 : 0;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) {
      m_LastError = error;
      return 0;
    }
    const uint32_t remaining = RemainingMs(start, timeoutMs);
    const SocketWait wait = WaitForSocket(m_Socket.Get(), POLLIN, -1, remaining);
    if (wait != SocketWait::Ready) {
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
  }
}
