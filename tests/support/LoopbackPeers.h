// Plain-socket peers for tests that speak to the tool or the simulator on
// loopback, byte for byte, with nothing of the tool's own transport.
#pragma once

#include <arpa/inet.h>

#include <atomic>

#include "support/ScriptedPort.h"  // Bytes, Frame, Unframe
#include "support/TestSupport.h"

namespace testsupport {

inline sockaddr_in LoopbackAddress(const char* ip, int port) {
  return {AF_INET, htons(static_cast<uint16_t>(port)), {inet_addr(ip)}, {}};
}

// The next accept, recv or recvfrom on fd fails with EAGAIN after realMs without anything to take.
inline int Waiting(int fd, int realMs) {
  const timeval limit{realMs / 1000, realMs % 1000 * 1000 + (realMs > 0 ? 0 : 1)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// One TCP connection on loopback, either accepted (the peer listens on a
// free port of 127.0.0.1) or made (the peer connects to a port).
class TcpPeer {
 public:
  // Listens; see Port and Accept.
  TcpPeer() : m_Port(FreePort()), m_Listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int one = 1;
    setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in address = LoopbackAddress("127.0.0.1", m_Port);
    bind(m_Listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    listen(m_Listener, 16);
  }
  // Connects to 127.0.0.1:port.
  explicit TcpPeer(int port) : m_Port(port), m_Connection(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in address = LoopbackAddress("127.0.0.1", port);
    connect(m_Connection, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  ~TcpPeer() {
    Close();
    close(m_Listener);
  }

  int Port() const { return m_Port; }
  // Takes the next connection, closing the previous one; false when none
  // came within realMs.
  bool Accept(int realMs = 2000) {
    const int connection = accept4(Waiting(m_Listener, realMs), nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return false;
    Close();
    m_Connection = connection;
    return true;
  }
  bool Send(const Bytes& bytes) {
    return send(m_Connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // What arrived until count bytes are in, realMs passed or the stream ended.
  Bytes Receive(size_t count, int realMs = 2000) {
    uint8_t chunk[4096];
    for (ssize_t n = 1; m_Pending.size() < count && n > 0;)
      if ((n = recv(Waiting(m_Connection, realMs), chunk, sizeof chunk, 0)) > 0)
        m_Pending.insert(m_Pending.end(), chunk, chunk + n);
    const Bytes out(m_Pending.begin(), m_Pending.begin() + std::min(count, m_Pending.size()));
    m_Pending.erase(m_Pending.begin(), m_Pending.begin() + out.size());
    return out;
  }
  // The payload of the next frame with at least 3 bytes between flags;
  // empty when no byte came for realMs or the stream ended.
  Bytes ReceiveFrame(int realMs = 2000) {
    Bytes run;  // runs of fewer than 3 bytes between flags are skipped
    for (Bytes next = Receive(1, realMs); !next.empty(); next = Receive(1, realMs)) {
      if (next[0] != HDLC_FLAG) run.push_back(next[0]);
      else if (run.size() >= 3) return Unframe(run);
      else run.clear();
    }
    return {};
  }
  // Ends the connection in order, or with RST instead of FIN when reset.
  void Close(bool reset = false) {
    const linger hard{1, 0};
    if (reset) setsockopt(m_Connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(m_Connection);
    m_Connection = -1;
    m_Pending.clear();
  }

 private:
  int m_Port = 0, m_Listener = -1, m_Connection = -1;
  Bytes m_Pending;
};

// A UDP socket on every address at a port (a free one when 0), so it also
// hears the loopback broadcast 127.255.255.255; it sends only to single addresses.
class UdpPeer {
 public:
  // The datagrams to send back for the index-th request (counted from 0).
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit UdpPeer(int port = 0) : m_Socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = LoopbackAddress("0.0.0.0", port);
    socklen_t length = sizeof address;
    if (bind(m_Socket, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      m_Port = ntohs(address.sin_port);
  }
  ~UdpPeer() {
    m_Stop.store(true);
    if (m_Thread.joinable()) m_Thread.join();
    close(m_Socket);
  }

  int Port() const { return m_Port; }  // 0 when the port was taken
  void SendTo(const Bytes& bytes, const sockaddr_in& to) {
    sendto(m_Socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  // The next datagram and its sender (may be null); false when none came within realMs.
  bool ReceiveFrom(Bytes* datagram, sockaddr_in* from, int realMs = 2000) {
    datagram->resize(65536);
    socklen_t length = sizeof *from;
    const ssize_t n = recvfrom(Waiting(m_Socket, realMs), datagram->data(), datagram->size(), 0,
                               reinterpret_cast<sockaddr*>(from), from ? &length : nullptr);
    datagram->resize(std::max<ssize_t>(n, 0));
    return n >= 0;
  }
  // From now on (call it once) a thread answers every request to its sender
  // with the script's datagrams; ReceiveFrom is not to be used then.
  void Respond(Script script) {
    m_Thread = std::thread([this, script] {
      Bytes request;
      sockaddr_in from{};
      for (int index = 0; !m_Stop.load();) {
        if (!ReceiveFrom(&request, &from, 10)) continue;
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Senders.push_back(ntohs(from.sin_port));
        for (const Bytes& reply : script(request, index++)) SendTo(reply, from);
      }
    });
  }
  // The source port of every request answered so far, in order.
  std::vector<int> Senders() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Senders;
  }

 private:
  int m_Socket = -1, m_Port = 0;
  std::atomic<bool> m_Stop{false};
  mutable std::mutex m_Lock;
  std::vector<int> m_Senders;
  std::thread m_Thread;
};

}  // namespace testsupport
