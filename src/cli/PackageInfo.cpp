#include <filesystem>

#include "cli/PackageCommands.h"
#include "model/ModuleKind.h"
#include "packages/UpgradePackage.h"

namespace {

// Packages are known by their full path: the length rule and the kind rule
// both read it, so a relative name is made absolute first.
std::string FullPath(const std::string& file) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(file, error);
  return error ? file : absolute.string();
}

void PrintUnits(const UpgradePackage& package, FILE* out) {
  for (size_t i = 0; i < package.UnitCount(); ++i) {
    const UnitHeader& unit = package.Unit(i);
    const uint32_t chunkSize = unit.ChunkSize();
    const uint64_t chunks = (uint64_t{unit.DataLength()} + chunkSize - 1) / chunkSize;
    fprintf(out,
            "  unit %zu: tag 0x%08X, load address 0x%08X, data length %u, chunk size %u, chunk count %llu, "
            "data offset %u\n",
            i + 1, unit.Tag(), unit.LoadAddress(), unit.DataLength(), chunkSize,
            static_cast<unsigned long long>(chunks), package.Extent(i).m_Offset);
  }
}

bool DescribeFile(const std::string& file, FILE* out) {
  UpgradePackage package;
  package.SetPath(FullPath(file));
  std::string reason;
  if (!package.LoadWithReason(&reason)) {
    fprintf(out, "%s: invalid: %s\n", file.c_str(), reason.c_str());
    return false;
  }
  const std::string version = package.VersionText();
  fprintf(out, "%s: valid\n", file.c_str());
  fprintf(out, "  kind: %s\n", ModuleTypeName(package.Kind()));
  fprintf(out, "  version: %s\n", version.empty() ? "No version" : version.c_str());
  fprintf(out, "  image type: %u\n", package.ImageType());
  PrintUnits(package, out);
  return true;
}

}  // namespace

int RunPackageInfo(const std::vector<std::string>& files, FILE* out) {
  bool allValid = true;
  for (const std::string& file : files) {
    if (!DescribeFile(file, out)) allValid = false;
  }
  return allValid ? 0 : 1;
}
