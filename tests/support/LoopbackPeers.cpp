#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "diag/Hdlc.h"
#include "support/TestSupport.h"

namespace testsupport {

namespace {

sockaddr_in Address(const char* ip, int port) {
  return {AF_INET, htons(static_cast<uint16_t>(port)), {inet_addr(ip)}, {}};
}

// The next accept, recv or recvfrom on fd fails with EAGAIN after realMs without anything to take.
int Waiting(int fd, int realMs) {
  const timeval limit{realMs / 1000, realMs % 1000 * 1000 + (realMs > 0 ? 0 : 1)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

}  // namespace

Bytes Unframe(const Bytes& frame) {
  Bytes out(frame.size());
  out.resize(HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), out.data()));
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TcpPeer::TcpPeer() : m_Port(FreePort()), m_Listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  const int one = 1;
  setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in address = Address("127.0.0.1", m_Port);
  bind(m_Listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  listen(m_Listener, 16);
}

TcpPeer::TcpPeer(int port) : m_Port(port), m_Connection(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  const sockaddr_in address = Address("127.0.0.1", port);
  connect(m_Connection, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

TcpPeer::~TcpPeer() {
  Close();
  close(m_Listener);
}

bool TcpPeer::Accept(int realMs) {
  const int connection = accept4(Waiting(m_Listener, realMs), nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) return false;
  Close();
  m_Connection = connection;
  return !(m_Closed = false);
}

bool TcpPeer::Send(const Bytes& bytes) {
  return send(m_Connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

Bytes TcpPeer::Receive(size_t count, int realMs) {
  uint8_t chunk[4096];
  for (ssize_t n; m_Pending.size() < count && !m_Closed;) {
    if ((n = recv(Waiting(m_Connection, realMs), chunk, sizeof chunk, 0)) < 0) break;
    m_Closed = n == 0;
    m_Pending.insert(m_Pending.end(), chunk, chunk + n);
  }
  const Bytes out(m_Pending.begin(), m_Pending.begin() + std::min(count, m_Pending.size()));
  m_Pending.erase(m_Pending.begin(), m_Pending.begin() + out.size());
  return out;
}

Bytes TcpPeer::ReceiveFrame(int realMs) {
  Bytes run;  // runs of fewer than 3 bytes between flags are skipped
  for (Bytes next = Receive(1, realMs); !next.empty(); next = Receive(1, realMs)) {
    if (next[0] != HDLC_FLAG) run.push_back(next[0]);
    else if (run.size() >= 3) return Unframe(run);
    else run.clear();
  }
  return {};
}

void TcpPeer::Close(bool reset) {
  const linger hard{1, 0};
  if (reset) setsockopt(m_Connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(m_Connection);
  m_Connection = -1;
  m_Pending.clear();
}

UdpPeer::UdpPeer(int port) : m_Socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  const int one = 1;  // the simulator's tests send to the loopback broadcast
  setsockopt(m_Socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  sockaddr_in address = Address("0.0.0.0", port);
  socklen_t length = sizeof address;
  if (bind(m_Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    m_Port = ntohs(address.sin_port);
  }
}

UdpPeer::~UdpPeer() {
  m_Stop.store(true);
  if (m_Thread.joinable()) m_Thread.join();
  close(m_Socket);
}

bool UdpPeer::SendFrameTo(const Bytes& payload, const char* ip, int port) {
  const Bytes frame = Frame(payload, true);
  const sockaddr_in to = Address(ip, port);
  return sendto(m_Socket, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(frame.size());
}

bool UdpPeer::ReceiveFrom(Bytes* datagram, sockaddr_in* from, int realMs) {
  datagram->resize(65536);
  socklen_t length = sizeof *from;
  const ssize_t n = recvfrom(Waiting(m_Socket, realMs), datagram->data(), datagram->size(), 0,
                             reinterpret_cast<sockaddr*>(from), from ? &length : nullptr);
  datagram->resize(std::max<ssize_t>(n, 0));
  return n >= 0;
}

void UdpPeer::Respond(Script script) {
  m_Thread = std::thread([this, script] {
    Bytes request;
    sockaddr_in from{};
    for (int index = 0; !m_Stop.load();) {
      if (!ReceiveFrom(&request, &from, 10)) continue;
      std::lock_guard<std::mutex> hold(m_Lock);
      m_Senders.push_back(ntohs(from.sin_port));
      for (const Bytes& reply : script(request, index++)) {
        sendto(m_Socket, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
      }
    }
  });
}

std::vector<int> UdpPeer::Senders() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Senders;
}

}  // namespace testsupport
