#include "app/CheckProcedure.h"

#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "model/VersionText.h"
#include "packages/ModuleTable.h"
#include "packages/PackageDirectory.h"
#include "packages/PackageScan.h"
#include "platform/UserFolders.h"

namespace {

bool AnyPackageLoaded(const ModuleTable& table) {
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    if (table[kind].m_Package.Loaded()) return true;
  }
  return false;
}

std::string Describe(const RouterInfo& router) {
  return (router.m_Interface.empty() ? std::string("?") : router.m_Interface) + " " + FormatMac(router.m_Mac) +
         " (" + FormatIp(router.m_Ip) + ")";
}

// Finds the router the pass will talk to: the first that answered.
bool FindRouter(UpgradeEngine& engine, const CheckOptions& options, RouterInfo* chosen, DiscoveryResult* heard) {
  if (options.m_KnownRouter) {
    *chosen = *options.m_KnownRouter;
    return true;
  }
  DiscoveryRequest request = options.m_Discovery;
  request.m_Port = engine.RouterPort();
  request.m_Link = engine.Link();
  request.m_Link.m_Interface.clear();
  if (!DiscoverRouters(request, heard)) return false;
  *chosen = heard->m_Routers.front();
  if (heard->m_Routers.size() > 1) {
    std::string others;
    for (size_t i = 1; i < heard->m_Routers.size(); ++i) others += (i > 1 ? ", " : "") + Describe(heard->m_Routers[i]);
    LogPrintf(&engine.Log(), "Discovery: chose %s; also answered: %s", Describe(*chosen).c_str(), others.c_str());
  }
  return true;
}

}  // namespace

bool RunCheck(UpgradeEngine& engine, IModuleList& list, const CheckOptions& options, DiscoveryResult* discovery) {
  ModuleTable& table = engine.Table();
  DiscoveryResult heard;
  if (!discovery) discovery = &heard;
  *discovery = DiscoveryResult();
  list.DeleteAllRows();
  if (!options.m_PackagesEmbedded && !ScanPackages(table, options.m_PackageDir, &engine.Log(), engine.Notices())) {
    // The scan has shown why. With no package at all, name the folder: an
    // installed copy looks in the user's folder, not beside the program.
    if (!AnyPackageLoaded(table)) {
      LogPrintf(&engine.Log(), "RunCheck: no valid .bin file in %s", ShownPath(AbsolutePath(options.m_PackageDir)).c_str());
    }
    return false;
  }
  RouterInfo router;
  if (!FindRouter(engine, options, &router, discovery)) {
    engine.Notices().ShowWarning(LoadStringId(IDS_NO_ROUTER));
    LogPrintf(&engine.Log(), "%s", "没有检测到路由器");
    return false;
  }
  engine.SetRouter(router);
  // An unreadable router version leaves the router rows as they were.
  if (IsValidVersionText(router.m_Version)) table.SetRouterVersion(router.m_Version);
  engine.ReadWirelessVersions(FORCE_LOAD_VERSION_TEXT);
  const bool fits = FillRows(engine, list);
  list.Layout();
  return fits;
}

CheckOptions MakeCheckOptions(const GatewayOptions& options) {
  CheckOptions check;
  check.m_PackageDir = PackageDirectory(options.m_Dir);
  check.m_Discovery = DiscoveryFor(options);
  return check;
}

bool FillRows(UpgradeEngine& engine, IModuleList& list) {
  ModuleTable& table = engine.Table();
  bool fits = true;
  for (int row = 0; row < MODULE_COUNT; ++row) {
    ModuleEntry& entry = table[row];
    list.InsertRow(row, entry.m_TypeName);
    uint32_t colour = COLOUR_GREY_TEXT;
    int status = IDS_NOT_FOUND;
    if (entry.m_Package.Loaded()) {
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
