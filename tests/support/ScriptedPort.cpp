#include "support/ScriptedPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "diag/Hdlc.h"
#include "log/SystemErrorText.h"
#include "net/Clock.h"
#include "net/PortFactory.h"

namespace testsupport {

namespace {

// As the socket ports do: a failed Read pauses, so a caller looping on it
// never spins.
constexpr uint32_t FAILURE_PAUSE_MS = 100;

struct Chunk {
  Bytes m_Bytes;
  uint64_t m_ReadyTick;
};

}  // namespace

Bytes Frame(const Bytes& payload, bool leadingFlag) {
  Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), leadingFlag));
  return out;
}

class ScriptedPort;

struct ScriptedLink::State {
  std::mutex m_Lock;
  std::condition_variable m_Changed;
  Script m_Script;
  std::vector<Message> m_Messages;
  std::vector<ScriptedPort*> m_Ports;  // open ports, oldest first
  int m_Connections = 0;
  int m_RefuseConnects = 0;
  int m_FailWrites[3] = {};
};

namespace {

thread_local ScriptedPort* t_Answering = nullptr;

// A datagram or stream is "one frame" when it decodes between its flags.
bool DecodeWhole(const Bytes& wire, Bytes* payload) {
  if (wire.size() < 4 || wire.back() != HDLC_FLAG) return false;
  const size_t start = wire.front() == HDLC_FLAG ? 1 : 0;
  if (std::find(wire.begin() + start, wire.end() - 1, HDLC_FLAG) != wire.end() - 1) return false;
  Bytes out(wire.size());
  const uint32_t length = HdlcDecode(wire.data() + start, static_cast<uint32_t>(wire.size() - 1 - start), out.data());
  if (length == 0) return false;
  out.resize(length);
  *payload = std::move(out);
  return true;
}

}  // namespace

class ScriptedPort : public INetPort {
 public:
  ScriptedPort(std::shared_ptr<ScriptedLink::State> state, int kind) : m_State(std::move(state)), m_Kind(kind) {}
  ~ScriptedPort() override { Close(); }

  int SetConfig(const std::string& address, int port) override {
    m_Address = address;
    m_PeerPort = port;
    return 1;
  }

  int Open() override {
    std::lock_guard<std::mutex> hold(m_State->m_Lock);
    if (m_Kind == PORT_TCP && m_State->m_RefuseConnects > 0) {
      --m_State->m_RefuseConnects;
      m_LastError = ECONNREFUSED;
      return 0;
    }
    if (!m_Open) m_State->m_Ports.push_back(this);
    m_Open = true;
    m_Reset = false;
    m_Incoming.clear();
    if (m_Kind == PORT_TCP) m_Connection = ++m_State->m_Connections;
    m_LastError = 0;
    return 1;
  }

  int Close() override {
    std::lock_guard<std::mutex> hold(m_State->m_Lock);
    if (m_Open) {
      auto& ports = m_State->m_Ports;
      ports.erase(std::remove(ports.begin(), ports.end(), this), ports.end());
    }
    m_Open = false;
    m_State->m_Changed.notify_all();
    return 1;
  }

  int GetType() const override { return m_Kind; }

  int Cancel() override {
    std::lock_guard<std::mutex> hold(m_State->m_Lock);
    m_Cancel = true;
    m_State->m_Changed.notify_all();
    return 1;
  }

  int Write(const uint8_t* data, uint32_t length, uint32_t) override {
    Message message;
    {
      std::lock_guard<std::mutex> hold(m_State->m_Lock);
      const int error = !m_Open ? ENOTCONN : m_Reset ? ECONNRESET : 0;
      if (error != 0) {
        m_LastError = error;
        return 0;
      }
      if (m_State->m_FailWrites[m_Kind] > 0) {
        --m_State->m_FailWrites[m_Kind];
        m_LastError = EPIPE;
        return 0;
      }
      message.m_Kind = m_Kind;
      message.m_Address = m_Address;
      message.m_Port = m_PeerPort;
      message.m_Wire.assign(data, data + length);
      message.m_Framed = DecodeWhole(message.m_Wire, &message.m_Payload);
      message.m_Index = static_cast<int>(m_State->m_Messages.size());
      message.m_Connection = m_Kind == PORT_TCP ? m_Connection : 0;
      m_State->m_Messages.push_back(message);
    }
    m_LastError = 0;
    // The script runs without the lock, so it may answer at once.
    ScriptedLink::Script script;
    {
      std::lock_guard<std::mutex> hold(m_State->m_Lock);
      script = m_State->m_Script;
    }
    if (script) {
      ScriptedPort* outer = t_Answering;
      t_Answering = this;
      script(message);
      t_Answering = outer;
    }
    return 1;
  }

