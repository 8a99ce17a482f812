// Plain-socket peers for tests that speak to the tool or the simulator on
// loopback, byte for byte, with nothing of the tool's own transport.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "support/ScriptedPort.h"  // Bytes, Frame

namespace testsupport {

// The payload of one frame (flags optional); empty when it does not decode.
Bytes Unframe(const Bytes& frame);
Bytes Concat(std::initializer_list<Bytes> parts);

// One TCP connection on loopback, either accepted (the peer listens on a
// free port of 127.0.0.1) or made (the peer connects to a port).
class TcpPeer {
 public:
  TcpPeer();                   // listens; see Port and Accept
  explicit TcpPeer(int port);  // connects to 127.0.0.1:port
  ~TcpPeer();

  int Port() const { return m_Port; }
  // Takes the next connection, closing the previous one; false when none
  // came within realMs.
  bool Accept(int realMs = 2000);
  bool Send(const Bytes& bytes);
  bool SendFrame(const Bytes& payload, bool leadingFlag = false) { return Send(Frame(payload, leadingFlag)); }
  // What arrived until count bytes are in, realMs passed or the stream ended.
  Bytes Receive(size_t count, int realMs = 2000);
  // The payload of the next frame with at least 3 bytes between flags;
  // empty when no byte came for realMs or the stream ended.
  Bytes ReceiveFrame(int realMs = 2000);
  // Ends the connection in order, or with RST instead of FIN when reset.
  void Close(bool reset = false);

 private:
  int m_Port = 0, m_Listener = -1, m_Connection = -1;
  bool m_Closed = false;
  Bytes m_Pending;
};

// A UDP socket on every address at a port (a free one when 0), so it also
// hears the loopback broadcast 127.255.255.255.
class UdpPeer {
 public:
  // The datagrams to send back for the index-th request (counted from 0).
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit UdpPeer(int port = 0);
  ~UdpPeer();

  int Port() const { return m_Port; }  // 0 when the port was taken
  // With the leading flag, as the tool's router client sends.
  bool SendFrameTo(const Bytes& payload, const char* ip, int port);
  // The next datagram and its sender (may be null); false when none came within realMs.
  bool ReceiveFrom(Bytes* datagram, sockaddr_in* from, int realMs = 2000);
  // From now on (call it once) a thread answers every request to its sender
  // with the script's datagrams; ReceiveFrom is not to be used then.
  void Respond(Script script);
  // The source port of every request answered so far, in order.
  std::vector<int> Senders() const;

 private:
  int m_Socket = -1, m_Port = 0;
  std::atomic<bool> m_Stop{false};
  mutable std::mutex m_Lock;
  std::vector<int> m_Senders;
  std::thread m_Thread;
};

}  // namespace testsupport
