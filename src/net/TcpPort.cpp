#include "net/TcpPort.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/NetInterfaces.h"
#include "net/PeerAddress.h"
#include "net/ProtocolTimes.h"
#include "net/SocketWait.h"

namespace {

// Room for the longest reply frame (an escaped 260-byte version reply) many times over.
constexpr uint32_t READ_AHEAD_SIZE = 4096;

bool IsConnectionLoss(int error) {
  return error == ECONNRESET || error == ECONNABORTED || error == EPIPE;
}

}  // namespace

struct CTcpPort::Socket {
  Socket(CFileDescriptor fd, uint64_t generation)
      : m_Owner(std::move(fd)), m_Fd(m_Owner.Get()), m_Generation(generation) {}

  // Hands out up to capacity bytes read ahead, refilling from the socket
  // without waiting when none are left. The count, or recv's own result
  // (0: closed by the peer, -1: errno says why) when nothing was at hand.
  ssize_t Take(uint8_t* buffer, uint32_t capacity) {
    std::lock_guard<std::mutex> guard(m_ReadLock);
    if (m_ReadBegin == m_ReadEnd) {
      const ssize_t count = recv(m_Fd, m_ReadAhead, sizeof m_ReadAhead, MSG_DONTWAIT);
      if (count <= 0) return count;
      m_ReadBegin = 0;
      m_ReadEnd = static_cast<uint32_t>(count);
    }
    const uint32_t count = std::min(capacity, m_ReadEnd - m_ReadBegin);
    memcpy(buffer, m_ReadAhead + m_ReadBegin, count);
    m_ReadBegin += count;
    return count;
  }

  const CFileDescriptor m_Owner;  // closed by the last reference
  const int m_Fd;
  const uint64_t m_Generation;

 private:
  // Held only for the copy and the non-blocking refill, never while waiting.
  std::mutex m_ReadLock;
  uint8_t m_ReadAhead[READ_AHEAD_SIZE];
  uint32_t m_ReadBegin = 0;
  uint32_t m_ReadEnd = 0;
};

CTcpPort::CTcpPort() : m_CancelEvent(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

// The cancel event, a member, closes after the socket.
CTcpPort::~CTcpPort() { Close(); }

CTcpPort::SocketRef CTcpPort::CurrentSocket() const {
  std::lock_guard<std::mutex> guard(m_SocketLock);
  return m_Socket;
}

bool CTcpPort::IsCurrent(const SocketRef& socket) const {
  std::lock_guard<std::mutex> guard(m_SocketLock);
  return m_Socket == socket;
}

bool CTcpPort::IsConnected() const { return CurrentSocket() != nullptr; }

int CTcpPort::SetConfig(const std::string& address, int port) {
  // The limited broadcast is refused with the texts that are no address.
  return MakePeer(address, port, &m_Peer) ? 1 : 0;
}

void CTcpPort::SetInterface(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(m_OpenLock);
  m_Interface = name;
}

int CTcpPort::Open() {
  std::lock_guard<std::recursive_mutex> guard(m_OpenLock);
  return OpenLocked(false);
}

int CTcpPort::Close() {
  std::lock_guard<std::recursive_mutex> guard(m_OpenLock);
  return CloseLocked();
}

int CTcpPort::CloseLocked() {
  SocketRef socket;
  {
    std::lock_guard<std::mutex> guard(m_SocketLock);
    socket.swap(m_Socket);
  }
  // Another thread still inside Read or Write holds a reference: shutting the
  // socket down ends its wait at once, and its reference closes the
  // descriptor when it lets go. Otherwise ours is the last and closes it
  // here. A socket's close cannot fail in a way worth reporting (the
  // descriptor is released either way), so Close reports 1.
  if (socket && socket.use_count() > 1) shutdown(socket->m_Fd, SHUT_RDWR);
  return 1;
}

int CTcpPort::OpenLocked(bool cancellable) {
  CloseLocked();
  ++m_Generation;
  CFileDescriptor owner(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int fd = owner.Get();
  if (!owner.IsOpen()) {
    m_LastError = errno;
    return 0;
  }
  // A re-connect keeps to the interface as well.
  m_InterfaceRefused = m_Interface.empty() ? 0 : BindToInterface(fd, m_Interface);
  // Smallest buffers: a Write then completes only when the network has taken
  // the data, so the write time-out bounds each chunk on the wire.
  int zero = 0;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &zero, sizeof zero);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &zero, sizeof zero);
  // Requests go out at once: a small frame written right after another one
  // (the unlock after its wake-up frame) must not wait for the peer's
  // delayed acknowledgement.
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // All I/O on the socket is non-blocking behind poll(); the connect waits
  // for the system's own connect time-out like a blocking one would.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  int error = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&m_Peer), sizeof m_Peer) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) {
      const SocketWait wait = WaitForSocket(fd, POLLOUT, cancellable ? m_CancelEvent.Get() : -1, INFINITE);
      if (wait == SocketWait::Ready) {
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
      } else {
        if (wait == SocketWait::Cancelled) TakeCancel();
        error = WaitErrorCode(wait);
      }
    }
  }
  if (error != 0) {
    m_LastError = error;
    return 0;
  }
  auto socket = std::make_shared<Socket>(std::move(owner), m_Generation);
  std::lock_guard<std::mutex> guard(m_SocketLock);
  m_Socket = std::move(socket);
  return 1;
}

