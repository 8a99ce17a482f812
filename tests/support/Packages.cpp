#include "support/Packages.h"

#include "packages/PackageBuilder.h"

namespace testsupport {

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

std::string MakePackage(const std::string& dir, ModuleKind kind, const std::string& version, size_t length) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = version;
  plan.m_Units = {PackageUnit{0x00100000, Pattern(length, static_cast<uint8_t>(kind * 40 + 3))}};
  const std::string path = dir + "/pkg" + std::to_string(kind) + ".bin";
  std::string reason;
  return WritePackageFile(plan, path, &reason) ? path : "";
}

void MakeFittingPackages(const std::string& dir) {
  MakePackage(dir, MODULE_BOOT, "1.2.3.10");
  MakePackage(dir, MODULE_APP, "1.2.3.11");
  MakePackage(dir, MODULE_CUSTOMIZATION, "1.2.3.12");
  MakePackage(dir, MODULE_FIRMWARE, "2.1.5.0", 20000);
  MakePackage(dir, MODULE_DASHBOARD, "3.0.1.9", 12000);
}

}  // namespace testsupport
