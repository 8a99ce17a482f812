#include "net/TcpPort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/PeerAddress.h"
#include "net/ProtocolTimes.h"
#include "net/SocketWait.h"

namespace {

// Room for the longest reply frame (an escaped 260-byte version reply) many times over.
constexpr uint32_t READ_AHEAD_SIZE = 4096;

}  // namespace

struct CTcpPort::Socket {
  Socket(CSocket socket, uint64_t generation) : m_Socket(std::move(socket)), m_Generation(generation) {}

  // Hands out up to capacity bytes read ahead, refilling from the socket
  // without waiting when none are left.
  IoResult Take(uint8_t* buffer, uint32_t capacity, size_t* taken) {
    std::lock_guard<std::mutex> guard(m_ReadLock);
    *taken = 0;
    if (m_ReadBegin == m_ReadEnd) {
      size_t count = 0;
      const IoResult result = m_Socket.Receive(m_ReadAhead, sizeof m_ReadAhead, &count);
      if (result != IoResult::DONE) return result;
      m_ReadBegin = 0;
      m_ReadEnd = static_cast<uint32_t>(count);
    }
    const uint32_t count = std::min(capacity, m_ReadEnd - m_ReadBegin);
    memcpy(buffer, m_ReadAhead + m_ReadBegin, count);
    m_ReadBegin += count;
    *taken = count;
    return IoResult::DONE;
  }

  CSocket m_Socket;  // closed by the last reference
  const uint64_t m_Generation;

 private:
  // Held only for the copy and the non-blocking refill, never while waiting.
  std::mutex m_ReadLock;
  uint8_t m_ReadAhead[READ_AHEAD_SIZE];
  uint32_t m_ReadBegin = 0;
  uint32_t m_ReadEnd = 0;
};

CTcpPort::CTcpPort() = default;

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
  // socket when it lets go. Otherwise ours is the last and closes it
  // here. A socket's close cannot fail in a way worth reporting (the
  // socket is released either way), so Close reports 1.
  if (socket && socket.use_count() > 1) socket->m_Socket.Shutdown();
  return 1;
}

int CTcpPort::OpenLocked(bool cancellable) {
  CloseLocked();
  ++m_Generation;
  CSocket connection;
  if (!connection.Open(CSocket::TCP)) {
    m_LastError = connection.Error();
    return 0;
  }
  // A re-connect keeps to the interface as well.
  m_InterfaceRefused = m_Interface.empty() ? 0 : connection.BindToInterface(m_Interface, m_Peer);
  // Smallest buffers: a Write then completes only when the network has taken
  // the data, so the write time-out bounds each chunk on the wire. And
  // requests go out at once: a small frame written right after another one
  // (the unlock after its wake-up frame) must not wait for the peer's
  // delayed acknowledgement.
  connection.PrepareStream();
  // All I/O on the socket is non-blocking behind waits; the connect waits
  // for the system's own connect time-out like a blocking one would.
  int error = 0;
  const IoResult started = connection.Connect(m_Peer);
  if (started == IoResult::FAILED) error = connection.Error();
  if (started == IoResult::WOULD_BLOCK) {
    const SocketWait wait = WaitForSocket(connection, true, cancellable ? &m_CancelEvent : nullptr, INFINITE);
    if (wait == SocketWait::Ready) {
      error = connection.ConnectError();
    } else {
      if (wait == SocketWait::Cancelled) TakeCancel();
      error = WaitErrorCode(wait);
    }
  }
  if (error != 0) {
    m_LastError = error;
    return 0;
  }
  auto socket = std::make_shared<Socket>(std::move(connection), m_Generation);
  std::lock_guard<std::mutex> guard(m_SocketLock);
  m_Socket = std::move(socket);
  return 1;
}

void CTcpPort::Reconnect(const SocketRef& socket, bool cancellable) {
  std::lock_guard<std::recursive_mutex> guard(m_OpenLock);
  if (socket->m_Generation != m_Generation) return;
  OpenLocked(cancellable);
}

bool CTcpPort::TakeCancel() { return m_CancelEvent.Take(); }

int CTcpPort::Cancel() {
  m_CancelEvent.Set();
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
    size_t count = 0;
    const IoResult result = socket->m_Socket.Send(data + sent, length - sent, &count);
    if (result == IoResult::DONE) {
      sent += static_cast<uint32_t>(count);
      continue;
    }
    if (result == IoResult::WOULD_BLOCK) {
      const SocketWait wait = WaitForSocket(socket->m_Socket, true, nullptr, timeoutMs);
      if (wait == SocketWait::Ready) continue;
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
    const int error = socket->m_Socket.Error();
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
  if (!socket || !m_CancelEvent.IsValid()) {
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
    size_t count = 0;
    const IoResult result = socket->Take(buffer, capacity, &count);
    if (result == IoResult::DONE) {
      *received = static_cast<uint32_t>(count);
      m_LastError = 0;
      return 1;
    }
    if (result == IoResult::CLOSED) {
      if (!IsCurrent(socket)) break;  // shut down by the sender's re-connect
      Clock::Sleep(PEER_CLOSED_PAUSE_MS);
      return 0;
    }
    if (result != IoResult::WOULD_BLOCK) {
      const int error = socket->m_Socket.Error();
      m_LastError = error;
      if (IsConnectionLoss(error)) Reconnect(socket, true);
      Clock::Sleep(PORT_FAILURE_PAUSE_MS);
      return 0;
    }
    const uint32_t remaining = RemainingMs(start, timeoutMs);
    const SocketWait wait = WaitForSocket(socket->m_Socket, false, &m_CancelEvent, remaining);
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
