// The three actions of `qel package`, apart from their command-line parsing.
// Each prints to out and returns the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "packages/PackageBuilder.h"

// For each file: valid with kind, version, image type and units, or invalid
// with the first reason. 0 when every file is a valid package, else 1.
int RunPackageInfo(const std::vector<std::string>& files, FILE* out);

// Writes plan as a package to path and says what it wrote. 0 or 1.
int RunPackageMake(const PackagePlan& plan, const std::string& path, FILE* out);

// Scans directory (empty: the executable's) and prints the five rows.
// 1 when the scan fails (its warning has been shown).
int RunPackageScan(const std::string& directory, FILE* out);

// "ADDRESS:FILE", the address decimal or 0x-hex, into a unit with the file's
// bytes. False with a reason when either part is no good.
bool ParseUnitArgument(const std::string& argument, PackageUnit* unit, std::string* reason);

// Sixteen hex digits into the 8-byte unlock field.
bool ParseUnlockCode(const std::string& hex, uint8_t code[8]);
