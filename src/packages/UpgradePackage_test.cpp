#include "packages/UpgradePackage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "diag/Crc16.h"
#include "packages/PackageBuilder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::TempDir;

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return data;
}

PackagePlan Plan(ModuleKind kind, std::vector<size_t> unitLengths, uint32_t chunkSize = 64) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = "V1.2.3";
  plan.m_ChunkSize = chunkSize;
  uint8_t seed = 1;
  for (size_t length : unitLengths) plan.m_Units.push_back({0x1000u * seed, Pattern(length, seed)}), ++seed;
  return plan;
}

Bytes Build(const PackagePlan& plan) {
  Bytes bytes;
  std::string reason;
  EXPECT_TRUE(BuildPackage(plan, &bytes, &reason)) << reason;
  return bytes;
}

uint32_t GetU32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void PutU32(Bytes& b, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Recomputes the header checksum of the unit at start after a test changed it.
void Reseal(Bytes& b, size_t start) {
  b[start + UNIT_HEADER_CRC] = b[start + UNIT_HEADER_CRC + 1] = 0;
  const uint16_t crc = Crc16(b.data() + start, UNIT_HEADER_SIZE);
  b[start + UNIT_HEADER_CRC] = static_cast<uint8_t>(crc);
  b[start + UNIT_HEADER_CRC + 1] = static_cast<uint8_t>(crc >> 8);
}

// Loads bytes written as dir/name; fills *reason with the loader's reason.
bool LoadBytes(const TempDir& dir, const std::string& name, const Bytes& bytes, UpgradePackage* package,
               std::string* reason = nullptr) {
  const std::string path = dir.File(name);
  testsupport::WriteFile(path, bytes);
  package->m_Path = path;
  package->m_ResourceId = 0;
  package->m_Loaded = false;
  std::string why;
  const bool loaded = package->LoadWithReason(&why);
  if (reason) *reason = why;
  return loaded;
}

TEST(UpgradePackageTest, LoadsEveryKindWithUnitsExtentsAndVersion) {
  TempDir dir;
  for (ModuleKind kind : {MODULE_BOOT, MODULE_APP, MODULE_CUSTOMIZATION, MODULE_FIRMWARE, MODULE_DASHBOARD}) {
    const PackagePlan plan = Plan(kind, {300, 17, 64});
    UpgradePackage package;
    std::string reason;
    ASSERT_TRUE(LoadBytes(dir, "p.bin", Build(plan), &package, &reason)) << reason;
    EXPECT_EQ(package.m_Kind, kind);
    EXPECT_EQ(package.VersionText(), "V1.2.3");
    ASSERT_EQ(package.UnitCount(), 3u);
    EXPECT_EQ(package.TotalDataLength(), 300u + 17u + 64u);
    EXPECT_EQ(package.Extent(0).m_Offset, 92u + 98u + 2u * 5u);
    const bool router = kind <= MODULE_CUSTOMIZATION;
    EXPECT_EQ(package.Unit(0).Tag(), router ? UNIT_TAG_ROUTER : UNIT_TAG_WIRELESS);
    EXPECT_EQ(package.ImageType(), kind == MODULE_FIRMWARE ? 1u : kind == MODULE_DASHBOARD ? 3u : 0u);
    EXPECT_EQ(memcmp(package.Unit(0).Unlock(), "QELUNLK1", 8), 0);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(package.Unit(i).LoadAddress(), plan.m_Units[i].m_LoadAddress);
      EXPECT_EQ(package.Extent(i).m_Length, plan.m_Units[i].m_Data.size());
      EXPECT_EQ(package.Unit(i).ChunkSize(), 64u);
      // Router data has the kind value written over bytes 12-15 of unit 1.
      const Bytes& data = plan.m_Units[i].m_Data;
      const size_t skip = (router && i == 0) ? 16 : 0;
      EXPECT_EQ(memcmp(package.UnitData(i) + skip, data.data() + skip, data.size() - skip), 0);
    }
  }
}

