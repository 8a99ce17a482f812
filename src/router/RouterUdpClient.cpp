#include "router/RouterUdpClient.h"

#include <cstring>

#include "framing/Hdlc.h"
#include "log/Utf8.h"
#include "net/PortFactory.h"
#include "net/ProtocolTimes.h"
#include "platform/UserFolders.h"

const uint8_t BROADCAST_IP[4] = {0xFF, 0xFF, 0xFF, 0xFF};
const uint8_t ZERO_MAC[6] = {};
const uint8_t ZERO_IP[4] = {};

namespace {

constexpr uint32_t FRAME_BUFFER_SIZE = 512;
constexpr uint32_t DISCOVERY_REPLY_SIZE = 1024;
constexpr uint32_t REPLY_IP_OFFSET = 1;
constexpr uint32_t REPLY_MAC_OFFSET = 5;
constexpr uint32_t REPLY_TEXT_OFFSET = 11;

}  // namespace

void RouterCommand::Set(uint8_t code, const uint8_t ip[4], const uint8_t mac[6]) {
  memset(m_Bytes, 0, sizeof m_Bytes);
  m_Bytes[0] = code;
  memcpy(m_Bytes + REPLY_IP_OFFSET, ip, 4);
  memcpy(m_Bytes + REPLY_MAC_OFFSET, mac, 6);
}

bool ParseDiscoveryReply(const uint8_t* reply, uint32_t length, uint8_t mac[6], uint8_t ip[4],
                         std::string* text) {
  // A reply too short to hold address and MAC is ignored like a foreign one.
  if (length < REPLY_TEXT_OFFSET || reply[0] != ROUTER_CMD_DISCOVER) return false;
  if (memcmp(reply + REPLY_MAC_OFFSET, ZERO_MAC, 6) == 0) return false;
  memcpy(mac, reply + REPLY_MAC_OFFSET, 6);
  memcpy(ip, reply + REPLY_IP_OFFSET, 4);
  if (text) {
    // The text ends at its NUL, or at the end of the reply when it has none.
    const char* start = reinterpret_cast<const char*>(reply + REPLY_TEXT_OFFSET);
    *text = SanitizeUtf8(start, strnlen(start, length - REPLY_TEXT_OFFSET));
  }
  return true;
}

RouterUdpClient::RouterUdpClient(const uint8_t ip[4], int port, const RouterLink& link)
    : m_UdpPort(MakePort(link.m_MakePort, PORT_UDP)) {
  INoticeSink& notices = link.m_Notices ? *link.m_Notices : ProcessNotices();
  m_UdpPort->SetInterface(link.m_Interface);
  if (!m_UdpPort->SetConfig(FormatIp(ip), port)) {
    notices.ShowNotice(ProgramName(), "m_UdpPort.SetConfig() failed");
    return;
  }
  m_PortReady = m_UdpPort->Open() == 1;
  if (!m_PortReady) notices.ShowNotice(ProgramName(), "m_UdpPort.Open() failed");
}

RouterUdpClient::~RouterUdpClient() { m_UdpPort->Close(); }

bool RouterUdpClient::SendFrame(const uint8_t* payload, uint32_t length, uint32_t timeoutMs, int interfaceIndex) {
  if (HdlcMaxEncodedLength(length) > FRAME_BUFFER_SIZE) return false;
  uint8_t frame[FRAME_BUFFER_SIZE];
  const uint32_t size = HdlcEncode(payload, length, frame, 1);
  return m_UdpPort->WriteVia(interfaceIndex, frame, size, timeoutMs) == 1;
}

bool RouterUdpClient::ReceiveFrame(uint8_t* destination, uint32_t capacity, uint32_t* length,
                                   uint32_t timeoutMs, int* arrival) {
  *length = 0;
  uint8_t datagram[FRAME_BUFFER_SIZE];
  uint32_t received = 0;
  int from = 0;
  if (arrival) *arrival = 0;
  if (!m_UdpPort->ReadArrival(datagram, sizeof datagram, &received, &from, timeoutMs)) return false;
  if (arrival) *arrival = from;
  // Decoded in place, then cut to the caller's room.
  const uint32_t decoded = HdlcDecode(datagram, received, datagram);
  const uint32_t count = decoded < capacity ? decoded : capacity;
  memcpy(destination, datagram, count);
  *length = count;
  return count != 0;
}

bool RouterUdpClient::SendDiscovery(int interfaceIndex) {
  m_Request.Set(ROUTER_CMD_DISCOVER, ZERO_IP, ZERO_MAC);
  return SendFrame(m_Request.m_Bytes, ROUTER_COMMAND_SIZE, UDP_SEND_TIMEOUT_MS, interfaceIndex);
}

bool RouterUdpClient::ReceiveDiscovery(uint8_t mac[6], uint8_t ip[4], std::string* text, int* arrival,
                                       bool* ignored, uint32_t timeoutMs) {
  uint8_t reply[DISCOVERY_REPLY_SIZE];
  uint32_t length = 0;
  *ignored = false;
  if (!ReceiveFrame(reply, sizeof reply, &length, timeoutMs, arrival)) return false;
  if (ParseDiscoveryReply(reply, length, mac, ip, text)) return true;
  *ignored = true;
  return false;
}

bool RouterUdpClient::Exchange(uint32_t timeoutMs) {
  if (!SendFrame(m_Request.m_Bytes, ROUTER_COMMAND_SIZE, UDP_SEND_TIMEOUT_MS)) return false;
  uint8_t answer[FRAME_BUFFER_SIZE];
  uint32_t length = 0;
  if (!ReceiveFrame(answer, sizeof answer, &length, timeoutMs)) return false;
  if (length != ROUTER_COMMAND_SIZE) return false;
  memcpy(m_Response.m_Bytes, answer, ROUTER_COMMAND_SIZE);
  return memcmp(m_Response.m_Bytes, m_Request.m_Bytes, ROUTER_COMMAND_SIZE) == 0;
}
