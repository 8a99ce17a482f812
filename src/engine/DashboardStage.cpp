// The dashboard stage: the same downloader steps as the firmware stage,
// without the NV backup and restore, confirmed by reading the dashboard
// version back.
#include "engine/UpgradeEngine.h"

bool UpgradeEngine::UpgradeDashboard() {
  // The "%" cell is not reset: its first value comes from the restart wait,
  // or from the first block when the module already runs its downloader.
  m_Display.SetRow(MODULE_DASHBOARD);
  // A failed handshake leaves both flags at 1 and the stage goes on.
  WaitHandshake();
  if (!EnterDownloadingMode()) return false;
  if (!DownloadImage(Entry(MODULE_DASHBOARD).m_Package)) return false;
  if (!RestartWirelessModule()) return false;
  if (!WaitModuleRestart()) return false;
  if (m_InDownloader == 0 && m_DiagCaller.DIAG_QueryISOVersion(nullptr)) return true;
  m_ResultTextId = IDS_VERSION_CHECK_FAILED;
  return false;
}
