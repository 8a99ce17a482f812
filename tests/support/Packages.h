// Packages for the tests, made with the program's own builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/ModuleKind.h"

namespace testsupport {

// length bytes that differ from block to block (no two 4 KiB blocks alike).
std::vector<uint8_t> Pattern(size_t length, uint8_t seed);

// Writes dir/pkg<kind>.bin: one unit of length pattern bytes at 0x100000
// (a dashboard's at 0x800000, where the module keeps it). Returns the path
// ("" when the builder refused).
std::string MakePackage(const std::string& dir, ModuleKind kind, const std::string& version,
                        size_t length = 9000);

// Five packages that fit the simulator's default versions (router 1.2.3.4,
// firmware 2.1.0.7, dashboard 3.0.1.2); returns each one's unit data by
// kind, as the package holds it (router kinds carry their kind bits).
std::vector<std::vector<uint8_t>> MakeFittingPackages(const std::string& dir);

}  // namespace testsupport