TEST(UpgradePackageTest, RejectsFilesShorterThanOneUnitHeader) {
  TempDir dir;
  const Bytes full = Build(Plan(MODULE_FIRMWARE, {40}));
  for (size_t length : {0u, 1u, 91u, 189u}) {
    UpgradePackage package;
    std::string reason;
    EXPECT_FALSE(LoadBytes(dir, "short.bin", Bytes(full.begin(), full.begin() + length), &package, &reason));
    EXPECT_EQ(reason, "shorter than 190 bytes");
    EXPECT_EQ(package.m_Kind, MODULE_NONE);
    EXPECT_EQ(package.UnitCount(), 0u);
  }
  // 190 bytes reach the unit header, but its table and data are missing.
  UpgradePackage package;
  std::string reason;
  EXPECT_FALSE(LoadBytes(dir, "short.bin", Bytes(full.begin(), full.begin() + 190), &package, &reason));
  EXPECT_EQ(reason, "unit 1: checksum table runs past the end of the file");
}

TEST(UpgradePackageTest, RejectsEachBrokenUnitRuleWithItsReason) {
  TempDir dir;
  const Bytes good = Build(Plan(MODULE_FIRMWARE, {100, 100}));
  const size_t unit2 = 92 + 98 + 2 * 2 + 100 + 2;  // (98 + 4 + 100) % 4 == 2: two fill bytes
  ASSERT_EQ(GetU32(good, unit2), UNIT_TAG_WIRELESS);
  struct Case {
    const char* m_Name;
    void (*m_Break)(Bytes&, size_t);
    const char* m_Reason;
  };
  const Case cases[] = {
      {"header checksum", [](Bytes& b, size_t u) { b[u + 30] ^= 1; }, "unit 2: header checksum does not match"},
      {"stored checksum", [](Bytes& b, size_t u) { b[u + UNIT_HEADER_CRC] ^= 0x40; }, "unit 2: header checksum does not match"},
      {"chunk size 0", [](Bytes& b, size_t u) { PutU32(b, u + UNIT_CHUNK_SIZE, 0); Reseal(b, u); }, "unit 2: chunk size is 0"},
      {"data length 0", [](Bytes& b, size_t u) { PutU32(b, u + UNIT_DATA_LENGTH, 0); Reseal(b, u); }, "unit 2: data length is 0"},
      {"header length", [](Bytes& b, size_t u) { PutU32(b, u + UNIT_HEADER_LENGTH, 98 + 2 * 3); Reseal(b, u); },
       "unit 2: header length 104 is not 98 + 2 x 2 chunks"},
      {"chunk checksum", [](Bytes& b, size_t u) { b[u + 98 + 4 + 70] ^= 0x10; }, "unit 2: checksum of chunk 2 does not match"},
      {"table entry", [](Bytes& b, size_t u) { b[u + 98] ^= 0x01; }, "unit 2: checksum of chunk 1 does not match"},
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    c.m_Break(bytes, unit2);
    UpgradePackage package;
    std::string reason;
    EXPECT_FALSE(LoadBytes(dir, "bad.bin", bytes, &package, &reason)) << c.m_Name;
    EXPECT_EQ(reason, c.m_Reason) << c.m_Name;
    EXPECT_FALSE(package.m_Loaded);
    EXPECT_EQ(package.m_Kind, MODULE_NONE);
  }
}

