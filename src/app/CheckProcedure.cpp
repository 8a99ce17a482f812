#include "app/CheckProcedure.h"

#include <filesystem>

#include "app/ModuleTable.h"
#include "app/VersionText.h"
#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "packages/PackageScan.h"
#include "router/DiscoverRouter.h"

namespace {

bool AnyPackageLoaded(const ModuleTable& table) {
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    if (table[kind].m_Package.m_Loaded) return true;
  }
  return false;
}

}  // namespace

bool RunCheck(UpgradeEngine& engine, IModuleList& list, const CheckOptions& options) {
  ModuleTable& table = *engine.m_Table;
  list.DeleteAllRows();
  if (!options.m_PackagesEmbedded && !ScanPackages(table, options.m_PackageDir, &engine.m_Log)) {
    // The scan has shown why. With no package at all, name the folder: an
    // installed copy looks in the user's folder, not beside the program.
    if (!AnyPackageLoaded(table)) {
      std::error_code error;
      const std::filesystem::path folder = std::filesystem::absolute(options.m_PackageDir, error);
      LogPrintf(&engine.m_Log, "RunCheck: no valid .bin file in %s", folder.lexically_normal().c_str());
    }
    return false;
  }
  std::string routerVersion;
  if (!DiscoverRouter(options.m_Broadcast, engine.m_RouterPort, engine.m_RouterMac, engine.m_RouterIp,
                      &routerVersion)) {
    ShowWarning(LoadStringId(IDS_NO_ROUTER));
    LogPrintf(&engine.m_Log, "%s", "没有检测到路由器");
    return false;
  }
  // An unreadable router version leaves the router rows as they were.
  if (IsValidVersionText(routerVersion)) table.SetRouterVersion(routerVersion);
  ReadWirelessVersions(engine, FORCE_LOAD_VERSION_TEXT);
  const bool fits = FillRows(engine, list);
  list.Layout();
  return fits;
}

void ReadWirelessVersions(UpgradeEngine& engine, const std::string& forceLoadText) {
  ModuleEntry& firmware = (*engine.m_Table)[MODULE_FIRMWARE];
  ModuleEntry& dashboard = (*engine.m_Table)[MODULE_DASHBOARD];
  firmware.m_CurrentVersion.clear();
  dashboard.m_CurrentVersion.clear();
  // Only router packages: the wireless module is left alone.
  if (!firmware.m_Package.m_Loaded && !dashboard.m_Package.m_Loaded) return;
  if (!engine.Connect()) {
    ShowWarning(LoadStringId(IDS_TCP_FAILED));
    return;
  }
  CDiagCaller& caller = engine.m_DiagCaller;
  if (!caller.DIAG_HandShake(0, &engine.m_InDownloader, &engine.m_Offline)) {
    LogPrintf(&engine.m_Log, "%s", "初次和无线模块握手失败");
    engine.Disconnect();
    return;
  }
  if (engine.m_InDownloader) {
    // The downloader cannot tell versions.
    firmware.m_CurrentVersion = forceLoadText;
    dashboard.m_CurrentVersion = forceLoadText;
    engine.Disconnect();
    return;
  }
  if (firmware.m_Package.m_Loaded) caller.DIAG_QueryBoardVersion(&firmware.m_CurrentVersion);
  if (dashboard.m_Package.m_Loaded) caller.DIAG_QueryISOVersion(&dashboard.m_CurrentVersion);
  engine.Disconnect();
}

bool FillRows(UpgradeEngine& engine, IModuleList& list) {
  ModuleTable& table = *engine.m_Table;
  bool fits = true;
  for (int row = 0; row < MODULE_COUNT; ++row) {
    ModuleEntry& entry = table[row];
    list.InsertRow(row, entry.m_TypeName);
    uint32_t colour = COLOUR_GREY_TEXT;
    int status = IDS_NOT_FOUND;
    if (entry.m_Package.m_Loaded) {
      const std::string upgradeVersion = entry.UpgradeVersionText();
      list.SetCell(row, COL_CURRENT, entry.m_CurrentVersion);
      list.SetCell(row, COL_UPGRADE, upgradeVersion);
      // The dashboard goes on whatever is installed.
      entry.m_VersionMatch =
          row == MODULE_DASHBOARD ? 1 : VersionMatch(entry.m_CurrentVersion, upgradeVersion);
      if (entry.m_VersionMatch == 1) {
        colour = COLOUR_BLUE;
        status = IDS_WAITING_UPGRADE;
      } else {
        colour = COLOUR_RED;
        status = IDS_VERSION_MISMATCH;
        fits = false;
      }
    }
    list.SetRowColour(row, colour);
    list.SetCell(row, COL_STATUS, LoadStringId(status));
  }
  // The rows are new, their "%" cells empty.
  engine.ForgetRowProgress();
  return fits;
}
