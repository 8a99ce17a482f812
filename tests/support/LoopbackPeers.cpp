#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "diag/Hdlc.h"
#include "support/TestSupport.h"

namespace testsupport {

namespace {

using SteadyClock = std::chrono::steady_clock;

sockaddr_in Address(const char* ip, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, ip, &address.sin_addr);
  return address;
}

bool Readable(int fd, int realMs) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, std::max(realMs, 0)) == 1;
}

int LeftMs(SteadyClock::time_point deadline) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count());
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

TcpPeer::TcpPeer() : m_Port(FreePort()) {
  m_Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in address = Address("127.0.0.1", m_Port);
  bind(m_Listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  listen(m_Listener, 16);
}

TcpPeer::TcpPeer(int port) : m_Port(port) {
  m_Connection = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Address("127.0.0.1", port);
  if (connect(m_Connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(m_Connection);
    m_Connection = -1;
  }
}

TcpPeer::~TcpPeer() {
  if (m_Connection >= 0) close(m_Connection);
  if (m_Listener >= 0) close(m_Listener);
}

bool TcpPeer::Accept(int realMs) {
  if (m_Listener < 0 || !Readable(m_Listener, realMs)) return false;
  const int fd = accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return false;
  Close();
  m_Connection = fd;
  m_Closed = false;
  ++m_Accepted;
  return true;
}

bool TcpPeer::Send(const Bytes& bytes) {
  return send(m_Connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool TcpPeer::Fill(int realMs) {
  if (m_Connection < 0 || !Readable(m_Connection, realMs)) return false;
  uint8_t chunk[4096];
  const ssize_t n = recv(m_Connection, chunk, sizeof chunk, 0);
  if (n <= 0) {
    m_Closed = true;
    return false;
  }
  m_Pending.insert(m_Pending.end(), chunk, chunk + n);
  return true;
}

Bytes TcpPeer::Receive(size_t count, int realMs) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(realMs);
  while (m_Pending.size() < count && LeftMs(deadline) > 0 && Fill(LeftMs(deadline))) {
  }
  const size_t taken = std::min(count, m_Pending.size());
  Bytes out(m_Pending.begin(), m_Pending.begin() + taken);
  m_Pending.erase(m_Pending.begin(), m_Pending.begin() + taken);
  return out;
}

Bytes TcpPeer::ReceiveFrame(int realMs) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(realMs);
  for (;;) {
    const auto flag = std::find(m_Pending.begin(), m_Pending.end(), HDLC_FLAG);
    if (flag != m_Pending.end()) {
      const Bytes run(m_Pending.begin(), flag);
      m_Pending.erase(m_Pending.begin(), flag + 1);
      if (run.size() >= 3) return Unframe(run);
      continue;
    }
    if (LeftMs(deadline) <= 0 || !Fill(LeftMs(deadline))) return {};
  }
}

void TcpPeer::Reset() {
  if (m_Connection < 0) return;
  const linger hard{1, 0};
  setsockopt(m_Connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  Close();
}

void TcpPeer::Close() {
  if (m_Connection >= 0) close(m_Connection);
  m_Connection = -1;
  m_Pending.clear();
}

UdpPeer::UdpPeer(int port) {
  m_Socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(m_Socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  sockaddr_in address = Address("0.0.0.0", port);
  socklen_t length = sizeof address;
  m_Bound = bind(m_Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  m_Port = m_Bound ? ntohs(address.sin_port) : port;
}

UdpPeer::~UdpPeer() {
  m_Stop.store(true);
  if (m_Thread.joinable()) m_Thread.join();
  close(m_Socket);
}

bool UdpPeer::SendTo(const Bytes& bytes, const char* ip, int port) {
  const sockaddr_in to = Address(ip, port);
  return sendto(m_Socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(bytes.size());
}

bool UdpPeer::ReceiveFrom(Bytes* datagram, int* fromPort, int realMs) {
  if (!Readable(m_Socket, realMs)) return false;
  uint8_t buffer[65536];
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t n = recvfrom(m_Socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
  if (n < 0) return false;
  datagram->assign(buffer, buffer + n);
  if (fromPort) *fromPort = ntohs(from.sin_port);
  return true;
}

Bytes UdpPeer::ReceiveFrame(int realMs) {
  Bytes datagram;
  return ReceiveFrom(&datagram, nullptr, realMs) ? Unframe(datagram) : Bytes{};
}

void UdpPeer::Respond(Script script, int delayRealMs) {
  m_Script = std::move(script);
  m_DelayRealMs = delayRealMs;
  m_Thread = std::thread([this] { Serve(); });
}

std::vector<Bytes> UdpPeer::Requests() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Requests;
}

std::vector<int> UdpPeer::SourcePorts() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_SourcePorts;
}

void UdpPeer::Serve() {
  while (!m_Stop.load()) {
    if (!Readable(m_Socket, 10)) continue;
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = recvfrom(m_Socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) continue;
    const Bytes request(buffer, buffer + n);
    int index;
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      index = static_cast<int>(m_Requests.size());
      m_Requests.push_back(request);
      m_SourcePorts.push_back(ntohs(from.sin_port));
    }
    for (const Bytes& reply : m_Script(request, index)) {
      if (m_DelayRealMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_DelayRealMs));
      sendto(m_Socket, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from), length);
    }
  }
}

}  // namespace testsupport