TEST(UpgradePackageTest, UnitsThatRunPastTheEndAreRejectedWithoutReadingThere) {
  TempDir dir;
  const Bytes good = Build(Plan(MODULE_FIRMWARE, {100}, 16));  // 7 chunks
  const size_t u = 92;
  std::string reason;
  {
    // Trailing bytes that are no unit: their header runs past the end.
    Bytes bytes = good;
    bytes.insert(bytes.end(), 50, 0xAB);
    UpgradePackage package;
    EXPECT_FALSE(LoadBytes(dir, "tail.bin", bytes, &package, &reason));
    EXPECT_EQ(reason, "unit 2: header runs past the end of the file");
  }
  {
    // A checksum table of 2 x 0x1000000 entries, stated consistently.
    Bytes bytes = good;
    PutU32(bytes, u + UNIT_DATA_LENGTH, 0x10000000);
    PutU32(bytes, u + UNIT_HEADER_LENGTH, 98 + 2 * 0x1000000);
    Reseal(bytes, u);
    UpgradePackage package;
    EXPECT_FALSE(LoadBytes(dir, "table.bin", bytes, &package, &reason));
    EXPECT_EQ(reason, "unit 1: checksum table runs past the end of the file");
  }
  {
    // Data one chunk longer than the file holds.
    Bytes bytes = good;
    PutU32(bytes, u + UNIT_DATA_LENGTH, 112);
    PutU32(bytes, u + UNIT_HEADER_LENGTH, 98 + 2 * 7);
    Reseal(bytes, u);
    UpgradePackage package;
    EXPECT_FALSE(LoadBytes(dir, "data.bin", bytes, &package, &reason));
    EXPECT_EQ(reason, "unit 1: data runs past the end of the file");
  }
  {
    // A file cut inside the data of its only unit.
    UpgradePackage package;
    EXPECT_FALSE(LoadBytes(dir, "cut.bin", Bytes(good.begin(), good.end() - 10), &package, &reason));
    EXPECT_EQ(reason, "unit 1: data runs past the end of the file");
  }
  {
    // A chunk size so large that a 32-bit chunk count would wrap to 0 and
    // leave the data unchecked: the count is 1, so the length is wrong.
    Bytes bytes = good;
    PutU32(bytes, u + UNIT_CHUNK_SIZE, 0xFFFFFFF0);
    PutU32(bytes, u + UNIT_HEADER_LENGTH, 98);
    Reseal(bytes, u);
    UpgradePackage package;
    EXPECT_FALSE(LoadBytes(dir, "wrap.bin", bytes, &package, &reason));
    EXPECT_EQ(reason, "unit 1: header length 98 is not 98 + 2 x 1 chunks");
  }
}

TEST(UpgradePackageTest, ChunkTableFollowsTheDataLength) {
  TempDir dir;
  UpgradePackage exact, oneMore;
  ASSERT_TRUE(LoadBytes(dir, "exact.bin", Build(Plan(MODULE_FIRMWARE, {128}, 32)), &exact));
  ASSERT_TRUE(LoadBytes(dir, "more.bin", Build(Plan(MODULE_FIRMWARE, {129}, 32)), &oneMore));
  EXPECT_EQ(exact.Unit(0).HeaderLength(), 98u + 2 * 4);
  EXPECT_EQ(oneMore.Unit(0).HeaderLength(), 98u + 2 * 5);
  EXPECT_EQ(oneMore.Extent(0).m_Offset, exact.Extent(0).m_Offset + 2);
  // The last chunk of the longer unit holds one byte and is checked.
  Bytes bytes = Build(Plan(MODULE_FIRMWARE, {129}, 32));
  bytes[92 + 98 + 10 + 128] ^= 0xFF;
  UpgradePackage broken;
  std::string reason;
  EXPECT_FALSE(LoadBytes(dir, "broken.bin", bytes, &broken, &reason));
  EXPECT_EQ(reason, "unit 1: checksum of chunk 5 does not match");
}

TEST(UpgradePackageTest, FillOnlyWhereTheUnitEndIsNotAligned) {
  TempDir dir;
  // 98 + 2 x 1 + 100 = 200, a multiple of 4: the next unit follows directly.
  UpgradePackage aligned;
  ASSERT_TRUE(LoadBytes(dir, "a.bin", Build(Plan(MODULE_FIRMWARE, {100, 8}, 128)), &aligned));
  EXPECT_EQ(aligned.Extent(1).m_Offset, 92u + 200u + 98u + 2u);
  // 98 + 2 + 101 = 201: three fill bytes.
  UpgradePackage filled;
  ASSERT_TRUE(LoadBytes(dir, "f.bin", Build(Plan(MODULE_FIRMWARE, {101, 8}, 128)), &filled));
  EXPECT_EQ(filled.Extent(1).m_Offset, 92u + 204u + 98u + 2u);
}

TEST(UpgradePackageTest, LastFillMayBeMissingButNothingElseMayFollow) {
  TempDir dir;
  const Bytes full = Build(Plan(MODULE_FIRMWARE, {64, 61}));  // 98 + 2 + 61 = 161: 3 fill bytes
  ASSERT_EQ(full.size() % 4, 0u);
  for (size_t cut = 1; cut <= 3; ++cut) {
    UpgradePackage package;
    std::string reason;
    EXPECT_TRUE(LoadBytes(dir, "nofill.bin", Bytes(full.begin(), full.end() - cut), &package, &reason)) << reason;
    EXPECT_EQ(package.UnitCount(), 2u);
  }
  Bytes longer = full;
  longer.push_back(0);
  UpgradePackage package;
  std::string reason;
  EXPECT_FALSE(LoadBytes(dir, "extra.bin", longer, &package, &reason));
  EXPECT_EQ(reason, "unit 3: header runs past the end of the file");
}