void CTcpPort::Reconnect(const SocketRef& socket, bool cancellable) {
  std::lock_guard<std::recursive_mutex> guard(m_OpenLock);
  if (socket->m_Generation != m_Generation) return;
  OpenLocked(cancellable);
}

bool CTcpPort::TakeCancel() {
  uint64_t count = 0;
  return read(m_CancelEvent.Get(), &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

int CTcpPort::Cancel() {
  const uint64_t one = 1;
  if (m_CancelEvent.IsOpen()) {
    ssize_t ignored = write(m_CancelEvent.Get(), &one, sizeof one);
    (void)ignored;
  }
  return 1;
}

// Sends everything; each wait for room in the socket is bounded by timeoutMs.
// The send calls never block and nothing stays queued on the caller's buffer
// after the return: what the kernel accepted is copied, the rest never left.
int CTcpPort::Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  SocketRef socket = CurrentSocket();
  if (!socket) return 0;
  if (length == 0) {
    m_LastError = 0;
    return 1;
  }
  uint32_t sent = 0;
  while (sent < length) {
    const ssize_t count = send(socket->m_Fd, data + sent, length - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count >= 0) {
      sent += static_cast<uint32_t>(count);
      continue;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      const SocketWait wait = WaitForSocket(socket->m_Fd, POLLOUT, -1, timeoutMs);
      if (wait == SocketWait::Ready) continue;
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
    m_LastError = error;
    if (IsConnectionLoss(error)) {
      Reconnect(socket, false);
      Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    }
    return 0;
  }
  m_LastError = 0;
  return 1;
}

// Every way out but a successful read pauses, so a caller looping on Read
// never spins. Bytes read ahead are handed out first, without a wait (and
// so without seeing a pending Cancel); the receive is always a non-blocking
// call into the connection's own buffer, so none is left pending into the
// caller's.
int CTcpPort::Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) {
  *received = 0;
  SocketRef socket = CurrentSocket();
  if (!socket || !m_CancelEvent.IsOpen()) {
    Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    return 0;
  }
  if (capacity == 0) {
    m_LastError = EINVAL;
    Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    return 0;
  }
  const uint64_t start = Clock::TickCount();
  for (;;) {
    const ssize_t count = socket->Take(buffer, capacity);
    if (count > 0) {
      *received = static_cast<uint32_t>(count);
      m_LastError = 0;
      return 1;
    }
    if (count == 0) {
      if (!IsCurrent(socket)) break;  // shut down by the sender's re-connect
      Clock::Sleep(PEER_CLOSED_PAUSE_MS);
      return 0;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) {
      m_LastError = error;
      if (IsConnectionLoss(error)) Reconnect(socket, true);
      Clock::Sleep(PORT_FAILURE_PAUSE_MS);
      return 0;
    }
    const uint32_t remaining = RemainingMs(start, timeoutMs);
    const SocketWait wait = WaitForSocket(socket->m_Fd, POLLIN, m_CancelEvent.Get(), remaining);
    if (wait == SocketWait::Ready) continue;
    if (wait == SocketWait::Cancelled) TakeCancel();
    m_LastError = WaitErrorCode(wait);
    Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    return 0;
  }
  m_LastError = ECANCELED;
  Clock::Sleep(PORT_FAILURE_PAUSE_MS);
  return 0;
}
