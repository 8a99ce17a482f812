#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/PackageCommands.h"
#include "model/ModuleKind.h"
#include "packages/UpgradePackage.h"

namespace {

// Decimal, or hex after 0x; the whole text must be the number.
bool ParseAddress(const std::string& text, uint32_t* address) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return false;
  for (char c : digits) {
    if (hex ? !isxdigit(static_cast<unsigned char>(c)) : !isdigit(static_cast<unsigned char>(c))) return false;
  }
  errno = 0;
  const unsigned long long value = strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno != 0 || value > 0xFFFFFFFFull) return false;
  *address = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

bool ParseUnitArgument(const std::string& argument, PackageUnit* unit, std::string* reason) {
  const size_t colon = argument.find(':');
  if (colon == std::string::npos) return FailBecause(reason, "--unit " + argument + ": expected ADDRESS:FILE");
  const std::string file = argument.substr(colon + 1);
  if (!ParseAddress(argument.substr(0, colon), &unit->m_LoadAddress)) {
    return FailBecause(reason, "--unit " + argument + ": the address is not a 32-bit decimal or 0x-hex number");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return FailBecause(reason, "--unit " + argument + ": cannot read " + file);
  unit->m_Data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return FailBecause(reason, "--unit " + argument + ": cannot read " + file);
  if (unit->m_Data.empty()) return FailBecause(reason, "--unit " + argument + ": " + file + " is empty");
  return true;
}

bool ParseUnlockCode(const std::string& hex, uint8_t code[8]) {
  if (hex.size() != 16) return false;
  for (size_t i = 0; i < 8; ++i) {
    const std::string pair = hex.substr(2 * i, 2);
    if (!isxdigit(static_cast<unsigned char>(pair[0])) || !isxdigit(static_cast<unsigned char>(pair[1]))) return false;
    code[i] = static_cast<uint8_t>(strtoul(pair.c_str(), nullptr, 16));
  }
  return true;
}

int RunPackageMake(const PackagePlan& plan, const std::string& path, FILE* out) {
  std::string reason;
  if (!WritePackageFile(plan, path, &reason)) {
    fprintf(stderr, "qel package make: %s\n", reason.c_str());
    return 1;
  }
  // Say what the package will be taken for: with image type 0 that depends
  // on its path, which the caller may not have meant.
  UpgradePackage check;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  check.SetPath(error ? path : absolute.string());
  if (!check.Load() || check.Kind() != plan.m_Kind) {
    fprintf(stderr, "qel package make: note: %s loads as %s, not as %s\n", path.c_str(),
            check.Loaded() ? ModuleTypeName(check.Kind()) : "no package", ModuleTypeName(plan.m_Kind));
  }
  const uintmax_t size = std::filesystem::file_size(path, error);
  fprintf(out, "%s: %s, %zu unit(s), %ju bytes\n", path.c_str(), ModuleTypeName(plan.m_Kind), plan.m_Units.size(),
          error ? uintmax_t{0} : size);
  return 0;
}
