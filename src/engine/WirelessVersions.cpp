// The Check's reading of the wireless module's versions, through the
// router: connect, a handshake, and one version query per wireless package.
#include "engine/UpgradeEngine.h"

void UpgradeEngine::ReadWirelessVersions(const std::string& forceLoadText) {
  ModuleEntry& firmware = Entry(MODULE_FIRMWARE);
  ModuleEntry& dashboard = Entry(MODULE_DASHBOARD);
  firmware.m_CurrentVersion.clear();
  dashboard.m_CurrentVersion.clear();
  // Only router packages: the wireless module is left alone.
  if (!firmware.m_Package.Loaded() && !dashboard.m_Package.Loaded()) return;
  if (!Connect()) {
    Notices().ShowWarning(LoadStringId(IDS_TCP_FAILED));
    return;
  }
  if (!HandShakeModule(0)) {
    LogPrintf(&m_Log, "%s", "初次和无线模块握手失败");
    Disconnect();
    return;
  }
  if (m_InDownloader == 1) {
    // The downloader cannot tell versions.
    firmware.m_CurrentVersion = forceLoadText;
    dashboard.m_CurrentVersion = forceLoadText;
    Disconnect();
    return;
  }
  if (firmware.m_Package.Loaded()) m_DiagCaller.DIAG_QueryBoardVersion(&firmware.m_CurrentVersion);
  if (dashboard.m_Package.Loaded()) m_DiagCaller.DIAG_QueryISOVersion(&dashboard.m_CurrentVersion);
  Disconnect();
}
