#include "packages/UpgradePackage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "framing/Crc16.h"
#include "packages/PackageBuilder.h"
#include "support/Packages.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::TempDir;

PackagePlan Plan(ModuleKind kind, const std::vector<size_t>& lengths) {
  PackagePlan plan;
  plan.m_Kind = kind, plan.m_Version = "V1.2.3", plan.m_ChunkSize = 16;
  for (size_t i = 0; i < lengths.size(); ++i) {
    plan.m_Units.push_back({0x1000u << i, testsupport::Pattern(lengths[i], static_cast<uint8_t>(i))});
  }
  return plan;
}

Bytes Build(const PackagePlan& plan) {
  Bytes bytes;
  std::string reason;
  EXPECT_TRUE(BuildPackage(plan, &bytes, &reason)) << reason;
  return bytes;
}

// Sets a 32-bit field of the unit header at unit and seals the header again.
void SetField(Bytes& b, size_t unit, uint32_t field, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[unit + field + i] = static_cast<uint8_t>(value >> (8 * i));
  b[unit + UNIT_HEADER_CRC] = b[unit + UNIT_HEADER_CRC + 1] = 0;
  const uint16_t crc = Crc16(b.data() + unit, UNIT_HEADER_SIZE);
  b[unit + UNIT_HEADER_CRC] = static_cast<uint8_t>(crc), b[unit + UNIT_HEADER_CRC + 1] = static_cast<uint8_t>(crc >> 8);
}

// Loads bytes written under a fresh name (rewriting one file in place makes
// the file system push it to disk at every close) or under name. Returns the
// loader's reason, "" when the package loaded.
std::string LoadBytes(const TempDir& dir, const Bytes& bytes, UpgradePackage* package, const std::string& name = "") {
  static int serial = 0;
  package->SetPath(dir.File(name.empty() ? std::to_string(++serial) + ".bin" : name));
  testsupport::WriteFile(package->Path(), bytes);
  std::string reason;
  const bool loaded = package->LoadWithReason(&reason);
  return loaded == reason.empty() ? reason : "loaded " + std::to_string(loaded) + " with reason " + reason;
}

Bytes UnitBytes(const UpgradePackage& p, size_t i) { return Bytes(p.UnitData(i), p.UnitData(i) + p.Extent(i).m_Length); }

TEST(UpgradePackageTest, LoadsItsUnitsAndKeepsTheBytesItCheckedUntilItsFlagIsCleared) {
  TempDir dir;
  // Data one short of, at and one past a multiple of the chunk size; fill 1, 0, 1.
  const uint32_t offsets[] = {92 + 98 + 6, 244 + 98 + 6, 396 + 98 + 8};
  const PackagePlan plan = Plan(MODULE_CUSTOMIZATION, {47, 48, 49});
  UpgradePackage package;
  ASSERT_EQ(LoadBytes(dir, Build(plan), &package), "");
  ASSERT_EQ(std::tuple(package.Kind(), package.VersionText(), package.TotalDataLength(), package.UnitCount()),
            std::tuple(MODULE_CUSTOMIZATION, std::string("V1.2.3"), 144u, size_t{3}));
  for (size_t i = 0; i < 3; ++i) {
    const UnitHeader& unit = package.Unit(i);
    EXPECT_EQ(std::tuple(unit.Tag(), unit.LoadAddress(), unit.ChunkSize(), package.Extent(i).m_Offset),
              std::tuple(UNIT_TAG_ROUTER, plan.m_Units[i].m_LoadAddress, 16u, offsets[i]));
    // Bytes 12-15 of unit 1 carry the kind value.
    Bytes expected = plan.m_Units[i].m_Data;
    if (i == 0) std::fill_n(expected.begin() + 12, 4, 0), expected[12] = 4;
    EXPECT_EQ(UnitBytes(package, i), expected);
  }
  // What was checked is what the stages send: the package keeps its own copy
  // whatever happens to the file, until its flag is cleared.
  const std::string path = package.Path();
  testsupport::WriteFile(path, Bytes(600, 0xEE));  // rewritten in place, then cut short
  std::filesystem::resize_file(path, 0);
  EXPECT_EQ(UnitBytes(package, 2), testsupport::Pattern(49, 2));
  package.Reset();  // frees the bytes, keeps path and flag
  EXPECT_EQ(std::tuple(package.UnitCount() ? package.UnitData(0) : nullptr, package.UnitCount(), package.Kind(), package.Loaded(), package.ImageType(),
                       package.VersionText()),
            std::tuple(nullptr, size_t{0}, MODULE_NONE, true, 0u, std::string()));
  EXPECT_TRUE(package.Load());  // reads nothing
  EXPECT_EQ(package.UnitCount() ? package.UnitData(0) : nullptr, nullptr);
  package.SetPath(path);  // reads the file again
  Bytes bytes = Build(Plan(MODULE_APP, {20}));
  std::fill(bytes.begin() + 8, bytes.begin() + 92, 'A');  // no NUL in the version field
  testsupport::WriteFile(path, bytes);
  EXPECT_TRUE(package.Load());
  EXPECT_EQ(std::pair(package.Kind(), package.VersionText()), std::pair(MODULE_APP, std::string(84, 'A')));
}

