// Plain-socket peers for tests that speak to the tool or the simulator on
// loopback, byte for byte, with nothing of the tool's own transport but the
// system's sockets.
#pragma once

#include <atomic>
#include <cstring>

#include "net/AddressText.h"
#include "support/ScriptedPort.h"  // Bytes, Frame, Unframe
#include "support/TestSupport.h"

namespace testsupport {

inline Ipv4Endpoint LoopbackAddress(const char* ip, int port) {
  Ipv4Endpoint address;
  ParseIp(ip, address.m_Ip);
  address.m_Port = static_cast<uint16_t>(port);
  return address;
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
  TcpPeer() : m_Port(FreePort()) {
    m_Listener.Open(CSocket::TCP);
    m_Listener.ReuseAddress();
    m_Listener.Bind(LoopbackAddress("127.0.0.1", m_Port));
    m_Listener.Listen(16);
  }
  // Connects to 127.0.0.1:port.
  explicit TcpPeer(int port) : m_Port(port) {
    m_Connection.Open(CSocket::TCP);
    if (m_Connection.Connect(LoopbackAddress("127.0.0.1", port)) == IoResult::WOULD_BLOCK)
      m_Connection.Wait(true, nullptr, 2000);
  }
  ~TcpPeer() { Close(); }

  int Port() const { return m_Port; }
  // Takes the next connection, closing the previous one; false when none
  // came within realMs.
  bool Accept(int realMs = 2000) {
    CSocket connection;
    if (m_Listener.Wait(false, nullptr, realMs) != SocketWait::Ready || !m_Listener.Accept(&connection)) return false;
    Close();
    m_Connection = std::move(connection);
    return true;
  }
  bool Send(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      size_t sent = 0;
      const IoResult result = m_Connection.Send(bytes.data() + done, bytes.size() - done, &sent);
      if (result == IoResult::WOULD_BLOCK && m_Connection.Wait(true, nullptr, 2000) == SocketWait::Ready) continue;
      if (result != IoResult::DONE) return false;
      done += sent;
    }
    return true;
  }
  // What arrived until count bytes are in, realMs passed or the stream ended.
  Bytes Receive(size_t count, int realMs = 2000) {
    uint8_t chunk[4096];
    while (m_Pending.size() < count) {
      size_t n = 0;
      const IoResult result = m_Connection.Receive(chunk, sizeof chunk, &n);
      if (result == IoResult::DONE) {
        m_Pending.insert(m_Pending.end(), chunk, chunk + n);
        continue;
      }
      if (result != IoResult::WOULD_BLOCK || m_Connection.Wait(false, nullptr, realMs) != SocketWait::Ready) break;
    }
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
    if (reset) m_Connection.CloseWithReset();
    m_Connection.Close();
    m_Pending.clear();
  }

 private:
  int m_Port = 0;
  CSocket m_Listener, m_Connection;
  Bytes m_Pending;
};

// A UDP socket on every address at a port (a free one when 0), so it also
// hears the loopback broadcast 127.255.255.255; it sends only to single addresses.
class UdpPeer {
 public:
  // The datagrams to send back for the index-th request (counted from 0).
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit UdpPeer(int port = 0) {
    m_Socket.Open(CSocket::UDP);
    if (m_Socket.Bind(LoopbackAddress("0.0.0.0", port))) m_Port = m_Socket.LocalPort();
  }
  ~UdpPeer() {
    m_Stop.store(true);
    if (m_Thread.joinable()) m_Thread.join();
  }

  int Port() const { return m_Port; }  // 0 when the port was taken
  void SendTo(const Bytes& bytes, const Ipv4Endpoint& to) { m_Socket.SendTo(to, bytes.data(), bytes.size()); }
  // The next datagram and its sender (may be null); false when none came within realMs.
  bool ReceiveFrom(Bytes* datagram, Ipv4Endpoint* from, int realMs = 2000) {
    datagram->resize(65536);
    size_t n = 0;
    IoResult result = m_Socket.ReceiveFrom(datagram->data(), datagram->size(), &n, from, nullptr);
    if (result == IoResult::WOULD_BLOCK && m_Socket.Wait(false, nullptr, realMs) == SocketWait::Ready)
      result = m_Socket.ReceiveFrom(datagram->data(), datagram->size(), &n, from, nullptr);
    datagram->resize(n);
    return result == IoResult::DONE;
  }
  // From now on (call it once) a thread answers every request to its sender
  // with the script's datagrams; ReceiveFrom is not to be used then.
  void Respond(Script script) {
    m_Thread = std::thread([this, script] {
      Bytes request;
      Ipv4Endpoint from;
      for (int index = 0; !m_Stop.load();) {
        if (!ReceiveFrom(&request, &from, 10)) continue;
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Senders.push_back(from.m_Port);
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
  CSocket m_Socket;
  int m_Port = 0;
  std::atomic<bool> m_Stop{false};
  mutable std::mutex m_Lock;
  std::vector<int> m_Senders;
  std::thread m_Thread;
};

}  // namespace testsupport
