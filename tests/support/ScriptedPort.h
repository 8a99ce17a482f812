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

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framing/Hdlc.h"
#include "net/INetPort.h"
#include "net/PortFactory.h"
#include "net/ProtocolTimes.h"
#include "platform/SystemError.h"
#include "support/TestSupport.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// One Write as the peer sees it.
struct Message {
  int m_Kind = PORT_TCP, m_Port = 0;
  std::string m_Address;  // the port's peer address
  std::string m_Interface;  // the interface the port was tied to
  Bytes m_Wire, m_Payload;  // as written; its payload when framed
  bool m_Framed = false;  // the bytes were one frame with a good check value
  // Payload byte at, or -1 past its end.
  int Payload(size_t at) const { return at < m_Payload.size() ? m_Payload[at] : -1; }
};

// The frame a peer puts on the wire for payload.
inline Bytes Frame(const Bytes& payload, bool leadingFlag = false) {
  Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), leadingFlag));
  return out;
}

// The payload of one frame (flags optional); empty when it does not decode.
inline Bytes Unframe(Bytes frame) {
  frame.resize(HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), frame.data()));  // in place
  return frame;
}

class ScriptedPort;

// What a link and its ports share.
struct LinkState {
  std::mutex m_Lock;
  std::condition_variable m_Changed;
  std::function<void(const Message& message)> m_Script;
  std::vector<Message> m_Messages;
  std::vector<ScriptedPort*> m_Ports;  // open ports, oldest first
  int m_Connections = 0, m_RefuseConnects = 0, m_FailWrites[3] = {};
  int m_InterfaceRefusal = 0;  // the errno a port tied to an interface reports
  // Runs f with the lock held.
  template <typename F>
  auto Locked(F f) {
    std::lock_guard<std::mutex> hold(m_Lock);
    return f();
  }
};

inline thread_local ScriptedPort* t_Answering = nullptr;  // the port whose Write the script handles

class ScriptedPort : public INetPort {
 public:
  ScriptedPort(std::shared_ptr<LinkState> state, int kind) : m_State(std::move(state)), m_Kind(kind) {}
  ~ScriptedPort() override { Close(); }
  int GetType() const override { return m_Kind; }
  int SetConfig(const std::string& address, int port) override { m_Address = address; m_PeerPort = port; return 1; }
  int Open() override { m_LastError = m_State->Locked([this] { return Connect(); }); return m_LastError == 0; }
  int Close() override { m_State->Locked([this] { Unlist(); }); return 1; }
  int Cancel() override { m_State->Locked([this] { m_Cancel = true; }); m_State->m_Changed.notify_all(); return 1; }
  void SetInterface(const std::string& name) override { m_Interface = name; }
  int InterfaceRefused() const override {
    return m_Interface.empty() ? 0 : m_State->Locked([this] { return m_State->m_InterfaceRefusal; });
  }

  int Write(const uint8_t* data, uint32_t length, uint32_t) override {
    Message message{m_Kind, m_PeerPort, m_Address, m_Interface, Bytes(data, data + length), {}, false};
    // One frame with a good check value, flags only at its ends.
    if (length >= 4 && data[length - 1] == HDLC_FLAG && !std::count(data + 1, data + length - 1, HDLC_FLAG))
      message.m_Framed = !(message.m_Payload = Unframe(message.m_Wire)).empty();
    std::function<void(const Message&)> script;
    const int error = m_State->Locked([&] {
      int& failing = m_State->m_FailWrites[m_Kind];
      const int error = !m_Open ? ENOTCONN : m_Reset ? Reconnect() : failing-- > 0 ? EPIPE : 0;
      if (error == 0) { m_State->m_Messages.push_back(message); script = m_State->m_Script; }
      return m_LastError = error;
    });
    if (error == CONNECTION_RESET) Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    if (error != 0) return 0;
    // The script runs without the lock, so it may answer at once.
    ScriptedPort* outer = std::exchange(t_Answering, this);
    if (script) script(message);
    t_Answering = outer;
    return 1;
  }