// Bytes from a file and bytes from memory are checked alike, whatever
// resource id or loaded flag a caller left in the package.
TEST(UpgradePackageTest, DamagedPackagesAreRejectedWithTheirReason) {
  TempDir dir;
  // Unit 1 at 92: 7 chunks, 100 bytes, no fill. Unit 2 at 304: 4 chunks, 61
  // bytes from 410, one fill byte.
  const Bytes good = Build(Plan(MODULE_FIRMWARE, {100, 61}));
  const size_t u1 = 92, u2 = 304;
  // The damage and the reason, "" when the file still loads.
  const std::pair<std::function<void(Bytes&)>, std::string> cases[] = {
      {[](Bytes& b) { b.resize(189); }, "shorter than 190 bytes"},
      {[](Bytes& b) { b.resize(190); }, "unit 1: checksum table runs past the end of the file"},
      {[&](Bytes& b) { b[u2 + 30] ^= 1; }, "unit 2: header checksum does not match"},
      {[&](Bytes& b) { SetField(b, u2, UNIT_CHUNK_SIZE, 0); }, "unit 2: chunk size is 0"},
      {[&](Bytes& b) { SetField(b, u2, UNIT_DATA_LENGTH, 0); }, "unit 2: data length is 0"},
      {[&](Bytes& b) { SetField(b, u2, UNIT_HEADER_LENGTH, 108); }, "unit 2: header length 108 is not 98 + 2 x 4 chunks"},
      {[](Bytes& b) { b[410 + 20] ^= 0x10; }, "unit 2: checksum of chunk 2 does not match"},
      {[](Bytes& b) { b.push_back(0); }, "unit 3: header runs past the end of the file"},
      {[](Bytes& b) { b.pop_back(); }, ""},  // the last fill may be missing
      {[](Bytes& b) { b.resize(460); }, "unit 2: data runs past the end of the file"},
      // 2^24 chunks of 16 bytes: a header and table of 98 + 2 x 2^24 bytes.
      {[&](Bytes& b) { SetField(b, u1, UNIT_DATA_LENGTH, 1 << 28), SetField(b, u1, UNIT_HEADER_LENGTH, 0x2000062); },
       "unit 1: checksum table runs past the end of the file"},
      // A 32-bit chunk count would wrap to 0 here and leave the data unchecked.
      {[&](Bytes& b) { SetField(b, u1, UNIT_CHUNK_SIZE, 0xFFFFFFF0), SetField(b, u1, UNIT_HEADER_LENGTH, 98); },
       "unit 1: header length 98 is not 98 + 2 x 1 chunks"},
      {[&](Bytes& b) { SetField(b, u1, UNIT_TAG, 0x12345678); },
       "unit 1: tag 0x12345678 is neither a router nor a wireless module tag"},
  };
  for (const auto& [damage, why] : cases) {
    Bytes bytes = good;
    damage(bytes);
    UpgradePackage package, memory;
    EXPECT_EQ(LoadBytes(dir, bytes, &package), why);
    EXPECT_EQ(package.Kind(), why.empty() ? MODULE_FIRMWARE : MODULE_NONE) << why;
    std::string reason;
    EXPECT_EQ(memory.LoadFromBytes(bytes, &reason), why.empty()) << why;
    EXPECT_EQ(reason, why);
  }
}

TEST(UpgradePackageTest, EveryCoveredByteMattersAndNoOtherDoes) {
  TempDir dir;
  const PackagePlan plan = Plan(MODULE_DASHBOARD, {37, 70});
  const Bytes good = Build(plan);
  // Which bytes belong to a unit's header, table or data, and which are fill.
  std::vector<bool> covered(good.size(), false);
  size_t at = 92;
  for (const PackageUnit& unit : plan.m_Units) {
    const size_t length = 98 + 2 * ((unit.m_Data.size() + 15) / 16) + unit.m_Data.size();
    std::fill_n(covered.begin() + at, length, true);
    at += (length + 3) / 4 * 4;
  }
  ASSERT_EQ(at, good.size());
  for (size_t i = 4; i < good.size(); ++i) {  // the image type decides the kind, not the checks
    Bytes bytes = good;
    bytes[i] ^= 0x5A;
    UpgradePackage package;
    const std::string reason = LoadBytes(dir, bytes, &package);
    EXPECT_EQ(reason.substr(0, 5), covered[i] ? "unit " : "") << "byte " << i << ": " << reason;
  }
}

