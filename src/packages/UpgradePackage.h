// A verified upgrade package: the file's bytes read once into memory the
// package owns, its units walked and checked on exactly those bytes (header
// CRC, chunk CRCs, lengths, bounds), its kind decided. Every later step sends
// from the same bytes, so a file rewritten on disk during a pass changes
// nothing that was verified. The package header and the first unit header
// are read and checked first: a file that is no package (a disk image that
// happens to end in .bin) is refused before the rest of it is read.
//
// File layout (little-endian): image type (4), 4 bytes, version text (84,
// NUL-terminated), then units from offset 92, each 4-byte aligned:
//   tag(4) header length(4) ?(4) unlock(8) load address(4) data length(4)
//   ?(64) header CRC(2) chunk size(4) | chunk CRC table | data | fill
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framing/ByteOrder.h"
#include "model/ModuleKind.h"
#include "model/ResourceData.h"
#include "platform/ImageMemory.h"
#include "platform/ReadFile.h"

constexpr uint32_t UNIT_TAG_ROUTER = 0x30524448;    // "HDR0" in file order
constexpr uint32_t UNIT_TAG_WIRELESS = 0xA55AAA55;  // 55 AA 5A A5 in file order
constexpr uint32_t PACKAGE_HEADER_SIZE = 92;
constexpr uint32_t UNIT_HEADER_SIZE = 98;
constexpr uint32_t MIN_PACKAGE_SIZE = PACKAGE_HEADER_SIZE + UNIT_HEADER_SIZE;  // 190
constexpr uint32_t VERSION_TEXT_OFFSET = 8;
constexpr uint32_t VERSION_TEXT_SIZE = 84;
// Sizes and offsets in the format are 32-bit: a file this large or larger
// would be parsed from the low bits of its size, so it is refused.
constexpr uint64_t MAX_PACKAGE_FILE_SIZE = uint64_t{1} << 32;

// Offsets inside a unit header.
constexpr uint32_t UNIT_TAG = 0;
constexpr uint32_t UNIT_HEADER_LENGTH = 4;
constexpr uint32_t UNIT_UNLOCK = 12;
constexpr uint32_t UNIT_LOAD_ADDRESS = 20;
constexpr uint32_t UNIT_DATA_LENGTH = 24;
constexpr uint32_t UNIT_HEADER_CRC = 92;
constexpr uint32_t UNIT_CHUNK_SIZE = 94;

// A copy of the 98 bytes of one unit header, with typed accessors.
struct UnitHeader {
  uint8_t m_Bytes[UNIT_HEADER_SIZE];

  uint32_t Tag() const { return U32(UNIT_TAG); }
  uint32_t HeaderLength() const { return U32(UNIT_HEADER_LENGTH); }
  const uint8_t* Unlock() const { return m_Bytes + UNIT_UNLOCK; }  // 8 bytes
  uint32_t LoadAddress() const { return U32(UNIT_LOAD_ADDRESS); }
  uint32_t DataLength() const { return U32(UNIT_DATA_LENGTH); }
  uint16_t HeaderCrc() const { return ReadLe16(m_Bytes + UNIT_HEADER_CRC); }
  uint32_t ChunkSize() const { return U32(UNIT_CHUNK_SIZE); }
  uint32_t U32(uint32_t offset) const { return ReadLe32(m_Bytes + offset); }
};

// Stores why in *reason (when not null) and returns false: how the package
// checks name the first rule a file or a plan broke.
inline bool FailBecause(std::string* reason, const std::string& why) {
  if (reason) *reason = why;
  return false;
}

// Where a unit's data lies in the package, and how long it is.
struct UnitExtent {
  uint32_t m_Offset;
  uint32_t m_Length;
};

class UpgradePackage {
 public:
  UpgradePackage() = default;
  ~UpgradePackage();
  UpgradePackage(const UpgradePackage&) = delete;
  UpgradePackage& operator=(const UpgradePackage&) = delete;
  // Takes over other's bytes, units, kind, path and flags, and leaves other
  // empty and not loaded: a package loaded once changes hands unread.
  UpgradePackage& operator=(UpgradePackage&& other) noexcept;

