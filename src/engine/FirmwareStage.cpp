// The wireless firmware stage: back up the module's NV data, put it into its
// downloader, unlock it, write the image block by block, restart it, make
// sure the backup came back and read the version as the final proof. The
// downloader steps (mode switch, unlock, block writes) serve the dashboard
// stage as well.
#include "diag/ImageDownload.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "net/ProtocolTimes.h"

bool UpgradeEngine::UpgradeWirelessFirmware() {
  m_Display.SetRow(MODULE_FIRMWARE);
  m_Display.ShowProgress(0);
  // A failed handshake leaves both flags at 1: the steps below then treat
  // the module as one that already runs its downloader.
  WaitHandshake();

  if (m_InDownloader == 1) {
    LogPrintf(&m_Log, "Have Enter Downloader Mode");
  } else {
    m_Display.ShowStatusId(IDS_BACKING_UP_NV);
    if (!m_DiagCaller.DIAG_NV_BackupRestore(1)) {
      m_ResultTextId = IDS_BACKUP_NV_FAILED;
      return false;
    }
  }
  if (!EnterDownloadingMode()) return false;
  if (!DownloadImage(Entry(MODULE_FIRMWARE).m_Package)) return false;
  if (!RestartWirelessModule()) return false;
  if (!WaitModuleRestart()) return false;
  if (m_InDownloader == 1) {
    m_ResultTextId = IDS_NV_RESTORE_FAILED;
    LogPrintf(&m_Log, "Still in downloader after reboot");
    return false;
  }
  if (!CheckNvRestore()) {
    m_ResultTextId = IDS_NV_RESTORE_FAILED;
    return false;
  }
  if (!m_DiagCaller.DIAG_QueryBoardVersion(nullptr)) {
    m_ResultTextId = IDS_VERSION_CHECK_FAILED;
    return false;
  }
  return true;
}

bool UpgradeEngine::EnterDownloadingMode() {
  if (m_Offline == 0) {
    m_Display.ShowStatusId(IDS_OFFLINE_MODE);
    // The switch works without the offline mode too; a refusal is no failure.
    if (m_DiagCaller.DIAG_ChangeMode(1)) Clock::Sleep(CHANGE_MODE_PAUSE_MS);
  }
  if (!m_Router.SendBeginPacket(m_InDownloader == 1 ? BEGIN_FWT_FORCE : BEGIN_FWT, 0)) return false;
  if (m_InDownloader == 1) return true;

  m_Display.ShowStatusId(IDS_SWITCHING);
  if (!m_DiagCaller.DIAG_SwitchToDownloader()) {
    m_ResultTextId = IDS_SWITCH_FAILED;
    return false;
  }
  return WaitModuleRestart();
}

bool UpgradeEngine::UnlockWirelessModule(const uint8_t code[8]) {
  m_Display.ShowStatusId(IDS_UNLOCKING);
  if (m_DiagCaller.DIAG_Unlock(code)) return true;
  // The forcing download mode gives the downloader a second chance.
  if (m_Router.EnterForceLoad()) {
    m_Router.WaitForRouter(ROUTER_WAIT_SHORT_MS);
    if (m_DiagCaller.DIAG_Unlock(code)) return true;
  }
  m_ResultTextId = IDS_UNLOCK_FAILED;
  return false;
}

bool UpgradeEngine::DownloadImage(const UpgradePackage& package) {
  if (package.UnitCount() == 0) {
    m_ResultTextId = IDS_DOWNLOAD_FAILED;
    return false;
  }
  if (!UnlockWirelessModule(package.Unit(0).Unlock())) return false;
  m_Display.ShowStatusId(m_Display.Row() == MODULE_FIRMWARE ? IDS_DOWNLOADING_FIRMWARE : IDS_DOWNLOADING_DASHBOARD);
  if (!DownloadUnits(m_DiagCaller, package, m_Display, m_Log)) {
    m_ResultTextId = IDS_DOWNLOAD_FAILED;
    return false;
  }
  if (m_Router.ForceLoad()) m_Router.LeaveForceLoad();
  return true;
}

bool UpgradeEngine::CheckNvRestore() {
  m_Display.ShowStatusId(IDS_CHECK_NV_RESTORE);
  for (int round = 0; round < NV_RESTORE_ROUNDS; ++round) {
    for (int attempt = 1; attempt <= NV_STATUS_TRIES; ++attempt) {
      LogPrintf(&m_Log, "  Try%d: Reading restored status ...", attempt);
      if (m_DiagCaller.DIAG_NV_QueryRestoreStatus()) return true;
    }
    // Ask the module to restore once more, then look again.
    if (m_DiagCaller.DIAG_NV_BackupRestore(0)) return true;
  }
  return false;
}