TEST(UpgradePackageTest, KindComesFromTheRouterKindValueOrTheImageTypeAndPath) {
  TempDir dir;
  const struct {
    ModuleKind m_Plan = MODULE_APP, m_Kind = MODULE_NONE;
    int64_t m_KindValue = -1, m_ImageType = -1, m_Tag = -1;
    size_t m_Units = 1, m_Length = 32;
    const char *m_Name = "", *m_Reason = "";
  } cases[] = {
      {.m_Kind = MODULE_BOOT, .m_KindValue = 2, .m_Length = 16},  // the value ends the file
      {.m_Kind = MODULE_BOOT, .m_KindValue = 3},
      {.m_Kind = MODULE_APP, .m_KindValue = 0xFFFFFFF9},
      {.m_KindValue = 0x87654326, .m_Reason = "router kind value 0x87654326 has bits 1-2 set to 3"},
      {.m_Plan = MODULE_FIRMWARE, .m_Tag = UNIT_TAG_ROUTER, .m_Length = 8,
       .m_Reason = "unit 1: data ends before its kind value"},
      {.m_Plan = MODULE_FIRMWARE, .m_Kind = MODULE_FIRMWARE, .m_Units = 2, .m_Name = "ZEMT.bin"},
      {.m_Plan = MODULE_DASHBOARD, .m_Kind = MODULE_DASHBOARD},
      {.m_Plan = MODULE_FIRMWARE, .m_Kind = MODULE_DASHBOARD, .m_ImageType = 0, .m_Units = 2, .m_Name = "a_ZEMT_1.bin"},
      {.m_Plan = MODULE_FIRMWARE, .m_Kind = MODULE_FIRMWARE, .m_ImageType = 0, .m_Units = 2, .m_Name = "a_zemt_1.bin"},
      {.m_Plan = MODULE_FIRMWARE, .m_Kind = MODULE_FIRMWARE, .m_ImageType = 0, .m_Units = 3, .m_Name = "b_ZEMT_1.bin"},
      {.m_Plan = MODULE_FIRMWARE, .m_Kind = MODULE_FIRMWARE, .m_ImageType = 0, .m_Units = 1, .m_Name = "c_ZEMT_1.bin"},
      {.m_Plan = MODULE_FIRMWARE, .m_ImageType = 2, .m_Reason = "image type 2 is not 0, 1 or 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.m_Plan << " " << c.m_KindValue << " " << c.m_ImageType << " " << c.m_Name);
    PackagePlan plan = Plan(c.m_Plan, std::vector<size_t>(c.m_Units, c.m_Length));
    plan.m_KindValue = c.m_KindValue, plan.m_ImageType = c.m_ImageType, plan.m_Tag = c.m_Tag;
    UpgradePackage package;
    EXPECT_EQ(LoadBytes(dir, Build(plan), &package, c.m_Name), c.m_Reason);
    EXPECT_EQ(package.Kind(), c.m_Kind);
  }
}

// What each refusal is called. A missing file's reason names the system's
// own text after "cannot open: ".
TEST(UpgradePackageTest, FilesThatAreNoPackagesAndPathRules) {
  TempDir dir;
  // A sparse file whose size's low 32 bits would look like a small package.
  testsupport::WriteFile(dir.File("huge.bin"), Build(Plan(MODULE_FIRMWARE, {20})));
  std::error_code error;
  std::filesystem::resize_file(dir.File("huge.bin"), uint64_t{1} << 32, error);
  if (error) GTEST_SKIP() << "no sparse files here";
  const std::string tooShort = "path is empty, unreadable or 7 characters or shorter", missing = "cannot open: ";
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("missing.bin"), missing}, {dir.File("huge.bin"), "4 GiB or larger"},
      {dir.Path(), "not a regular file"}, {"//srv/share/x.bin", "network paths are refused"},
      {"/\xC3\xA4\xC3\xA4.bin", tooShort}, {std::string("/tmp/x\0y.bin", 12), tooShort},
      {dir.File("\xC3\xA4\xC3\xA4\xC3\xA4.bin"), missing}};  // 8 characters in 11 bytes
  for (const auto& [path, why] : cases) {
    UpgradePackage package;
    package.SetPath(path);
    std::string reason;
    EXPECT_FALSE(package.LoadWithReason(&reason)) << path;
    EXPECT_EQ(why == missing ? reason.substr(0, missing.size()) : reason, why) << path;
    EXPECT_GT(reason.size(), why == missing ? missing.size() : 0) << path;
  }
}

