#include "router/RouterUpgrade.h"

#include <algorithm>
#include <cstring>

#include "model/StringIds.h"
#include "net/Clock.h"
#include "net/ProtocolTimes.h"
#include "platform/SystemError.h"
#include "router/RouterControlPacket.h"
#include "router/RouterUdpClient.h"

namespace {

constexpr uint32_t ROUTER_BLOCK_SIZE = 7300;
constexpr uint32_t RESULT_BUFFER_SIZE = 512;

// The log line and magic text of a begin packet type; null for others.
const char* BeginLogLine(int type) {
  switch (type) {
    case BEGIN_RUT: return "Sending RUT Begin Pkt";
    case BEGIN_FWT: return "Sending FWT Begin Pkt";
    case BEGIN_FWT_FORCE: return "Sending FWT Force Pkt";
    default: return nullptr;
  }
}
const char* BeginMagic(int type) {
  switch (type) {
    case BEGIN_RUT: return "Zyphex RUT Begin Download Pkt";
    case BEGIN_FWT: return "Zyphex FWT Begin Download Pkt";
    case BEGIN_FWT_FORCE: return "Zyphex FWT Force Download Pkt";
    default: return nullptr;
  }
}

}  // namespace

CRouterUpgrade::CRouterUpgrade(PortChannel& channel, UpgradeLog& log, IStageView& view, int* resultTextId)
    : m_Channel(channel), m_Log(log), m_View(view), m_ResultTextId(resultTextId) {}

void CRouterUpgrade::SetRouter(const RouterInfo& router, int port, const RouterLink& link) {
  m_Router = router;
  m_Port = port;
  m_Link = link;
}

void CRouterUpgrade::NoteInterfaceRefused(int error) {
  if (error == 0 || m_RefusalLogged) return;
  m_RefusalLogged = true;
  LogPrintf(&m_Log, "Cannot bind to interface %s (%s): the routing table picks the way to the router",
            m_Router.m_Interface.c_str(), SystemMessage(error).c_str());
}

bool CRouterUpgrade::UpgradeImage(const UpgradePackage& package) {
  m_View.ShowProgress(0);
  const uint32_t total = package.TotalDataLength();

  // Nothing may read the stream while the image goes out.
  m_Channel.StopReceiveThread();
  if (!SendBeginPacket(BEGIN_RUT, total)) return false;
  m_View.ShowStatusId(IDS_TRANSMITTING_ROUTER);

  // The router takes the first unit only; the begin packet announced them all.
  const uint8_t* image = package.UnitCount() > 0 ? package.UnitData(0) : nullptr;
  const uint32_t length = package.UnitCount() > 0 ? package.Extent(0).m_Length : 0;
  const uint32_t blocks = (length + ROUTER_BLOCK_SIZE - 1) / ROUTER_BLOCK_SIZE;
  uint32_t sent = 0;
  m_View.StartTransfer(total);
  for (uint32_t block = 1; block <= blocks; ++block) {
    const uint32_t n = std::min(ROUTER_BLOCK_SIZE, length - sent);
    if (!m_Channel.SendRaw(image + sent, n, SEND_TIMEOUT_MS)) {
      // Without a port there is no socket error to name.
      const std::string reason = (m_Channel.LastError() == 0 && !m_Channel.IsOpen())
                                     ? std::string("No connection to the router\r\n")
                                     : SystemErrorText(m_Channel.LastError());
      LogPrintf(&m_Log, "Router Block%d Transfer Fail: %s", static_cast<int>(block), reason.c_str());
      *m_ResultTextId = IDS_TRANSMIT_FAILED;
      return false;
    }
    sent += n;
    m_View.ShowTransfer(sent, total);
  }

  // Frames from before this image answer nothing of it; its result may come
  // from now on, before the wait for it begins (a small image, a fast router).
  m_Channel.Queue().Clear();
  m_Channel.StartReceiveThread();
  return TCP_GetRouterResult(package.Kind());
}

bool CRouterUpgrade::SendBeginPacket(int type, uint32_t value) {
  if (const char* line = BeginLogLine(type)) LogPrintf(&m_Log, "%s", line);
  RouterControlPacket packet;
  packet.Set(BeginMagic(type), value);

  for (int attempt = 1; attempt <= BEGIN_PACKET_TRIES; ++attempt) {
    if (m_Channel.SendFrame(packet.m_Bytes, sizeof packet.m_Bytes, 1, SEND_TIMEOUT_MS)) {
      Clock::Sleep(BEGIN_READY_PAUSE_MS);
      if (type == BEGIN_FWT_FORCE) m_ForceLoad = true;
      return true;
    }
    Clock::Sleep(BEGIN_RETRY_PAUSE_MS);
  }
  *m_ResultTextId = IDS_BEGIN_FAILED;
  return false;
}