TEST(UpgradePackageTest, EveryCoveredByteMattersAndNoOtherDoes) {
  TempDir dir;
  const PackagePlan plan = Plan(MODULE_DASHBOARD, {37, 70}, 16);
  const Bytes good = Build(plan);
  // Which bytes belong to a unit's header, table or data, and which are fill.
  std::vector<bool> covered(good.size(), false);
  size_t at = 92;
  for (const PackageUnit& unit : plan.m_Units) {
    const size_t chunks = (unit.m_Data.size() + 15) / 16;
    const size_t length = 98 + 2 * chunks + unit.m_Data.size();
    for (size_t i = 0; i < length; ++i) covered[at + i] = true;
    at += (length + 3) / 4 * 4;
  }
  ASSERT_EQ(at, good.size());
  for (size_t i = 0; i < good.size(); ++i) {
    if (i < 4) continue;  // the image type decides the kind, not the checks
    Bytes bytes = good;
    bytes[i] ^= 0x5A;
    UpgradePackage package;
    std::string reason;
    // A fresh name each time: rewriting one file in place makes the file
    // system push it to disk at every close.
    const std::string name = "flip" + std::to_string(i) + ".bin";
    const bool loaded = LoadBytes(dir, name, bytes, &package, &reason);
    unlink(dir.File(name).c_str());
    if (covered[i]) {
      EXPECT_FALSE(loaded) << "byte " << i;
      EXPECT_EQ(reason.rfind("unit ", 0), 0u) << "byte " << i << ": " << reason;
    } else {
      EXPECT_TRUE(loaded) << "byte " << i << ": " << reason;
      EXPECT_EQ(package.m_Kind, MODULE_DASHBOARD);
    }
  }
}

TEST(UpgradePackageTest, VersionTextStopsAtItsFieldAndIsSanitized) {
  TempDir dir;
  Bytes bytes = Build(Plan(MODULE_FIRMWARE, {10}));
  for (size_t i = 8; i < 92; ++i) bytes[i] = 'A';  // no NUL in the 84 bytes
  UpgradePackage package;
  ASSERT_TRUE(LoadBytes(dir, "v.bin", bytes, &package));
  EXPECT_EQ(package.VersionText(), std::string(84, 'A'));

  bytes[8] = 'V';
  bytes[9] = static_cast<char>(0xFF);
  bytes[10] = 0;
  package.m_Loaded = false;
  ASSERT_TRUE(LoadBytes(dir, "v.bin", bytes, &package));
  EXPECT_EQ(package.VersionText(), "V\xEF\xBF\xBD");

  bytes[8] = 0;
  ASSERT_TRUE(LoadBytes(dir, "v.bin", bytes, &package));
  EXPECT_EQ(package.VersionText(), "");
}

TEST(UpgradePackageTest, RouterKindComesFromBitsOneAndTwoOfTheFirstUnitsData) {
  TempDir dir;
  const struct {
    int64_t m_Value;
    ModuleKind m_Kind;
  } cases[] = {{0, MODULE_APP},           {2, MODULE_BOOT}, {4, MODULE_CUSTOMIZATION}, {6, MODULE_NONE},
               {1, MODULE_APP},           {3, MODULE_BOOT}, {8, MODULE_APP},           {0xFFFFFFF9, MODULE_APP},
               {0x80000004, MODULE_CUSTOMIZATION}};
  for (const auto& c : cases) {
    PackagePlan plan = Plan(MODULE_APP, {32, 40});
    plan.m_KindValue = c.m_Value;
    UpgradePackage package;
    std::string reason;
    EXPECT_EQ(LoadBytes(dir, "r.bin", Build(plan), &package, &reason), c.m_Kind != MODULE_NONE) << c.m_Value;
    EXPECT_EQ(package.m_Kind, c.m_Kind) << c.m_Value;
    if (c.m_Kind == MODULE_NONE) {
      EXPECT_EQ(reason, "router kind value 0x00000006 has bits 1-2 set to 3");
    }
  }
}

