// qel package info | make | scan
#include "cli/PackageCommands.h"

#include <map>

#include "cli/Commands.h"

namespace {

struct MakeOptions {
  std::string m_Kind;
  std::string m_Version;
  uint32_t m_ChunkSize = DEFAULT_CHUNK_SIZE;
  int64_t m_ImageType = -1;
  std::string m_Unlock;
  std::vector<std::string> m_Units;
  std::string m_Output;
};

const std::map<std::string, ModuleKind>& KindNames() {
  static const std::map<std::string, ModuleKind> names = {
      {"boot", MODULE_BOOT},         {"app", MODULE_APP},           {"customization", MODULE_CUSTOMIZATION},
      {"firmware", MODULE_FIRMWARE}, {"dashboard", MODULE_DASHBOARD},
  };
  return names;
}

int Make(const MakeOptions& options) {
  PackagePlan plan;
  plan.m_Kind = KindNames().at(options.m_Kind);
  plan.m_Version = options.m_Version;
  plan.m_ChunkSize = options.m_ChunkSize;
  plan.m_ImageType = options.m_ImageType;
  if (!options.m_Unlock.empty() && !ParseUnlockCode(options.m_Unlock, plan.m_Unlock)) {
    fprintf(stderr, "qel package make: --unlock needs 16 hex digits (8 bytes)\n");
    return 1;
  }
  for (const std::string& argument : options.m_Units) {
    PackageUnit unit;
    std::string reason;
    if (!ParseUnitArgument(argument, &unit, &reason)) {
      fprintf(stderr, "qel package make: %s\n", reason.c_str());
      return 1;
    }
    plan.m_Units.push_back(std::move(unit));
  }
  return RunPackageMake(plan, options.m_Output, stdout);
}

void AddInfo(CLI::App* package, int* exitCode) {
  static std::vector<std::string> fileList;  // the app is made once per process
  std::vector<std::string>* files = &fileList;
  CLI::App* info = package->add_subcommand("info", "Tell for each file whether it is a valid upgrade package");
  info->footer(
      "For a valid package: its kind, version text (or \"No version\"), image type and, per unit, tag, load "
      "address, data length, chunk size, chunk count and data offset. For an invalid one: the first reason it "
      "is rejected (units and chunks counted from 1).\nExit status 0 when every file is a valid package, else 1.");
  info->add_option("FILE", *files, "Package files")->required();
  info->callback([files, exitCode] { *exitCode = RunPackageInfo(*files, stdout); });
}

void AddMake(CLI::App* package, int* exitCode) {
  static MakeOptions makeOptions;  // the app is made once per process
  MakeOptions* options = &makeOptions;
  CLI::App* make = package->add_subcommand("make", "Write a valid upgrade package");
  make->add_option("--kind", options->m_Kind, "Kind of package")
      ->required()
      ->transform(CLI::IsMember({"boot", "app", "customization", "firmware", "dashboard"}, CLI::ignore_case));
  make->add_option("--version", options->m_Version, "Version text (at most 83 bytes; \"\" states no version)")
      ->required();
  make->add_option("--chunk-size", options->m_ChunkSize, "Bytes per checksummed chunk")
      ->capture_default_str()
      ->check(CLI::Range(1u, 0xFFFFFFFFu));
  make->add_option("--image-type", options->m_ImageType,
                   "Image type at offset 0 (default: 1 for firmware, 3 for dashboard, 0 for router kinds)")
      ->check(CLI::Range(int64_t{0}, int64_t{0xFFFFFFFF}));
  make->add_option("--unlock", options->m_Unlock, "Unlock field of the first unit, 16 hex digits (default: \"QELUNLK1\")");
  make->add_option("--unit", options->m_Units, "A unit: load address (decimal or 0x-hex) and the file with its data")
      ->required()
      ->type_name("ADDRESS:FILE");
  make->add_option("-o,--output", options->m_Output, "Package file to write")->required();
  make->footer(
      "Router kinds (boot, app, customization): the reader takes the kind from bits 1-2 of the 32-bit value at "
      "offset 12 of the first unit's data, so make overwrites those 4 bytes of the data with the kind value "
      "(APP 0, BOOT 2, Customization 4); that unit needs at least 16 bytes. The tag is \"HDR0\".\n"
      "Wireless kinds (firmware, dashboard): the image type is written at offset 0 of the file (1 firmware, 3 "
      "dashboard, or --image-type). The tag is 55 AA 5A A5.\nExit status 0 when the package was written, else 1.");
  make->callback([options, exitCode] {
    for (char& c : options->m_Kind) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    *exitCode = Make(*options);
  });
}

void AddScan(CLI::App* package, int* exitCode) {
  static std::string scanDirectory;  // the app is made once per process
  std::string* directory = &scanDirectory;
  CLI::App* scan = package->add_subcommand("scan", "Run the package scan and show the five module rows");
  scan->add_option("--dir", *directory,
                   "Directory to scan (default: the directory of this program, or "
                   "~/.local/share/QelUpgrade/packages when installed)");
  scan->footer(
      "Prints each module's upgrade version and package path. Exit status 1, with the scan's warning, when no "
      "valid .bin file is found or two files are of the same kind.");
  scan->callback([directory, exitCode] { *exitCode = RunPackageScan(*directory, stdout); });
}

}  // namespace

void AddPackageCommands(CLI::App& app, int* exitCode) {
  CLI::App* package = app.add_subcommand("package", "Make, inspect and scan upgrade packages");
  package->require_subcommand(1);
  AddInfo(package, exitCode);
  AddMake(package, exitCode);
  AddScan(package, exitCode);
}
