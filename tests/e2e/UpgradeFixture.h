// What the upgrade tests with the real programs share: the packages of a
// whole upgrade, with versions the simulator's defaults accept, router
// images of several blocks and the wireless images at their own addresses
// (firmware 0x100000, dashboard 0x800000).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "packages/PackageBuilder.h"
#include "packages/UpgradePackage.h"
#include "support/Packages.h"

namespace upgradetest {

// Writes dir/p<kind>.bin for each kind; returns each package's unit data, as
// the package holds it, by kind.
inline std::map<int, std::vector<uint8_t>> WritePackages(const std::string& dir,
                                                         std::initializer_list<ModuleKind> kinds) {
  std::map<int, std::vector<uint8_t>> data;
  for (ModuleKind kind : kinds) {
    PackagePlan plan;
    plan.m_Kind = kind;
    plan.m_Version = kind < MODULE_FIRMWARE ? "1.2.3.9" : kind == MODULE_FIRMWARE ? "2.1.0.9" : "3.0.1.5";
    const uint32_t address = kind == MODULE_FIRMWARE ? 0x00100000 : kind == MODULE_DASHBOARD ? 0x00800000 : 0;
    plan.m_Units = {PackageUnit{address, testsupport::Pattern(9000 + 2000 * kind, static_cast<uint8_t>(kind + 1))}};
    UpgradePackage package;
    package.m_Path = dir + "/p" + std::to_string(kind) + ".bin";
    if (!WritePackageFile(plan, package.m_Path, nullptr) || !package.Load()) {
      ADD_FAILURE() << package.m_Path;
      continue;
    }
    data[kind].assign(package.UnitData(0), package.UnitData(0) + package.Extent(0).m_Length);
  }
  return data;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace upgradetest