TEST(UpgradePackageTest, RouterKindValueIsReadOnlyInsideTheFile) {
  TempDir dir;
  // A router image of one 8-byte unit: offset 12 of its data lies past the end.
  PackagePlan plan = Plan(MODULE_FIRMWARE, {8});
  plan.m_Tag = UNIT_TAG_ROUTER;
  UpgradePackage package;
  std::string reason;
  Bytes bytes = Build(plan);
  EXPECT_FALSE(LoadBytes(dir, "tiny.bin", bytes, &package, &reason));
  EXPECT_EQ(reason, "unit 1: data ends before its kind value");
}

TEST(UpgradePackageTest, WirelessKindFollowsImageTypeAndZemtRule) {
  TempDir dir;
  const auto load = [&](size_t units, int64_t imageType, const std::string& name) {
    PackagePlan plan = Plan(MODULE_FIRMWARE, std::vector<size_t>(units, 20));
    plan.m_ImageType = imageType;
    UpgradePackage package;
    LoadBytes(dir, name, Build(plan), &package);
    return package.m_Kind;
  };
  EXPECT_EQ(load(2, 1, "ZEMT.bin"), MODULE_FIRMWARE);
  EXPECT_EQ(load(1, 3, "a.bin"), MODULE_DASHBOARD);
  EXPECT_EQ(load(2, 0, "pkg_ZEMT_1.bin"), MODULE_DASHBOARD);
  EXPECT_EQ(load(2, 0, "pkg_zemt_1.bin"), MODULE_FIRMWARE);
  EXPECT_EQ(load(2, 0, "plain.bin"), MODULE_FIRMWARE);
  EXPECT_EQ(load(3, 0, "pkg_ZEMT_1.bin"), MODULE_FIRMWARE);
  EXPECT_EQ(load(1, 0, "pkg_ZEMT_1.bin"), MODULE_FIRMWARE);
  EXPECT_EQ(load(2, 2, "a.bin"), MODULE_NONE);
  EXPECT_EQ(load(2, 4, "a.bin"), MODULE_NONE);

  // The directory part of the path counts too.
  const std::string sub = dir.Path() + "/inZEMTdir";
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  PackagePlan plan = Plan(MODULE_FIRMWARE, {20, 20});
  plan.m_ImageType = 0;
  ASSERT_TRUE(WritePackageFile(plan, sub + "/p.bin", nullptr));
  UpgradePackage package;
  package.m_Path = sub + "/p.bin";
  ASSERT_TRUE(package.Load());
  EXPECT_EQ(package.m_Kind, MODULE_DASHBOARD);
}

TEST(UpgradePackageTest, UnknownTagIsNoPackage) {
  TempDir dir;
  PackagePlan plan = Plan(MODULE_FIRMWARE, {20});
  plan.m_Tag = 0x12345678;
  UpgradePackage package;
  std::string reason;
  EXPECT_FALSE(LoadBytes(dir, "tag.bin", Build(plan), &package, &reason));
  EXPECT_EQ(reason, "unit 1: tag 0x12345678 is neither a router nor a wireless module tag");
  EXPECT_EQ(package.m_Kind, MODULE_NONE);
}

TEST(UpgradePackageTest, LoadOnALoadedPackageReadsNothing) {
  TempDir dir;
  UpgradePackage package;
  ASSERT_TRUE(LoadBytes(dir, "one.bin", Build(Plan(MODULE_BOOT, {40})), &package));
  const uint8_t* image = package.m_Image;
  package.m_Path = dir.File("missing.bin");
  EXPECT_TRUE(package.Load());
  EXPECT_EQ(package.m_Image, image);
  EXPECT_EQ(package.m_Kind, MODULE_BOOT);
  // Clearing the flag makes the next load read the (now missing) file.
  package.m_Loaded = false;
  std::string reason;
  EXPECT_FALSE(package.LoadWithReason(&reason));
  EXPECT_EQ(reason.rfind("cannot open: ", 0), 0u) << reason;
  EXPECT_EQ(package.m_Image, nullptr);
  EXPECT_EQ(package.m_Kind, MODULE_NONE);
}

