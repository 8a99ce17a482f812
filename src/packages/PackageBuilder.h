// Writes valid upgrade packages: used by `qel package make`, the simulator's
// sample packages, the demo and the tests. The project ships no binary
// package; every one is made with this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/ModuleKind.h"

// The unlock code packages carry unless told otherwise, and the code the
// simulator's wireless module expects by default: "QELUNLK1".
extern const uint8_t DEFAULT_UNLOCK_CODE[8];
constexpr uint32_t DEFAULT_CHUNK_SIZE = 4096;

struct PackageUnit {
  uint32_t m_LoadAddress = 0;
  std::vector<uint8_t> m_Data;  // must not be empty
};

struct PackagePlan {
  ModuleKind m_Kind = MODULE_FIRMWARE;
  std::string m_Version;            // at most 83 bytes; "" states no version
  uint32_t m_ChunkSize = DEFAULT_CHUNK_SIZE;
  int64_t m_ImageType = -1;         // -1: 1 for firmware, 3 for dashboard, 0 for router kinds
  int64_t m_KindValue = -1;         // router kinds: -1 writes the kind's value (APP 0, BOOT 2,
                                    // Customization 4); otherwise this value
  int64_t m_Tag = -1;               // -1: the tag of the kind's module; otherwise this tag
  uint8_t m_Unlock[8];              // first unit's unlock field
  std::vector<PackageUnit> m_Units;
  PackagePlan();
};

// Builds the package bytes. For router kinds the kind bits are written into
// bits 1-2 of the 32-bit value at offset 12 of the first unit's data (the
// data must hold at least 16 bytes; those four bytes are overwritten).
// Returns false (with a reason) when the plan cannot make a valid package.
bool BuildPackage(const PackagePlan& plan, std::vector<uint8_t>* out, std::string* reason);
bool WritePackageFile(const PackagePlan& plan, const std::string& path, std::string* reason);
