#include "sim/RouterUdpService.h"

#include <cstring>

#include "net/AddressText.h"
#include "sim/SimFrame.h"
#include "sim/SimRecorder.h"
#include "sim/SimSocket.h"
#include "sim/WirelessModule.h"

namespace {

constexpr uint8_t CMD_DISCOVER = 1;
constexpr uint8_t CMD_ERASE_NVRAM = 6;
constexpr uint8_t CMD_ENTER_FORCE_LOAD = 7;
constexpr uint8_t CMD_LEAVE_FORCE_LOAD = 8;
constexpr uint8_t CMD_PING = 10;
constexpr size_t RECORD_SIZE = 32;
constexpr size_t TEXT_OFFSET = 11;
// The tool reads a datagram into 512 bytes; a text of this length still fits
// when every byte of it has to be escaped.
constexpr size_t MAX_TEXT = 200;

std::string CommandName(uint8_t code) {
  switch (code) {
    case CMD_DISCOVER: return "discover";
    case CMD_ERASE_NVRAM: return "erase-nvram";
    case CMD_ENTER_FORCE_LOAD: return "enter-force-load";
    case CMD_LEAVE_FORCE_LOAD: return "leave-force-load";
    case CMD_PING: return "ping";
    default: return "unknown";
  }
}

std::string RecordDetail(const std::vector<uint8_t>& request) {
  if (request.size() < TEXT_OFFSET) return "(" + std::to_string(request.size()) + " bytes)";
  return "ip=" + FormatIp(&request[1]) + " mac=" + FormatMac(&request[5]);
}

}  // namespace

RouterUdpService::RouterUdpService(const SimOptions& options, const uint8_t reportedIp[4],
                                   RouterState* router, WirelessModule* module,
                                   SimRecorder* recorder)
    : m_Options(options), m_Router(router), m_Module(module), m_Recorder(recorder) {
  std::memcpy(m_ReportedIp, reportedIp, 4);
}

RouterUdpService::~RouterUdpService() { Close(); }

void RouterUdpService::Close() { m_Socket.Close(); }

// Without an interface the socket takes every address, and loopback alone
// is answered (see OnReadable): a system that cannot tie a socket to its
// loopback device serves it so too.
bool RouterUdpService::Open(std::string* error) {
  return OpenUdpSocket(m_Options.m_Interface, m_Options.m_Port, &m_Socket, error);
}

void RouterUdpService::OnReadable(SimTime now) {
  uint8_t datagram[2048];
  for (;;) {
    Ipv4Endpoint sender;
    size_t n = 0;
    const IoResult result = m_Socket.ReceiveFrom(datagram, sizeof datagram, &n, &sender, nullptr);
    if (result == IoResult::WOULD_BLOCK || result == IoResult::FAILED) return;  // nothing more waiting
    if (result == IoResult::TOO_LONG) {
      m_Recorder->Note("udp <- a datagram too long to be a frame, dropped");
      continue;
    }
    // Serving loopback, it answers nobody else.
    if (m_Options.m_Interface.empty() && sender.m_Ip[0] != 127) continue;
    std::vector<uint8_t> request;
    if (!DecodeFrame(datagram, static_cast<size_t>(n), &request)) {
      m_Recorder->Note("udp <- a datagram that is not a valid frame (" + std::to_string(n) +
                       " bytes)");
      continue;
    }
    const std::vector<uint8_t> answer = Answer(request, now);
    if (answer.empty()) continue;
    m_Socket.SendTo(sender, answer.data(), answer.size());
  }
}

std::vector<uint8_t> RouterUdpService::Answer(const std::vector<uint8_t>& request, SimTime now) {
  const uint8_t code = request[0];
  const std::string name = CommandName(code);
  const size_t event =
      m_Recorder->Request("udp", name, code == CMD_DISCOVER ? "" : RecordDetail(request));
  const SimFaults& faults = m_Options.m_Faults;
  switch (code) {
    case CMD_DISCOVER:
      if (faults.m_NoDiscoveryAnswer) break;
      return DiscoveryReply(event);
    case CMD_ERASE_NVRAM:
      if (faults.m_EraseNotAnswered) break;
      m_Recorder->Answer(event, "echo");
      return EncodeFrame(request, true);
    case CMD_ENTER_FORCE_LOAD:
      if (faults.m_ForceLoadRefused) break;
      m_Router->m_ForceLoad = true;
      m_Recorder->Answer(event, "echo");
      m_Module->Restart(now, false, "forcing download mode");
      return EncodeFrame(request, true);
    case CMD_LEAVE_FORCE_LOAD:
      m_Router->m_ForceLoad = false;
      m_Recorder->Answer(event, "echo");
      return EncodeFrame(request, true);
    case CMD_PING:
      if (now < m_Router->m_PingSilentUntil || m_Router->m_PingsLeft == 0) break;
      if (m_Router->m_PingsLeft > 0) --m_Router->m_PingsLeft;
      m_Recorder->Answer(event, "echo");
      return EncodeFrame(request, true);
    default:
      m_Recorder->Silent(event, "unknown command " + std::to_string(code));
      return {};
  }
  const char* why = code == CMD_DISCOVER      ? "no-discovery fault"
                    : code == CMD_ERASE_NVRAM ? "erase-silent fault"
                    : code == CMD_ENTER_FORCE_LOAD ? "force-refused fault"
                    : m_Router->m_PingsLeft == 0 ? "second-check-silent fault: one ping after the restart"
                                              : "ping-silent fault: router restarting";
  m_Recorder->Silent(event, why);
  return {};
}

std::vector<uint8_t> RouterUdpService::DiscoveryReply(size_t event) {
  const SimFaults& faults = m_Options.m_Faults;
  std::string text = m_Options.m_RouterVersion.substr(0, MAX_TEXT);
  std::vector<uint8_t> reply(std::max(RECORD_SIZE, TEXT_OFFSET + text.size() + 1), 0);
  reply[0] = CMD_DISCOVER;
  std::memcpy(&reply[1], m_ReportedIp, 4);
  if (!faults.m_ZeroMac) std::memcpy(&reply[5], m_Options.m_Mac, 6);
  std::memcpy(&reply[TEXT_OFFSET], text.data(), text.size());
  m_Recorder->Answer(event, "ip=" + FormatIp(&reply[1]) + " mac=" + FormatMac(&reply[5]) +
                                " version=" + text + (faults.m_CorruptFcs ? " (bad FCS)" : ""));
  return EncodeFrame(reply.data(), reply.size(), true, faults.m_CorruptFcs);
}
