// Small peers on loopback for the transport and router tests: a TCP
// listener that plays scripted bytes, resets and closes, and a UDP
// responder that answers each request with scripted datagrams.
// Header-only: it is test code and stays out of the core library.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "diag/Hdlc.h"
#include "support/TestSupport.h"

namespace testpeers {

using Bytes = std::vector<uint8_t>;

// The frame a peer sends for payload: [7E] escaped payload, FCS, 7E.
inline Bytes Frame(const Bytes& payload, bool leadingFlag = true) {
  Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), leadingFlag));
  return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Waits up to realMs for fd to become readable.
inline bool Readable(int fd, int realMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, realMs) == 1;
}

// A listening TCP socket on 127.0.0.1 and the connections it accepted.
class TcpPeer {
 public:
  TcpPeer() : m_Port(testsupport::FreePort()) {
    m_Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_Listener, 16);
  }
  ~TcpPeer() {
    if (m_Connection >= 0) close(m_Connection);
    close(m_Listener);
  }
  int Port() const { return m_Port; }

  // Accepts the next connection (closing the previous one); false when none
  // came within realMs.
  bool Accept(int realMs = 2000) {
    if (!Readable(m_Listener, realMs)) return false;
    const int fd = accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    if (m_Connection >= 0) close(m_Connection);
    m_Connection = fd;
    ++m_Accepted;
    return true;
  }
  int Accepted() const { return m_Accepted; }

  bool Send(const Bytes& bytes) {
    return send(m_Connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // Reads what arrives until count bytes are in or realMs pass.
  Bytes Receive(size_t count, int realMs = 2000) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Readable(m_Connection, static_cast<int>(left.count()))) break;
      uint8_t buffer[4096];
      const ssize_t n = recv(m_Connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  // Ends the connection with a reset (RST instead of FIN).
  void Reset() {
    linger hard{1, 0};
    setsockopt(m_Connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(m_Connection);
    m_Connection = -1;
  }
  // Ends the connection in order (FIN).
  void CloseConnection() {
    close(m_Connection);
    m_Connection = -1;
  }

 private:
  int m_Port;
  int m_Listener = -1;
  int m_Connection = -1;
  int m_Accepted = 0;
};

// A UDP socket bound to every address of the test's port, so it also hears
// the loopback broadcast 127.255.255.255. Each request is handed to the
// script, and every datagram the script returns goes back to the sender,
// after delayRealMs each.
class UdpResponder {
 public:
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit UdpResponder(Script script, int port = testsupport::FreePort())
      : m_Port(port), m_Script(std::move(script)) {
    m_Socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_Port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    m_Bound = bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    m_Thread = std::thread([this] { Run(); });
  }
  ~UdpResponder() {
    m_Stop.store(true);
    m_Thread.join();
    close(m_Socket);
  }
  int Port() const { return m_Port; }
  bool Bound() const { return m_Bound; }
  void SetDelayRealMs(int ms) { m_DelayRealMs.store(ms); }

  // The requests seen so far and the source port of each.
  std::vector<Bytes> Requests() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Requests;
  }
  std::vector<int> SourcePorts() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_SourcePorts;
  }

 private:
  void Run() {
    while (!m_Stop.load()) {
      if (!Readable(m_Socket, 10)) continue;
      uint8_t buffer[2048];
      sockaddr_in from{};
      socklen_t size = sizeof from;
      const ssize_t n = recvfrom(m_Socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
      if (n < 0) continue;
      const Bytes request(buffer, buffer + n);
      int index;
      {
        std::lock_guard<std::mutex> guard(m_Lock);
        index = static_cast<int>(m_Requests.size());
        m_Requests.push_back(request);
        m_SourcePorts.push_back(ntohs(from.sin_port));
      }
      for (const Bytes& reply : m_Script(request, index)) {
        const int delay = m_DelayRealMs.load();
        if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        sendto(m_Socket, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
      }
    }
  }

  int m_Port;
  Script m_Script;
  int m_Socket = -1;
  bool m_Bound = false;
  std::atomic<bool> m_Stop{false};
  std::atomic<int> m_DelayRealMs{0};
  mutable std::mutex m_Lock;
  std::vector<Bytes> m_Requests;
  std::vector<int> m_SourcePorts;
  std::thread m_Thread;
};

}  // namespace testpeers