// The program's embedded data is process-wide: what the test puts there goes
// when it ends (placeholders again, the extra id empty).
struct ScopedResourceData {
  ~ScopedResourceData() {
    static const uint8_t placeholder[] = {'0'};
    for (uint32_t id = 144; id <= 149; ++id) SetResourceData(id, "BINARY", placeholder, 1);
    SetResourceData(151, "BINARY", nullptr, 0);
  }
};

TEST(UpgradePackageTest, EmbeddedPackagesTakeTheirKindFromTheIdAndSkipChecksums) {
  ScopedResourceData restore;
  uint32_t size = 0;
  EXPECT_EQ(LoadResourceData(150, "BINARY", &size), nullptr);  // the title is a string
  EXPECT_FALSE(UpgradePackage().LoadFromResource(146));  // a placeholder
  Bytes bytes = Build(Plan(MODULE_FIRMWARE, {100, 30}));
  bytes[92 + 98 + 14 + 5] ^= 0xFF;  // a chunk checksum no longer matches
  const ModuleKind kinds[] = {MODULE_APP, MODULE_DASHBOARD, MODULE_FIRMWARE, MODULE_CUSTOMIZATION, MODULE_BOOT, MODULE_NONE};
  for (uint32_t id = 144; id <= 149; ++id) {
    SetResourceData(id, "BINARY", bytes.data(), static_cast<uint32_t>(bytes.size()));
    UpgradePackage package;
    EXPECT_EQ(package.LoadFromResource(id), id < 149) << id;
    EXPECT_EQ(std::pair(package.Kind(), package.UnitCount()), std::pair(kinds[id - 144], size_t{2})) << id;
  }
  // A unit that runs past the end is refused here too, and so is data without one.
  for (size_t size : {bytes.size() - 20, size_t{92}}) {
    SetResourceData(146, "BINARY", bytes.data(), static_cast<uint32_t>(size));
    EXPECT_FALSE(UpgradePackage().LoadFromResource(146)) << size;
  }
  // One byte is a placeholder again, two are data.
  for (uint32_t id = 144; id <= 149; ++id) SetResourceData(id, "BINARY", bytes.data(), 1);
  EXPECT_EQ(LoadResourceData(144, "BINARY", &size), nullptr);
  SetResourceData(151, "BINARY", bytes.data(), 2);
  EXPECT_EQ(LoadResourceData(151, "BINARY", &size), bytes.data());
}

TEST(PackageBuilderTest, RefusesPlansThatMakeNoValidPackage) {
  // The change to a good plan and the reason, "" when the plan stays good.
  const std::pair<std::function<void(PackagePlan&)>, std::string> cases[] = {
      {[](PackagePlan& p) { p.m_Kind = MODULE_NONE; }, "no such kind"},
      {[](PackagePlan& p) { p.m_Version = std::string(84, 'v'); }, "version text longer than 83 bytes"},
      {[](PackagePlan& p) { p.m_Version = std::string("a\0b", 3); }, "version text holds a NUL byte"},
      {[](PackagePlan& p) { p.m_ChunkSize = 0; }, "chunk size must not be 0"},
      {[](PackagePlan& p) { p.m_ImageType = int64_t{1} << 32; }, "image type out of range"},
      {[](PackagePlan& p) { p.m_KindValue = -2; }, "kind value out of range"},
      {[](PackagePlan& p) { p.m_Tag = int64_t{1} << 32; }, "tag out of range"},
      {[](PackagePlan& p) { p.m_Units.clear(); }, "a package needs at least one unit"},
      {[](PackagePlan& p) { p.m_Units[1].m_Data.clear(); }, "unit 2 has no data"},
      {[](PackagePlan& p) { p.m_Units[0].m_Data.resize(15); },
       "the first unit of a router package needs at least 16 bytes of data"},
      {[](PackagePlan& p) { p.m_Version.resize(83, 'v'), p.m_ImageType = p.m_KindValue = p.m_Tag = 0xFFFFFFFF; }, ""},
  };
  for (const auto& [change, why] : cases) {
    PackagePlan plan = Plan(MODULE_APP, {16, 40});
    change(plan);
    Bytes bytes;
    std::string reason;
    EXPECT_EQ(BuildPackage(plan, &bytes, &reason), why.empty()) << why;
    EXPECT_EQ(reason, why);
  }
  std::string reason;
  EXPECT_FALSE(WritePackageFile(Plan(MODULE_FIRMWARE, {8}), "/nonexistent/x.bin", &reason));
  EXPECT_EQ(reason.substr(0, 34), "cannot create /nonexistent/x.bin: ");
}

}  // namespace