  int Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) override {
    *received = 0;
    std::unique_lock<std::mutex> hold(m_State->m_Lock);
    const uint64_t start = Clock::TickCount();
    for (;;) {
      if (!m_Open || m_Reset) {
        m_LastError = m_Open ? ECONNRESET : ECANCELED;
        break;
      }
      if (m_Cancel) {
        m_Cancel = false;
        m_LastError = WAIT_CANCELLED;
        break;
      }
      const uint64_t now = Clock::TickCount();
      if (!m_Incoming.empty() && m_Incoming.front().m_ReadyTick <= now) {
        *received = Take(buffer, capacity, now);
        m_LastError = 0;
        return 1;
      }
      const uint64_t elapsed = now - start;
      if (timeoutMs != INFINITE && elapsed >= timeoutMs) {
        m_LastError = WAIT_TIMED_OUT;
        break;
      }
      uint64_t wait = timeoutMs == INFINITE ? 1000 : timeoutMs - elapsed;
      if (!m_Incoming.empty()) wait = std::min<uint64_t>(wait, m_Incoming.front().m_ReadyTick - now);
      const auto real = std::chrono::microseconds(static_cast<int64_t>(wait * 1000 / Clock::Scale()) + 1);
      m_State->m_Changed.wait_for(hold, real);
    }
    hold.unlock();
    Clock::Sleep(FAILURE_PAUSE_MS);
    return 0;
  }

  // Called with the lock held.
  void Deliver(Bytes bytes, uint64_t readyTick) {
    m_Incoming.push_back(Chunk{std::move(bytes), readyTick});
    std::stable_sort(m_Incoming.begin(), m_Incoming.end(),
                     [](const Chunk& a, const Chunk& b) { return a.m_ReadyTick < b.m_ReadyTick; });
    m_State->m_Changed.notify_all();
  }
  void BreakConnection() {
    m_Reset = true;
    m_State->m_Changed.notify_all();
  }
  int Kind() const { return m_Kind; }

 private:
  // A TCP Read takes every ready byte that fits; a UDP Read one datagram.
  uint32_t Take(uint8_t* buffer, uint32_t capacity, uint64_t now) {
    if (m_Kind == PORT_UDP) {
      const Bytes datagram = std::move(m_Incoming.front().m_Bytes);
      m_Incoming.pop_front();
      const uint32_t count = std::min<uint32_t>(capacity, static_cast<uint32_t>(datagram.size()));
      std::copy_n(datagram.begin(), count, buffer);
      return count;
    }
    uint32_t count = 0;
    while (count < capacity && !m_Incoming.empty() && m_Incoming.front().m_ReadyTick <= now) {
      Bytes& front = m_Incoming.front().m_Bytes;
      const uint32_t n = std::min<uint32_t>(capacity - count, static_cast<uint32_t>(front.size()));
      std::copy_n(front.begin(), n, buffer + count);
      front.erase(front.begin(), front.begin() + n);
      count += n;
      if (front.empty()) m_Incoming.pop_front();
    }
    return count;
  }

  std::shared_ptr<ScriptedLink::State> m_State;
  const int m_Kind;
  std::string m_Address;
  int m_PeerPort = 0;
  bool m_Open = false;
  bool m_Reset = false;
  bool m_Cancel = false;
  int m_Connection = 0;
  std::deque<Chunk> m_Incoming;
};

namespace {

// The port the script answers, else the newest open port of the kind.
ScriptedPort* Target(ScriptedLink::State& state, int kind) {
  if (t_Answering && t_Answering->Kind() == kind) return t_Answering;
  for (auto it = state.m_Ports.rbegin(); it != state.m_Ports.rend(); ++it) {
    if ((*it)->Kind() == kind) return *it;
  }
  return nullptr;
}

}  // namespace

ScriptedLink::ScriptedLink(Script script) : m_State(std::make_shared<State>()) {
  m_State->m_Script = std::move(script);
  std::shared_ptr<State> state = m_State;
  SetPortMaker([state](int kind) -> std::unique_ptr<INetPort> {
    if (kind != PORT_TCP && kind != PORT_UDP) return nullptr;
    return std::make_unique<ScriptedPort>(state, kind);
  });
}

ScriptedLink::~ScriptedLink() { SetPortMaker({}); }

void ScriptedLink::SetScript(Script script) {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  m_State->m_Script = std::move(script);
}

void ScriptedLink::Answer(const Bytes& payload, uint32_t delayMs, bool leadingFlag) {
  const int kind = t_Answering ? t_Answering->Kind() : PORT_TCP;
  AnswerRaw(Frame(payload, leadingFlag || kind == PORT_UDP), delayMs, kind);
}

void ScriptedLink::AnswerRaw(const Bytes& bytes, uint32_t delayMs, int kind) {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  if (t_Answering) kind = t_Answering->Kind();
  if (ScriptedPort* port = Target(*m_State, kind)) port->Deliver(bytes, Clock::TickCount() + delayMs);
}

void ScriptedLink::Reset() {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  if (ScriptedPort* port = Target(*m_State, PORT_TCP)) port->BreakConnection();
}

void ScriptedLink::RefuseConnects(int count) {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  m_State->m_RefuseConnects = count;
}

void ScriptedLink::FailWrites(int kind, int count) {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  m_State->m_FailWrites[kind] = count;
}

std::vector<Message> ScriptedLink::Messages() const {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  return m_State->m_Messages;
}

std::vector<Bytes> ScriptedLink::Payloads(int kind) const {
  std::vector<Bytes> out;
  for (const Message& message : Messages()) {
    if (message.m_Kind == kind && message.m_Framed) out.push_back(message.m_Payload);
  }
  return out;
}

int ScriptedLink::Connections() const {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  return m_State->m_Connections;
}

int ScriptedLink::OpenPorts(int kind) const {
  std::lock_guard<std::mutex> hold(m_State->m_Lock);
  return static_cast<int>(std::count_if(m_State->m_Ports.begin(), m_State->m_Ports.end(),
                                        [kind](ScriptedPort* port) { return port->Kind() == kind; }));
}

}  // namespace testsupport