TEST(UpgradePackageTest, ResetReleasesTheViewButKeepsPathAndFlags) {
  TempDir dir;
  UpgradePackage package;
  ASSERT_TRUE(LoadBytes(dir, "one.bin", Build(Plan(MODULE_APP, {40})), &package));
  const std::string path = package.m_Path;
  package.Reset();
  EXPECT_EQ(package.m_Image, nullptr);
  EXPECT_EQ(package.UnitCount(), 0u);
  EXPECT_EQ(package.m_Kind, MODULE_NONE);
  EXPECT_EQ(package.m_Path, path);
  EXPECT_TRUE(package.m_Loaded);
  package.m_Loaded = false;
  EXPECT_TRUE(package.Load());
}

TEST(UpgradePackageTest, PathRules) {
  UpgradePackage package;
  const struct {
    const char* m_Path;
    bool m_Usable;
  } cases[] = {{"", false},           {"/a.bin", false},         {"/ab.bin", false}, {"/abc.bin", true},
               {"//srv/share/x.bin", false}, {"/\xC3\xA4\xC3\xA4.bin", false}, {"/\xC3\xA4\xC3\xA4\xC3\xA4.bin", true}};
  for (const auto& c : cases) {
    package.m_Path = c.m_Path;
    EXPECT_EQ(package.IsPathUsable(), c.m_Usable) << c.m_Path;
  }
  package.m_Path = std::string("/tmp/x\0y.bin", 12);
  EXPECT_FALSE(package.IsPathUsable());
  std::string reason;
  package.m_Path = "/a.bin";
  EXPECT_FALSE(package.LoadWithReason(&reason));
  EXPECT_FALSE(reason.empty());
}

TEST(UpgradePackageTest, DirectoriesAndFifosAreNoPackages) {
  TempDir dir;
  const std::string sub = dir.File("dir.bin");
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  UpgradePackage package;
  package.m_Path = sub;
  std::string reason;
  EXPECT_FALSE(package.LoadWithReason(&reason));
  EXPECT_EQ(reason, "not a regular file");
  const std::string fifo = dir.File("fifo.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  package.m_Path = fifo;
  EXPECT_FALSE(package.LoadWithReason(&reason));  // must not block
  EXPECT_EQ(reason, "not a regular file");
}

TEST(UpgradePackageTest, FilesOfFourGibibytesOrMoreAreRefused) {
  TempDir dir;
  // A sparse file whose size's low 32 bits would look like a small package.
  const Bytes good = Build(Plan(MODULE_FIRMWARE, {20}));
  const std::string path = dir.File("huge.bin");
  testsupport::WriteFile(path, good);
  for (uint64_t size : {uint64_t{1} << 32, (uint64_t{1} << 32) + good.size()}) {
    if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) GTEST_SKIP() << "no sparse files here";
    UpgradePackage package;
    package.m_Path = path;
    std::string reason;
    EXPECT_FALSE(package.LoadWithReason(&reason));
    EXPECT_EQ(reason, "4 GiB or larger");
  }
}

// What was checked is what the stages send: the package keeps its own copy,
// whatever happens to the file afterwards.
TEST(UpgradePackageTest, KeepsTheBytesItCheckedAndParsesThemFromMemory) {
  TempDir dir;
  PackagePlan plan = Plan(MODULE_FIRMWARE, {300, 40});
  plan.m_ImageType = 0;
  const Bytes good = Build(plan);
  UpgradePackage package;
  ASSERT_TRUE(LoadBytes(dir, "p.bin", good, &package));
  const auto unitBytes = [&](size_t i) { return Bytes(package.UnitData(i), package.UnitData(i) + package.Extent(i).m_Length); };
  testsupport::WriteFile(dir.File("p.bin"), Bytes(good.size(), 0xEE));  // rewritten in place
  EXPECT_EQ(unitBytes(1), plan.m_Units[1].m_Data);
  ASSERT_EQ(truncate(dir.File("p.bin").c_str(), 0), 0);  // then cut short
  EXPECT_EQ(unitBytes(0), plan.m_Units[0].m_Data);

  // From memory: checked like a file's bytes, loaded afresh, m_Path only for the kind.
  const struct {
    Bytes m_Bytes;
    const char* m_Reason;
  } cases[] = {{good, ""},
               {Bytes(good.begin(), good.begin() + 189), "shorter than 190 bytes"},
               {[&] { Bytes b = good; b[b.size() - 5] ^= 1; return b; }(), "unit 2: checksum of chunk 1 does not match"}};
  for (const auto& c : cases) {
    UpgradePackage memory;
    memory.m_Path = "/in/ZEMT/p.bin";
    memory.m_ResourceId = 146;
    memory.m_Loaded = true;
    std::string reason;
    const bool loaded = memory.LoadFromBytes(c.m_Bytes, &reason);
    EXPECT_EQ(loaded, reason.empty()) << c.m_Reason;
    EXPECT_EQ(reason, c.m_Reason);
    EXPECT_EQ(memory.m_Kind, reason.empty() ? MODULE_DASHBOARD : MODULE_NONE);
  }
}

