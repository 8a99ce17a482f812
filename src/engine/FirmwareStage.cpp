// The wireless firmware stage: back up the module's NV data, put it into its
// downloader, unlock it, write the image block by block, restart it, make
// sure the backup came back and read the version as the final proof. The
// downloader steps (mode switch, unlock, block writes) serve the dashboard
// stage as well.
#include <algorithm>

#include "diag/Hdlc.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "net/ProtocolTimes.h"

bool UpgradeEngine::UpgradeWirelessFirmware() {
  m_Row = MODULE_FIRMWARE;
  ShowRowProgress(0);
  // A failed handshake leaves both flags at 1: the steps below then treat
  // the module as one that already runs its downloader.
  WaitHandshake();

  if (m_InDownloader == 1) {
    LogPrintf(&m_Log, "Have Enter Downloader Mode");
  } else {
    ShowRowStatusId(IDS_BACKING_UP_NV, COLOUR_BLACK);
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
    ShowRowStatusId(IDS_OFFLINE_MODE, COLOUR_BLACK);
    // The switch works without the offline mode too; a refusal is no failure.
    if (m_DiagCaller.DIAG_ChangeMode(1)) Clock::Sleep(CHANGE_MODE_PAUSE_MS);
  }
  if (!SendBeginPacket(m_InDownloader == 1 ? BEGIN_FWT_FORCE : BEGIN_FWT, 0)) return false;
  if (m_InDownloader == 1) return true;

  ShowRowStatusId(IDS_SWITCHING, COLOUR_BLACK);
  if (!m_DiagCaller.DIAG_SwitchToDownloader()) {
    m_ResultTextId = IDS_SWITCH_FAILED;
    return false;
  }
  return WaitModuleRestart();
}

bool UpgradeEngine::UnlockWirelessModule(const uint8_t code[8]) {
  ShowRowStatusId(IDS_UNLOCKING, COLOUR_BLACK);
  if (m_DiagCaller.DIAG_Unlock(code)) return true;
  // The forcing download mode gives the downloader a second chance.
  if (EnterForceLoad()) {
    WaitForRouter(ROUTER_WAIT_SHORT_MS);
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
  ShowRowStatusId(m_Row == MODULE_FIRMWARE ? IDS_DOWNLOADING_FIRMWARE : IDS_DOWNLOADING_DASHBOARD, COLOUR_BLACK);

  const uint64_t total = package.TotalDataLength();
  uint64_t done = 0;
  StartRowTransfer(total);
  for (size_t unit = 0; unit < package.UnitCount(); ++unit) {
    const uint8_t* data = package.UnitData(unit);
    uint32_t remaining = package.Extent(unit).m_Length;
    uint32_t address = package.Unit(unit).LoadAddress();
    const uint32_t blocks = (remaining + WRITE_BLOCK_SIZE - 1) / WRITE_BLOCK_SIZE;
    for (uint32_t block = 1; block <= blocks; ++block) {
      const uint32_t n = std::min(remaining, WRITE_BLOCK_SIZE);
      if (!m_DiagCaller.DIAG_Write(address, data, n)) {
        LogPrintf(&m_Log, "Unit%d Block%d: Download Fail", static_cast<int>(unit + 1), static_cast<int>(block));
        m_ResultTextId = IDS_DOWNLOAD_FAILED;
        return false;
      }
      done += n;
      address += n;
      data += n;
      remaining -= n;
      ShowRowTransfer(done, total);
    }
  }
  if (m_ForceLoad) LeaveForceLoad();
  return true;
}

bool UpgradeEngine::CheckNvRestore() {
  ShowRowStatusId(IDS_CHECK_NV_RESTORE, COLOUR_BLACK);
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
