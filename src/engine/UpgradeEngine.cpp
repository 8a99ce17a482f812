#include "engine/UpgradeEngine.h"

#include <cstring>

#include "router/RouterUdpClient.h"

UpgradeEngine::UpgradeEngine(IModuleList* list, ModuleTable* table)
    : m_ListCtrl(list),
      m_DiagCaller(m_Channel, m_Log),
      m_RouterPort(ROUTER_UDP_PORT),
      m_Table(table ? table : &TheModuleTable()) {
  ForgetRowProgress();
}

// Members go in reverse order: the caller, then the log (which writes its
// pending lines), and only then the channel (receive thread stopped, port
// closed).
UpgradeEngine::~UpgradeEngine() = default;

bool UpgradeEngine::Connect() {
  m_Row = MODULE_NONE;
  // 0.0.0.0 means "no router found yet"; connecting to it would reach this
  // very machine, so it is refused here.
  if (memcmp(m_RouterIp, ZERO_IP, sizeof m_RouterIp) == 0 ||
      !m_Channel.Open(FormatIp(m_RouterIp), m_RouterPort, PORT_TCP)) {
    m_ResultTextId = IDS_TCP_FAILED;
    return false;
  }
  m_Channel.StartReceiveThread();
  return true;
}

void UpgradeEngine::Disconnect() {
  // A close that reports failure has still let go of the port; the second
  // one finds nothing left and succeeds.
  if (!m_Channel.Close()) m_Channel.Close();
}