TEST(UpgradePackageTest, AFileThatChangesSizeWhileReadIsRefused) {
  // A sysfs attribute states 4096 bytes and holds fewer, as a file cut short
  // between its size and its read does.
  UpgradePackage package;
  package.m_Path = "/sys/class/net/lo/address";
  struct stat info;
  if (stat(package.m_Path.c_str(), &info) != 0 || info.st_size < 190) GTEST_SKIP() << "no sysfs here";
  std::string reason;
  EXPECT_FALSE(package.LoadWithReason(&reason));
  EXPECT_EQ(reason, "changed size while being read");
}

TEST(ResourceDataTest, PlaceholdersAreAbsentAndTheTitleIsThere) {
  uint32_t size = 0;
  for (uint32_t id = 144; id <= 148; ++id) EXPECT_EQ(LoadResourceData(id, "BINARY", &size), nullptr) << id;
  EXPECT_EQ(LoadResourceData(149, "BINARY", &size), nullptr);
  EXPECT_EQ(LoadResourceData(150, "BINARY", &size), nullptr);
  const uint8_t* title = LoadResourceData(150, "STRING", &size);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(title), size), "QEL Upgrade");
  EXPECT_NE(LoadResourceData(150, "STRING", nullptr), nullptr);

  for (uint32_t id = 144; id <= 148; ++id) {
    UpgradePackage package;
    EXPECT_FALSE(package.LoadFromResource(id));
    EXPECT_FALSE(package.m_Loaded);
    EXPECT_EQ(package.m_ResourceId, id);
    EXPECT_TRUE(package.m_Path.empty());
  }
}

TEST(ResourceDataTest, EmbeddedPackageTakesItsKindFromTheIdAndSkipsChecksums) {
  PackagePlan plan = Plan(MODULE_FIRMWARE, {100, 30});
  Bytes bytes = Build(plan);
  bytes[92 + 98 + 14 + 5] ^= 0xFF;  // a chunk checksum no longer matches
  SetResourceData(146, "BINARY", bytes.data(), static_cast<uint32_t>(bytes.size()));
  SetResourceData(145, "BINARY", bytes.data(), static_cast<uint32_t>(bytes.size()));
  SetResourceData(160, "BINARY", bytes.data(), static_cast<uint32_t>(bytes.size()));
  UpgradePackage firmware, dashboard, other;
  EXPECT_TRUE(firmware.LoadFromResource(146));
  EXPECT_EQ(firmware.m_Kind, MODULE_FIRMWARE);
  EXPECT_EQ(firmware.m_Image, bytes.data());
  EXPECT_EQ(firmware.UnitCount(), 2u);
  EXPECT_TRUE(dashboard.LoadFromResource(145));
  EXPECT_EQ(dashboard.m_Kind, MODULE_DASHBOARD);
  EXPECT_FALSE(other.LoadFromResource(160));
  // A unit that runs past the end is refused here too.
  SetResourceData(146, "BINARY", bytes.data(), static_cast<uint32_t>(bytes.size() - 20));
  UpgradePackage cut;
  EXPECT_FALSE(cut.LoadFromResource(146));

  static const uint8_t placeholder[] = {'0'};
  for (uint32_t id : {145u, 146u}) SetResourceData(id, "BINARY", placeholder, 1);
  SetResourceData(160, "BINARY", nullptr, 0);
  firmware.Reset();
  dashboard.Reset();
  EXPECT_FALSE(UpgradePackage().LoadFromResource(146));
}

}  // namespace
