#include "net/PortChannel.h"

#include <cstring>
#include <new>
#include <system_error>

#include "framing/Hdlc.h"
#include "net/Clock.h"
#include "net/FrameAssembler.h"
#include "net/PortFactory.h"
#include "net/ProtocolTimes.h"

PortChannel::PortChannel(PortMaker makePort) : m_MakePort(std::move(makePort)) {}

PortChannel::~PortChannel() { Close(); }

int PortChannel::Open(const std::string& address, int port, int kind, const std::string& interfaceName) {
  if (m_Port) {
    Close();
    Clock::Sleep(REOPEN_PAUSE_MS);
  } else {
    StopReceiveThread();  // one started without a port must not see m_Port change
  }
  std::unique_ptr<INetPort> created = MakePort(m_MakePort, kind);
  if (created) created->SetInterface(interfaceName);
  if (!created || !created->SetConfig(address, port) || !created->Open()) {
    m_State.exchange(2);
    return 0;
  }
  m_Port = std::move(created);
  m_State.exchange(0);
  return 1;
}

int PortChannel::Close() {
  std::lock_guard<std::mutex> guard(m_Lock);
  // Also without a port: a thread started on an unopened channel has ended
  // by itself but must still be joined.
  StopReceiveThread();
  if (!m_Port) {
    m_State.exchange(2);
    return 1;
  }
  const int result = m_Port->Close();
  // Deleted even when its socket failed to close; a second Close then marks
  // the channel closed.
  m_Port.reset();
  if (result == 1) m_State.exchange(2);
  return result;
}

int PortChannel::StartReceiveThread() {
  if (m_Thread.joinable()) return 1;
  // Cleared here rather than in the thread, so a Stop that follows at once
  // cannot be undone by a thread that starts late.
  m_StopFlag.exchange(0);
  try {
    m_Thread = std::thread([this] {
      ReceiveLoop();
      m_StopFlag.exchange(0);
    });
  } catch (const std::system_error&) {
    return 0;
  }
  m_ThreadRunning.exchange(true);
  Clock::Sleep(THREAD_START_PAUSE_MS);
  return 1;
}

// Every wait of the receive thread ends on Cancel (a Read, or a re-connect
// made inside one) or by itself within 1500 ms (a pause), so the join below
// is bounded and no forced termination is needed; the thread never holds
// the queue's lock across a wait.
int PortChannel::StopReceiveThread() {
  if (!m_Thread.joinable()) return 1;
  m_StopFlag.exchange(1);
  if (m_Port) m_Port->Cancel();
  m_Thread.join();
  m_ThreadRunning.exchange(false);
  return 1;
}

bool PortChannel::ReceiveThreadRunning() const { return m_ThreadRunning.load(); }

int PortChannel::ReceiveLoop() {
  FrameAssembler assembler;
  while (m_StopFlag.load() == 0) {
    INetPort* port = m_Port.get();
    if (!port) return 0;
    const uint32_t timeout = port->GetType() == PORT_TCP ? INFINITE : UNCANCELLABLE_READ_MS;
    uint8_t byte = 0;
    uint32_t received = 0;
    // A failed Read has paused already, so the loop never spins.
    if (!port->Read(&byte, 1, &received, timeout) || received == 0) continue;
    if (assembler.Feed(byte) == FrameAssembler::FRAME) {
      m_Queue.Push(assembler.Payload(), assembler.PayloadLength());
    }
  }
  return 1;
}

int PortChannel::ReadFrame(uint8_t* destination, uint32_t capacity, uint32_t* length,
                           uint32_t timeoutMs) {
  *length = 0;
  FrameAssembler assembler;
  const uint64_t start = Clock::TickCount();
  while (Clock::TickCount() - start <= timeoutMs) {
    INetPort* port = m_Port.get();
    if (!port) return 0;
    uint8_t byte = 0;
    uint32_t received = 0;
    if (!port->Read(&byte, 1, &received, FRAME_READ_TIMEOUT_MS) || received == 0) {
      Clock::Sleep(FRAME_READ_PAUSE_MS);
      continue;
    }
    const FrameAssembler::Result result = assembler.Feed(byte);
    if (result == FrameAssembler::BAD_FRAME) return 0;
    if (result == FrameAssembler::FRAME) {
      const uint32_t count = assembler.PayloadLength() < capacity ? assembler.PayloadLength() : capacity;
      memcpy(destination, assembler.Payload(), count);
      *length = count;
      return 1;
    }
  }
  return 0;
}

void PortChannel::ExpectReply(const uint8_t* pattern, uint32_t length) {
  m_Queue.SetPattern(pattern, length);
}

void PortChannel::ExpectReplyAcceptingQueued(const uint8_t* pattern, uint32_t length) {
  m_Queue.SetPatternAcceptingQueued(pattern, length);
}

uint8_t* PortChannel::SendBuffer() {
  if (!m_SendBuffer) m_SendBuffer.reset(new (std::nothrow) uint8_t[SEND_BUFFER_SIZE]);
  return m_SendBuffer.get();
}

int PortChannel::SendRaw(const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  if (!IsOpen()) return 0;
  return m_Port->Write(data, length, timeoutMs);
}

int PortChannel::SendFrame(const uint8_t* data, uint32_t length, int leadingFlag,
                           uint32_t timeoutMs) {
  if (!IsOpen()) return 0;
  // Larger payloads could overrun the buffer; none is sent in practice.
  if (HdlcMaxEncodedLength(length) > SEND_BUFFER_SIZE) return 0;
  uint8_t* buffer = SendBuffer();
  if (!buffer) return 0;
  m_SendLength = HdlcEncode(data, length, buffer, leadingFlag);
  return m_Port->Write(buffer, m_SendLength, timeoutMs);
}

int PortChannel::Receive(uint8_t* destination, uint32_t capacity, uint32_t* length,
                         uint32_t timeoutMs) {
  *length = 0;
  if (!IsOpen()) return 0;
  if (ReceiveThreadRunning()) return m_Queue.WaitReply(destination, capacity, length, timeoutMs);
  return ReadFrame(destination, capacity, length, timeoutMs);
}

int PortChannel::LastError() const { return m_Port ? m_Port->m_LastError.load() : 0; }

int PortChannel::InterfaceRefused() const { return m_Port ? m_Port->InterfaceRefused() : 0; }
