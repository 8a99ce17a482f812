// One upgrade pass over the five rows, on the upgrade thread: router images
// in the order BOOT, APP, Customization, the NVRAM erase, the wireless
// firmware, the dashboard; the first failing stage ends the pass. Whatever
// happens, the pass ends the same way: leave the forcing download mode when a
// wireless row took part, disconnect, write the log, tell the front end.
#include "engine/UpgradeEngine.h"

#include "net/Clock.h"
#include "net/ProtocolTimes.h"
#include "router/RouterUdpClient.h"

namespace {

constexpr const char* SEPARATOR_LINE = "++++++++++++++++++++++++++++++++++++++++++++++++++";

}  // namespace

int UpgradeEngine::RunUpgrade() {
  m_Display.StartStage();
  LogPrintf(&m_Log, "%s", FormatMac(m_RouterInfo.m_Mac).c_str());
  m_Busy = BUSY_UPGRADING;
  m_ResultTextId = IDS_DOWNLOAD_OK;
  m_Display.SetRow(MODULE_NONE);
  m_Router.ClearForceLoad();

  // A stage that returns success shows success, even when an early
  // handshake failed and left its id behind; the next row then starts clean.
  auto showStageResult = [this](bool ok) {
    if (ok) m_ResultTextId = IDS_DOWNLOAD_OK;
    m_Display.ShowResult(m_ResultTextId);
    return ok;
  };

  const bool wireless = Entry(MODULE_FIRMWARE).IsSelected() || Entry(MODULE_DASHBOARD).IsSelected();
  if (Connect()) {
    bool ok = true;
    for (ModuleKind kind : {MODULE_BOOT, MODULE_APP, MODULE_CUSTOMIZATION}) {
      if (!ok || !Entry(kind).IsSelected()) continue;
      m_Display.SetRow(kind);
      ok = showStageResult(m_Router.UpgradeImage(Entry(kind).m_Package));
      if (ok) Clock::Sleep(STAGE_PAUSE_MS);
    }
    if (ok && (Entry(MODULE_APP).IsSelected() || Entry(MODULE_CUSTOMIZATION).IsSelected())) {
      m_Display.SetRow(MODULE_NONE);
      ok = m_Router.EraseNvram();
      if (ok) Clock::Sleep(STAGE_PAUSE_MS);
    }
    if (ok && Entry(MODULE_FIRMWARE).IsSelected()) {
      ok = showStageResult(UpgradeWirelessFirmware());
      if (ok) Clock::Sleep(STAGE_PAUSE_MS);
    }
    if (ok && Entry(MODULE_DASHBOARD).IsSelected()) {
      showStageResult(UpgradeDashboard());
    }
  }

  m_Busy = 0;
  if (wireless) m_Router.LeaveForceLoad();
  Disconnect();
  LogPrintf(&m_Log, "%s", SEPARATOR_LINE);
  m_Log.Flush();
  if (m_Events) m_Events->OnPassEnd();
  return 0;
}