  // TCP: the ready bytes of one answer that fit; UDP: one datagram, which must fit.
  int Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) override {
    *received = 0;
    std::unique_lock<std::mutex> hold(m_State->m_Lock);
    const uint64_t start = Clock::TickCount();
    for (;;) {
      const uint64_t now = Clock::TickCount();
      int error = !m_Open ? ECANCELED : m_Reset ? Reconnect() : std::exchange(m_Cancel, false) ? WAIT_CANCELLED : 0;
      if (error == 0 && !m_Incoming.empty() && m_Incoming.front().first <= now) {
        Bytes& front = m_Incoming.front().second;
        const bool tooLong = m_Kind == PORT_UDP && front.size() > capacity;
        *received = tooLong ? 0 : std::min<uint32_t>(capacity, static_cast<uint32_t>(front.size()));
        std::copy_n(front.begin(), *received, buffer);
        front.erase(front.begin(), front.begin() + *received);
        if (front.empty() || m_Kind == PORT_UDP) m_Incoming.pop_front();
        m_LastError = tooLong ? EMSGSIZE : 0;
        return *received > 0;
      }
      if (error == 0 && timeoutMs != INFINITE && now - start >= timeoutMs) error = WAIT_TIMED_OUT;
      if ((m_LastError = error) != 0) break;
      uint64_t wait = timeoutMs == INFINITE ? 1000 : start + timeoutMs - now;
      if (!m_Incoming.empty()) wait = std::min<uint64_t>(wait, m_Incoming.front().first - now);
      m_State->m_Changed.wait_for(hold, std::chrono::microseconds(static_cast<int64_t>(wait * 1000 / Clock::Scale()) + 1));
    }
    hold.unlock();
    if (m_Kind == PORT_TCP) Clock::Sleep(PORT_FAILURE_PAUSE_MS);
    return 0;
  }

  // With the lock held: bytes readable from readyTick on; a reset.
  void Deliver(Bytes bytes, uint64_t readyTick) {
    const auto later = std::upper_bound(m_Incoming.begin(), m_Incoming.end(), readyTick,
                                        [](uint64_t tick, const auto& chunk) { return tick < chunk.first; });
    m_Incoming.insert(later, {readyTick, std::move(bytes)});
    m_State->m_Changed.notify_all();
  }
  void BreakConnection() {
    m_Reset = true;
    m_State->m_Changed.notify_all();
  }

 private:
  // With the lock held: opens the connection (which counts) unless refused.
  int Connect() {
    if (m_Kind == PORT_TCP && m_State->m_RefuseConnects-- > 0) { Unlist(); return CONNECTION_REFUSED; }
    if (!m_Open) m_State->m_Ports.push_back(this);
    m_Open = true;
    m_Reset = false;
    m_Incoming.clear();
    m_State->m_Connections += m_Kind == PORT_TCP;
    return 0;
  }
  // A reset connection fails the call that finds it and is made anew.
  int Reconnect() { Connect(); return CONNECTION_RESET; }
  void Unlist() {
    auto& ports = m_State->m_Ports;
    ports.erase(std::remove(ports.begin(), ports.end(), this), ports.end());
    m_Open = false;
    m_State->m_Changed.notify_all();
  }

  std::shared_ptr<LinkState> m_State;
  const int m_Kind;
  std::string m_Address, m_Interface;
  int m_PeerPort = 0;
  bool m_Open = false, m_Reset = false, m_Cancel = false;
  std::deque<std::pair<uint64_t, Bytes>> m_Incoming;  // ready tick, bytes
};

// The port the script answers, else the newest open port of the kind.
inline ScriptedPort* Target(LinkState& state, int kind) {
  if (t_Answering && t_Answering->GetType() == kind) return t_Answering;
  const auto newest = std::find_if(state.m_Ports.rbegin(), state.m_Ports.rend(),
                                   [kind](ScriptedPort* port) { return port->GetType() == kind; });
  return newest == state.m_Ports.rend() ? nullptr : *newest;
}


class ScriptedLink {
 public:
  using Script = std::function<void(const Message& message)>;

  explicit ScriptedLink(Script script = {}) : m_State(std::make_shared<LinkState>()) {
    m_State->m_Script = std::move(script);
  }
  ScriptedLink(const ScriptedLink&) = delete;
  ScriptedLink& operator=(const ScriptedLink&) = delete;

  // The maker of the link's ports, for the code under test.
  PortMaker Maker() const {
    return [state = m_State](int kind) -> std::unique_ptr<INetPort> {
      return kind == PORT_TCP || kind == PORT_UDP ? std::make_unique<ScriptedPort>(state, kind) : nullptr;
    };
  }

  // Replaces the script; set it before the code under test writes.
  void SetScript(Script script) { m_State->Locked([&] { m_State->m_Script = std::move(script); }); }

  // Answers, to the port whose Write the script is handling (outside a
  // script: the newest port of that kind). TCP bytes join the stream; a UDP
  // answer is one datagram. delayMs (program time) holds the bytes back.
  void Answer(const Bytes& payload, uint32_t delayMs = 0, bool leadingFlag = false) {
    const int kind = t_Answering ? t_Answering->GetType() : PORT_TCP;
    AnswerRaw(Frame(payload, leadingFlag || kind == PORT_UDP), delayMs, kind);
  }
  void AnswerRaw(const Bytes& bytes, uint32_t delayMs = 0, int kind = PORT_TCP) {
    m_State->Locked([&] {
      if (ScriptedPort* port = Target(*m_State, t_Answering ? t_Answering->GetType() : kind))
        port->Deliver(bytes, Clock::TickCount() + delayMs);
    });
  }
  // Resets the newest TCP connection: the next Read or Write on it fails
  // with a reset and connects anew (refusable), as the socket port does.
  void Reset() { m_State->Locked([&] { if (ScriptedPort* port = Target(*m_State, PORT_TCP)) port->BreakConnection(); }); }
  // The next count TCP Opens are refused.
  void RefuseConnects(int count) { m_State->Locked([&] { m_State->m_RefuseConnects = count; }); }
  // Ports tied to an interface report that the system refused it (errno).
  void RefuseInterfaces(int error) { m_State->Locked([&] { m_State->m_InterfaceRefusal = error; }); }
  // The next count Writes of kind fail (EPIPE) before the script sees them.
  void FailWrites(int kind, int count) { m_State->Locked([&] { m_State->m_FailWrites[kind] = count; }); }

  std::vector<Message> Messages() const { return m_State->Locked([&] { return m_State->m_Messages; }); }
  // The framed payloads of one kind, in order.
  std::vector<Bytes> Payloads(int kind = PORT_TCP) const {
    std::vector<Bytes> out;
    for (const Message& message : Messages())
      if (message.m_Kind == kind && message.m_Framed) out.push_back(message.m_Payload);
    return out;
  }
  int Connections() const { return m_State->Locked([&] { return m_State->m_Connections; }); }
  // The ports of a kind that are open now.
  int OpenPorts(int kind = PORT_TCP) const {
    const auto ofKind = [kind](ScriptedPort* port) { return port->GetType() == kind; };
    return m_State->Locked([&] { return int(std::count_if(m_State->m_Ports.begin(), m_State->m_Ports.end(), ofKind)); });
  }

 private:
  std::shared_ptr<LinkState> m_State;
};

}  // namespace testsupport
