// The Check: scan the packages, find the router, read the installed versions
// (the router's from discovery, the wireless module's through the router),
// decide per row whether its package may be installed, and fill the rows.
// Both front ends run this same procedure on a worker thread.
#pragma once

#include <string>

#include "model/ModuleList.h"
#include "net/AddressText.h"
#include "options/GatewayOptions.h"
#include "router/DiscoverRouter.h"

class UpgradeEngine;

struct CheckOptions {
  std::string m_PackageDir;                   // scanned for *.bin
  DiscoveryRequest m_Discovery = {};          // target and interfaces (port and link: the engine's)
  bool m_PackagesEmbedded = false;            // skip the scan
  const RouterInfo* m_KnownRouter = nullptr;  // found already: no discovery
};

// The Check the options ask for: the package directory (PackageDirectory of
// m_Dir) and discovery.
CheckOptions MakeCheckOptions(const GatewayOptions& options);

constexpr const char* FORCE_LOAD_VERSION_TEXT = "Can't read in force-load mode";

// Returns true when the router answered and no found package conflicts with
// the installed version (the Upgrade command may then run). The discovery
// port is the engine's router port. When several routers answer, the first
// is kept and a log line names it and the others. discovery (may be null)
// receives what discovery heard.
bool RunCheck(UpgradeEngine& engine, IModuleList& list, const CheckOptions& options,
              DiscoveryResult* discovery = nullptr);

// Fills the five rows from the module table; returns true when no loaded
// package conflicts.
bool FillRows(UpgradeEngine& engine, IModuleList& list);