bool CRouterUpgrade::TCP_GetRouterResult(ModuleKind kind) {
  m_View.ShowStatusId(IDS_WAITING_ROUTER);
  const uint64_t limit = kind == MODULE_APP ? RESULT_LIMIT_APP_MS : RESULT_LIMIT_OTHER_MS;
  m_View.ShowProgress(0);
  const uint64_t start = Clock::TickCount();
  const uint8_t pattern = ROUTER_CONTROL_MARKER;
  m_Channel.ExpectReplyAcceptingQueued(&pattern, 1);

  uint8_t reply[RESULT_BUFFER_SIZE];
  uint32_t code = 0;
  for (;;) {
    memset(reply, 0, ROUTER_CONTROL_PACKET_SIZE);
    uint32_t received = 0;
    if (m_Channel.Receive(reply, sizeof reply, &received, RESULT_POLL_MS) &&
        ParseRouterResult(reply, received, &code)) {
      break;
    }
    const uint64_t elapsed = Clock::TickCount() - start;
    if (elapsed > limit) {
      *m_ResultTextId = IDS_ROUTER_RESULT_TIMEOUT;
      return false;
    }
    m_View.ShowProgress(elapsed, limit);
  }

  const int elapsed = static_cast<int>(Clock::TickCount() - start);
  if (code == ROUTER_RESULT_OK) {
    LogPrintf(&m_Log, "TCP_GetRouterResult's ElapsedTime = %d ms", elapsed);
    m_View.ShowProgress(100);
    return true;
  }
  LogPrintf(&m_Log, "TCP_GetRouterResult's ElapsedTime = %d ms, Result = %d", elapsed, static_cast<int>(code));
  *m_ResultTextId = IDS_ROUTER_RESULT_FAIL;
  m_View.ShowProgress(100);
  return false;
}

bool CRouterUpgrade::EraseNvram() {
  m_View.ShowStatusId(IDS_ERASING_NVRAM);
  for (int attempt = 1; attempt <= ERASE_TRIES; ++attempt) {
    if (SendRouterCommand(ROUTER_CMD_ERASE_NVRAM, ERASE_REPLY_TIMEOUT_MS)) return true;
    Clock::Sleep(ERASE_RETRY_PAUSE_MS);
  }
  return false;
}

bool CRouterUpgrade::WaitForRouter(uint32_t timeoutMs) {
  const uint64_t start = Clock::TickCount();
  // One client for every poll.
  RouterUdpClient client(m_Router.m_Ip, m_Port, m_Link);
  NoteInterfaceRefused(client.InterfaceRefused());
  client.SetRequest(ROUTER_CMD_PING, m_Router.m_Ip, m_Router.m_Mac);
  for (;;) {
    Clock::Sleep(PING_PAUSE_MS);
    if (client.Exchange(COMMAND_REPLY_TIMEOUT_MS)) return true;
    if (Clock::TickCount() - start > timeoutMs) return false;
  }
}

bool CRouterUpgrade::EnterForceLoad() {
  m_View.ShowStatus("Enter Forcing Download Mode ...");
  if (!SendRouterCommand(ROUTER_CMD_ENTER_FORCE_LOAD, COMMAND_REPLY_TIMEOUT_MS)) return false;
  Clock::Sleep(FORCE_LOAD_PAUSE_MS);
  m_ForceLoad = true;
  return true;
}

bool CRouterUpgrade::LeaveForceLoad() {
  LogPrintf(&m_Log, "Leave Forcing Download Mode ...");
  return SendRouterCommand(ROUTER_CMD_LEAVE_FORCE_LOAD, COMMAND_REPLY_TIMEOUT_MS);
}

bool CRouterUpgrade::SendRouterCommand(uint8_t code, uint32_t timeoutMs) {
  RouterUdpClient client(m_Router.m_Ip, m_Port, m_Link);
  NoteInterfaceRefused(client.InterfaceRefused());
  client.SetRequest(code, m_Router.m_Ip, m_Router.m_Mac);
  return client.Exchange(timeoutMs);
}
