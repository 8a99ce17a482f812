// Restarting the wireless module and waiting for it: the module restarts when
// it switches to its downloader and after its image is written, and the
// router in front of it may go quiet meanwhile. The handshakes here rewrite
// m_InDownloader and m_Offline, on which the stages decide their next step.
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "net/ProtocolTimes.h"

bool UpgradeEngine::RestartWirelessModule() {
  m_Display.ShowStatusId(IDS_RESTARTING);
  if (m_DiagCaller.DIAG_Reset()) return true;
  m_ResultTextId = IDS_RESTART_FAILED;
  return false;
}

bool UpgradeEngine::HandShakeModule(int leadingFlag) {
  return m_DiagCaller.DIAG_HandShake(leadingFlag, &m_InDownloader, &m_Offline) == 1;
}

bool UpgradeEngine::WaitHandshake() {
  m_Router.WaitForRouter(ROUTER_WAIT_SHORT_MS);
  if (HandShakeModule(0)) return true;
  // A module that ignores the normal framing may still answer once the
  // router forces it into its downloader.
  if (m_Router.EnterForceLoad()) {
    m_Router.WaitForRouter(ROUTER_WAIT_SHORT_MS);
    if (HandShakeModule(1)) return true;
  }
  m_ResultTextId = IDS_HANDSHAKE_FAILED;
  return false;
}

bool UpgradeEngine::WaitModuleRestart() {
  m_Display.ShowStatusId(IDS_PREPARING_WIRELESS);
  m_Display.ShowProgress(0);
  if (!m_Router.WaitForRouter(ROUTER_WAIT_RESTART_MS)) {
    m_ResultTextId = IDS_RESTART_TIMEOUT;
    LogPrintf(&m_Log, "Waiting: First Check Fail");
    return false;
  }
  m_Display.ShowProgress(30);
  Clock::Sleep(RESTART_SETTLE_PAUSE_MS);
  m_Display.ShowProgress(50);
  if (!m_Router.WaitForRouter(ROUTER_WAIT_RESTART_MS)) {
    m_ResultTextId = IDS_RESTART_TIMEOUT;
    LogPrintf(&m_Log, "Waiting: Second Check Fail");
    return false;
  }
  m_Display.ShowProgress(70);

  // A lone flag ends whatever partial frame the module may still hold.
  const uint8_t flag = 0x7E;
  m_Channel.SendRaw(&flag, 1, SEND_TIMEOUT_MS);
  for (int attempt = 1; attempt <= RESTART_HANDSHAKE_TRIES; ++attempt) {
    if (HandShakeModule(0)) {
      m_Display.ShowProgress(100);
      return true;
    }
  }
  m_ResultTextId = IDS_RESTART_TIMEOUT;
  LogPrintf(&m_Log, "Waiting: Handshake failed");
  return false;
}