  // The package at path, not loaded yet: the next Load reads it.
  void SetPath(const std::string& path);
  // Reads and checks the file at Path(). Returns true at once, reading
  // nothing, when already loaded; SetPath again for a fresh load.
  bool Load();
  // Load, telling in *reason (when not null) the first rule the file broke.
  // The scan uses the silent Load; `qel package info` uses this.
  bool LoadWithReason(std::string* reason);
  // Copies bytes as the package's own and checks them as a file's contents
  // (every checksum; m_Path only for the kind rule). Always a fresh load.
  bool LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* reason);
  // Loads from the program's own embedded package of that id (one of
  // PACKAGE_RESOURCE_IDS), which also names its kind.
  bool LoadFromResource(uint32_t resourceId);
  // Empties the units, sets the kind to MODULE_NONE and frees the bytes.
  // Leaves the path, the resource id and the loaded flag alone.
  void Reset();
  // Reset, and forgets the path, the resource id and the loaded flag: no
  // package, as when new.
  void Clear();
  // The path is longer than 7 characters and is no network path.
  bool IsPathUsable() const;
  // Checks one unit at offset, appends it and moves offset to the next unit.
  // A unit that does not fit inside the image is rejected, never read past.
  bool ParseUnit(uint32_t& offset);
  // The same check, naming the first fault in *reason (when not null) as
  // "unit N: ...", units and chunks counted from 1.
  bool ParseUnit(uint32_t& offset, std::string* reason);
  ModuleKind DetectKind(uint32_t firstTag, uint32_t imageType) const;

  // Read access for the Check, the window and the stages.
  const std::string& Path() const { return m_Path; }
  bool Loaded() const { return m_Loaded; }
  ModuleKind Kind() const { return m_Kind; }
  uint32_t ResourceId() const { return m_ResourceId; }
  size_t UnitCount() const { return m_Units.size(); }
  const UnitHeader& Unit(size_t i) const { return m_Units[i]; }
  const UnitExtent& Extent(size_t i) const { return m_Extents[i]; }
  const uint8_t* UnitData(size_t i) const { return m_Image + m_Extents[i].m_Offset; }
  uint32_t TotalDataLength() const;  // sum of the data lengths of all units
  uint32_t ImageType() const;
  // The version text at offset 8, up to its NUL or 84 bytes, as UTF-8.
  std::string VersionText() const;
  uint32_t Size() const { return m_Size; }

 private:
  // Reads the file at m_Path into m_Memory and checks it, its first unit
  // header before the rest is read, each chunk as soon as it is read.
  bool ReadAndVerify(std::string* reason);
  // Reads the file on until the first end bytes are in m_Memory (while a
  // file is being read; otherwise every byte is there).
  bool ReadUpTo(uint64_t end, std::string* reason);
  // The rules one unit header must meet, for a unit at start: its checksum
  // (file packages), its lengths, and a table and data inside the image of
  // size bytes. Gives the unit's chunk count.
  bool CheckUnitHeader(const UnitHeader& header, uint64_t start, uint64_t size, const std::string& unit,
                       uint64_t* chunkCount, std::string* reason) const;
  // Checks the bytes in m_Memory (reading them first while a file is being
  // read) and decides the kind.
  bool Verify(std::string* reason);
  bool ParseUnits(std::string* reason);
  // The 32-bit value at offset 12 of the first unit's data, when inside the image.
  bool RouterKindValue(uint32_t* value) const;
  std::vector<UnitHeader> m_Units;
  std::vector<UnitExtent> m_Extents;
  std::string m_Path;
  uint32_t m_ResourceId = 0;
  bool m_Loaded = false;
  const uint8_t* m_Image = nullptr;  // m_Memory's bytes, or a resource's data
  ModuleKind m_Kind = MODULE_NONE;
  uint32_t m_Size = 0;    // bytes at m_Image
  CImageMemory m_Memory;  // the package's own copy of a file
  // The file being read and how much of it is in m_Memory: its bytes are
  // checked 2 MiB at a time as they come, while still in the cache.
  CReadFile* m_Reading = nullptr;
  uint64_t m_ReadSoFar = 0;
};
