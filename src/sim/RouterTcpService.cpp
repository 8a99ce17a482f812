#include "sim/RouterTcpService.h"

#include <cstring>

#include "net/ProtocolTimes.h"
#include "sim/SimRecorder.h"
#include "sim/SimSocket.h"

RouterTcpService::RouterTcpService(const SimOptions& options, const uint8_t ip[4],
                                   RouterState* router, WirelessModule* module,
                                   SimRecorder* recorder)
    : m_Options(options), m_Recorder(recorder), m_Protocol(options, router, module, recorder) {
  std::memcpy(m_Ip, ip, 4);
}

RouterTcpService::~RouterTcpService() { Close(); }

void RouterTcpService::Close() {
  Drop(false, "the simulator stops");
  m_Listener.Close();
}

bool RouterTcpService::Open(std::string* error) {
  return OpenTcpListener(m_Ip, m_Options.m_Port, &m_Listener, error);
}

void RouterTcpService::OnAcceptable(SimTime now) {
  (void)now;
  for (CSocket connection; m_Listener.Accept(&connection);) Adopt(std::move(connection));
}

void RouterTcpService::Adopt(CSocket connection) {
  if (m_Connection.IsOpen()) Drop(false, "replaced by a new connection");
  m_Connection = std::move(connection);
  ++m_ConnectionCount;
  m_Recorder->Note("tcp connection " + std::to_string(m_ConnectionCount) + " accepted");
}

void RouterTcpService::OnReadable(SimTime now) {
  uint8_t buffer[65536];
  while (m_Connection.IsOpen()) {
    size_t n = 0;
    const IoResult result = m_Connection.Receive(buffer, sizeof buffer, &n);
    if (result == IoResult::DONE) {
      Take(buffer, n, now);
      continue;
    }
    if (result == IoResult::WOULD_BLOCK) return;
    Drop(false, result == IoResult::CLOSED ? "closed by the peer" : "broken");
  }
}

void RouterTcpService::Take(const uint8_t* data, size_t length, SimTime now) {
  size_t at = 0;
  while (at < length && m_Connection.IsOpen()) {
    std::vector<uint8_t> answer;
    bool reset = false;
    at += m_Protocol.Receive(data + at, length - at, now, &answer, &reset);
    if (reset)
      Drop(true, "reset by a fault");
    else
      Send(answer);
  }
}

void RouterTcpService::OnTimer(SimTime now) {
  if (!m_Connection.IsOpen()) return;
  std::vector<uint8_t> result;
  m_Protocol.OnTimer(now, &result);
  Send(result);
}

SimTime RouterTcpService::Deadline() const {
  return m_Connection.IsOpen() ? m_Protocol.Deadline() : SIM_NEVER;
}

void RouterTcpService::Send(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return;
  if (!SendAll(m_Connection, bytes.data(), bytes.size(), static_cast<int>(SEND_TIMEOUT_MS)))
    Drop(false, "the answer could not be sent");
}

void RouterTcpService::Drop(bool reset, const std::string& why) {
  if (!m_Connection.IsOpen()) return;
  m_Protocol.EndConnection();
  if (reset)
    m_Connection.CloseWithReset();
  else
    m_Connection.Close();
  m_Recorder->Note("tcp connection " + std::to_string(m_ConnectionCount) + " " +
                   (reset ? "reset" : "ended") + ": " + why);
}
