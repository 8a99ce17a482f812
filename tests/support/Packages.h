// Packages for the tests, made with the program's own builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/ModuleKind.h"
#include "packages/PackageBuilder.h"
#include "packages/UpgradePackage.h"

namespace testsupport {

// length bytes that differ from block to block (no two 4 KiB blocks alike).
inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// Writes dir/pkg<kind>.bin: one unit of length pattern bytes at 0x100000
// (a dashboard's at 0x800000, where the module keeps it). Returns the path
// ("" when the builder refused).
inline std::string MakePackage(const std::string& dir, ModuleKind kind, const std::string& version, size_t length = 9000) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = version;
  plan.m_Units = {{kind == MODULE_DASHBOARD ? 0x00800000u : 0x00100000u, Pattern(length, kind * 40 + 3)}};
  const std::string path = dir + "/pkg" + std::to_string(kind) + ".bin";
  return WritePackageFile(plan, path, nullptr) ? path : "";
}

// Five packages that fit the simulator's default versions (router 1.2.3.4,
// firmware 2.1.0.7, dashboard 3.0.1.2); returns each one's unit data by
// kind, as the package holds it (router kinds carry their kind bits).
inline std::vector<std::vector<uint8_t>> MakeFittingPackages(const std::string& dir) {
  const char* versions[] = {"1.2.3.10", "1.2.3.11", "1.2.3.12", "2.1.5.0", "3.0.1.9"};
  const size_t lengths[] = {9000, 9000, 9000, 20000, 12000};
  std::vector<std::vector<uint8_t>> data;
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    UpgradePackage package;
    package.SetPath(MakePackage(dir, ModuleKind(kind), versions[kind], lengths[kind]));
    package.Load();
    data.emplace_back(package.UnitData(0), package.UnitData(0) + package.Extent(0).m_Length);
  }
  return data;
}

}  // namespace testsupport
