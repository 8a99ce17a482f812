// The package parser on bytes from anywhere: what it accepts lies inside the
// bytes it was given, and a refusal always names its reason.
#include <cstdlib>

#include "framing/Crc16.h"
#include "packages/UpgradePackage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UpgradePackage package;
  package.SetPath("/fuzz/ZEMT/package.bin");  // lets two-unit images of type 0 be dashboards
  std::string reason;
  const bool loaded = package.LoadFromBytes(std::vector<uint8_t>(data, data + size), &reason);
  if (loaded != reason.empty()) abort();
  if (!loaded) return 0;
  for (size_t i = 0; i < package.UnitCount(); ++i) {
    const UnitExtent& extent = package.Extent(i);
    if (uint64_t{extent.m_Offset} + extent.m_Length > package.Size()) abort();
    Crc16(package.UnitData(i), extent.m_Length);  // reads every byte a stage would send
  }
  if (package.TotalDataLength() == 0 || package.VersionText().size() > 3 * VERSION_TEXT_SIZE) abort();
  return 0;
}
