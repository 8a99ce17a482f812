#include "sim/RouterTcpProtocol.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framing/ByteOrder.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"

namespace {

constexpr size_t CONTROL_PACKET = 40;
constexpr uint8_t CONTROL_MARKER = 0xFF;
constexpr size_t MAGIC_LENGTH = 29;
constexpr size_t VALUE_OFFSET = 30;
const char MAGIC_RUT_BEGIN[] = "Zyphex RUT Begin Download Pkt";
const char MAGIC_FWT_BEGIN[] = "Zyphex FWT Begin Download Pkt";
const char MAGIC_FWT_FORCE[] = "Zyphex FWT Force Download Pkt";

bool HasMagic(const std::vector<uint8_t>& packet, const char* magic) {
  return std::memcmp(&packet[1], magic, MAGIC_LENGTH) == 0;
}

}  // namespace

RouterTcpProtocol::RouterTcpProtocol(const SimOptions& options, RouterState* router,
                                     WirelessModule* module, SimRecorder* recorder)
    : m_Options(options), m_Router(router), m_Module(module), m_Recorder(recorder) {}

size_t RouterTcpProtocol::Receive(const uint8_t* data, size_t length, SimTime now,
                                  std::vector<uint8_t>* out, bool* reset) {
  *reset = false;
  const size_t answered = out->size();
  size_t i = 0;
  while (i < length && !*reset && out->size() == answered) {
    if (m_Raw) {
      const size_t wanted = m_RawAnnounced - m_Image.size();
      const size_t n = std::min(wanted, length - i);
      m_Image.insert(m_Image.end(), data + i, data + i + n);
      i += n;
      m_LastImageByte = now;
      if (m_Image.size() == m_RawAnnounced) FinishImage(now);
      continue;
    }
    if (m_Cutter.Push(data[i++])) {
      const std::vector<uint8_t>& frame = m_Cutter.Frame();
      std::vector<uint8_t> payload;
      if (DecodeFrame(frame.data(), frame.size(), &payload))
        OnFrame(payload, now, out, reset);
      else
        m_Recorder->Note("tcp <- a frame with a bad check value (" + std::to_string(frame.size()) +
                         " bytes), dropped");
    }
  }
  return i;
}

void RouterTcpProtocol::OnFrame(const std::vector<uint8_t>& payload, SimTime now,
                                std::vector<uint8_t>* out, bool* reset) {
  if (payload.size() == CONTROL_PACKET && payload[0] == CONTROL_MARKER) {
    const uint32_t value = ReadLe32(&payload[VALUE_OFFSET]);
    if (HasMagic(payload, MAGIC_RUT_BEGIN)) {
      m_Recorder->Request("tcp", "rut-begin", "size=" + std::to_string(value));
      if (m_Options.m_Faults.m_FailEveryTenthPass) BeginPass();
      m_Raw = true;
      m_RawAnnounced = value;
      m_Image.clear();
      m_ResultDue = SIM_NEVER;
      if (value == 0) FinishImage(now);
      return;
    }
    if (HasMagic(payload, MAGIC_FWT_BEGIN)) {
      m_Recorder->Request("tcp", "fwt-begin", "value=" + std::to_string(value));
      return;
    }
    if (HasMagic(payload, MAGIC_FWT_FORCE)) {
      m_Recorder->Request("tcp", "fwt-force", "value=" + std::to_string(value));
      m_Router->m_ForceLoad = true;
      return;
    }
  }
  const std::vector<uint8_t> reply = m_Module->Handle(payload.data(), payload.size(), now, reset);
  if (*reset || reply.empty()) return;
  const std::vector<uint8_t> frame = EncodeFrame(reply, true);
  out->insert(out->end(), frame.begin(), frame.end());
}

void RouterTcpProtocol::BeginPass() {
  const int pass = m_Router->m_Passes.Begin();
  if (pass == 0) return;
  const std::string& step = m_Router->m_Passes.FailingStep();
  m_Recorder->Note("upgrade pass " + std::to_string(pass) + (step.empty() ? "" : ", failing at " + step));
}

void RouterTcpProtocol::FinishImage(SimTime now) {
  m_Raw = false;
  m_Recorder->RouterImage(m_Image);
  m_ImageEvent = m_Recorder->Request(
      "tcp", "rut-image",
      "bytes=" + std::to_string(m_Image.size()) + " of " + std::to_string(m_RawAnnounced));
  const SimFaults& faults = m_Options.m_Faults;
  if (faults.m_NoRouterResult) {
    m_Recorder->Silent(m_ImageEvent, "no-result fault");
    return;
  }
  m_ResultDue = now + ScaledDelay(m_Options.m_InstallMs, m_Options.m_TimeScale) +
                ScaledDelay(faults.m_ResultDelayMs, m_Options.m_TimeScale);
}

void RouterTcpProtocol::OnTimer(SimTime now, std::vector<uint8_t>* out) {
  if (m_Raw && !m_Image.empty() && now - m_LastImageByte >= IdleLimit()) FinishImage(now);
  if (now < m_ResultDue) return;
  m_ResultDue = SIM_NEVER;
  const bool fails = m_Router->m_Passes.Fails("rut-image");
  const uint32_t code = fails ? 1u : static_cast<uint32_t>(m_Options.m_Faults.m_RouterResultCode);
  std::vector<uint8_t> packet(CONTROL_PACKET, 0);
  packet[0] = CONTROL_MARKER;
  WriteLe32(&packet[VALUE_OFFSET], code);
  m_Recorder->Answer(m_ImageEvent, "result code=" + std::to_string(code));
  const std::vector<uint8_t> frame = EncodeFrame(packet, true);
  out->insert(out->end(), frame.begin(), frame.end());
}

SimTime RouterTcpProtocol::Deadline() const {
  if (m_Raw) return m_Image.empty() ? SIM_NEVER : m_LastImageByte + IdleLimit();
  return m_ResultDue;
}

SimClock::duration RouterTcpProtocol::IdleLimit() const {
  return std::max<SimClock::duration>(ScaledDelay(IMAGE_IDLE_MS, m_Options.m_TimeScale),
                                      std::chrono::milliseconds(IMAGE_IDLE_MIN_REAL_MS));
}

void RouterTcpProtocol::EndConnection() {
  if (m_Raw && !m_Image.empty()) {
    m_Recorder->RouterImage(m_Image);
    m_Recorder->Note("tcp: image cut short at " + std::to_string(m_Image.size()) + " bytes");
  }
  m_Router->m_Passes.End();
  m_Raw = false;
  m_Image.clear();
  m_ResultDue = SIM_NEVER;
  m_Cutter.Clear();
}
