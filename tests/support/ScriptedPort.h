// An in-memory gateway behind INetPort: while a ScriptedLink lives, every
// port the program makes (PortChannel, RouterUdpClient) is a ScriptedPort
// talking to the link's script instead of a socket. Reads, time-outs,
// resets and Cancel run on the program clock, so at a high time scale a
// test of the diagnostic exchange, the router protocol or a stage takes
// milliseconds and needs no free port. Failures behave as on the sockets:
// a failed TCP Read pauses 100 ms, a UDP Read does not; a datagram longer
// than the Read's room fails it (EMSGSIZE), an empty one reads as nothing.
//
//   ScriptedLink link([&](const Message& m) {
//     if (m.m_Kind == PORT_TCP && m.Payload(0) == 0x4B) link.Answer(reply);
//   });
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/INetPort.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// One Write as the peer sees it.
struct Message {
  int m_Kind = PORT_TCP;
  std::string m_Address;  // the port's peer address
  int m_Port = 0;
  Bytes m_Wire;           // as written
  bool m_Framed = false;  // the bytes were one frame with a good check value
  Bytes m_Payload;        // its payload when framed
  // Payload byte at, or -1 past its end.
  int Payload(size_t at) const { return at < m_Payload.size() ? m_Payload[at] : -1; }
};

// The frame a peer puts on the wire for payload.
Bytes Frame(const Bytes& payload, bool leadingFlag = false);

class ScriptedLink {
 public:
  using Script = std::function<void(const Message& message)>;

  // Installs the link as the process's port maker; the destructor restores
  // the socket ports. One link at a time.
  explicit ScriptedLink(Script script = {});
  ~ScriptedLink();
  ScriptedLink(const ScriptedLink&) = delete;
  ScriptedLink& operator=(const ScriptedLink&) = delete;

  // Replaces the script; set it before the code under test writes.
  void SetScript(Script script);

  // Answers, to the port whose Write the script is handling (outside a
  // script: the newest port of that kind). TCP bytes join the stream; a UDP
  // answer is one datagram. delayMs (program time) holds the bytes back.
  void Answer(const Bytes& payload, uint32_t delayMs = 0, bool leadingFlag = false);
  void AnswerRaw(const Bytes& bytes, uint32_t delayMs = 0, int kind = PORT_TCP);
  // Resets the newest TCP connection: the next Read or Write on it fails
  // with ECONNRESET and connects anew (refusable), as the socket port does.
  void Reset();
  // The next count TCP Opens fail with ECONNREFUSED.
  void RefuseConnects(int count);
  // The next count Writes of kind fail (EPIPE) before the script sees them.
  void FailWrites(int kind, int count);

  std::vector<Message> Messages() const;
  // The framed payloads of one kind, in order.
  std::vector<Bytes> Payloads(int kind = PORT_TCP) const;
  int Connections() const;
  // The ports of a kind that are open now.
  int OpenPorts(int kind = PORT_TCP) const;

  struct State;

 private:
  std::shared_ptr<State> m_State;
};

}  // namespace testsupport
