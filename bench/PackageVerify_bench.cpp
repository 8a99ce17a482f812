// Loading and verifying a 256 MiB package (read into the package's own
// memory, walk, every chunk checksum) beside the least any load must do:
// read the file with read(2) into one reused 1 MiB buffer. Both from the
// page cache. Goal: the load at a quarter of that speed or more. And the
// refusal of a huge file that is no package.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "packages/PackageBuilder.h"
#include "packages/UpgradePackage.h"
#include "support/TestSupport.h"

namespace {

constexpr uint32_t kDataSize = uint32_t{256} << 20;

// The package file, made once per run; its folder goes when the run ends.
const std::string& PackagePath() {
  static testsupport::TempDir dir;
  static const std::string path = [] {
    PackagePlan plan;
    plan.m_Version = "9.9.9.9";
    PackageUnit unit;
    unit.m_LoadAddress = 0x00100000;
    unit.m_Data.resize(kDataSize);
    std::mt19937_64 random(3);
    for (size_t i = 0; i < unit.m_Data.size(); i += 8) {
      const uint64_t word = random();
      for (int b = 0; b < 8; ++b) unit.m_Data[i + b] = static_cast<uint8_t>(word >> (8 * b));
    }
    plan.m_Units.push_back(std::move(unit));
    const std::string file = dir.File("firmware.bin");
    std::string reason;
    if (!WritePackageFile(plan, file, &reason)) std::fprintf(stderr, "package: %s\n", reason.c_str());
    return file;
  }();
  return path;
}

int64_t FileSize(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const off_t size = fd < 0 ? 0 : lseek(fd, 0, SEEK_END);
  if (fd >= 0) close(fd);
  return size;
}

bool LoadPackage(const std::string& path) {
  UpgradePackage package;
  package.SetPath(path);
  return package.Load() && package.UnitCount() == 1;
}

void BM_PackageVerify(benchmark::State& state) {
  const std::string& path = PackagePath();
  // One untimed load first: the first memory taken for the bytes may be
  // memory the machine never touched (on a virtual machine its host then
  // backs it page by page: 0.4 s for 256 MiB here), which says nothing of
  // the load.
  LoadPackage(path);
  for (auto _ : state) {
    if (!LoadPackage(path)) {
      state.SkipWithError("the package does not verify");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize(path));
}

void BM_ReadReused1MiB(benchmark::State& state) {
  const std::string& path = PackagePath();
  std::vector<uint8_t> buffer(size_t{1} << 20);
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize(path));
}

// A 2 GiB file named *.bin that is no package (sparse), refused from its
// first bytes: the time of one refusal (goal: well under 0.1 s).
void BM_RefuseHugeNonPackage(benchmark::State& state) {
  static testsupport::TempDir dir;
  const std::string path = dir.File("disk.bin");
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0 || ftruncate(fd, off_t{2} << 30) != 0) state.SkipWithError("cannot make the file");
  if (fd >= 0) close(fd);
  for (auto _ : state) {
    if (LoadPackage(path)) {
      state.SkipWithError("the file was taken for a package");
      break;
    }
  }
}

BENCHMARK(BM_PackageVerify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadReused1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseHugeNonPackage)->Unit(benchmark::kMicrosecond);
const bool kRatios = AddBenchRatio("package load+verify speed / read speed into a reused 1 MiB buffer (goal >= 0.25)",
                                   "BM_PackageVerify", "BM_ReadReused1MiB");

}  // namespace
