// Plain-socket peers for tests that speak to the tool or the simulator on
// loopback, byte for byte, with nothing of the tool's own transport.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
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
  TcpPeer();                      // listens; see Port and Accept
  explicit TcpPeer(int port);     // connects to 127.0.0.1:port; see Connected
  ~TcpPeer();
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;

  int Port() const { return m_Port; }
  bool Connected() const { return m_Connection >= 0; }
  // Takes the next connection, closing the previous one; false when none
  // came within realMs.
  bool Accept(int realMs = 2000);
  int Accepted() const { return m_Accepted; }

  bool Send(const Bytes& bytes);
  bool SendFrame(const Bytes& payload, bool leadingFlag = false) { return Send(Frame(payload, leadingFlag)); }
  // What arrived until count bytes are in, realMs passed or the stream ended.
  Bytes Receive(size_t count, int realMs = 2000);
  // The payload of the next frame with at least 3 bytes between flags;
  // empty when none came within realMs or the stream ended (Closed).
  Bytes ReceiveFrame(int realMs = 2000);
  bool Closed() const { return m_Closed; }

  void Reset();  // ends the connection with RST instead of FIN
  void Close();  // ends the connection in order

 private:
  bool Fill(int realMs);

  int m_Port = 0;
  int m_Listener = -1;
  int m_Connection = -1;
  int m_Accepted = 0;
  bool m_Closed = false;
  Bytes m_Pending;
};

// A UDP socket on every address at a port (a free one when 0), so it also
// hears the loopback broadcast 127.255.255.255; it may send broadcasts too.
class UdpPeer {
 public:
  // The datagrams to send back for the index-th request (counted from 0).
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit UdpPeer(int port = 0);
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  bool Bound() const { return m_Bound; }
  int Port() const { return m_Port; }

  bool SendTo(const Bytes& bytes, const char* ip, int port);
  // With the leading flag, as the tool's router client sends.
  bool SendFrameTo(const Bytes& payload, const char* ip, int port) { return SendTo(Frame(payload, true), ip, port); }
  // The next datagram and its sender's port; false when none came within realMs.
  bool ReceiveFrom(Bytes* datagram, int* fromPort, int realMs = 2000);
  // The next datagram's payload; empty when none came or it does not decode.
  Bytes ReceiveFrame(int realMs = 2000);

  // From now on (call it once) a thread answers every request to the sender
  // with the script's datagrams, each after delayRealMs; ReceiveFrom is not
  // to be used then.
  void Respond(Script script, int delayRealMs = 0);
  std::vector<Bytes> Requests() const;
  std::vector<int> SourcePorts() const;

 private:
  void Serve();

  int m_Socket = -1;
  int m_Port = 0;
  bool m_Bound = false;
  Script m_Script;
  int m_DelayRealMs = 0;
  std::atomic<bool> m_Stop{false};
  mutable std::mutex m_Lock;
  std::vector<Bytes> m_Requests;
  std::vector<int> m_SourcePorts;
  std::thread m_Thread;
};

}  // namespace testsupport
