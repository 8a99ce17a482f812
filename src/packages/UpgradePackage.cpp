#include "packages/UpgradePackage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "framing/Crc16.h"
#include "log/Utf8.h"
#include "platform/ReadFile.h"
#include "platform/SystemError.h"

namespace {

std::string ErrnoText(int code) { return SystemErrorPhrase(code); }

std::string Hex32(uint32_t value) {
  char buffer[16];
  snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

// Reads of a huge page's size: few calls, and each chunk's checksum still
// finds the bytes just read in the cache.
constexpr uint64_t READ_STEP = uint64_t{2} << 20;

// The first size bytes of the file, leaving its position where it was. A
// file with fewer is being cut short.
bool ReadHead(CReadFile& file, uint8_t* destination, size_t size, std::string* reason) {
  size_t done = 0;
  while (done < size) {
    size_t n = 0;
    if (!file.ReadAt(done, destination + done, size - done, &n)) return FailBecause(reason, "cannot read: " + ErrnoText(file.Error()));
    if (n == 0) return FailBecause(reason, "changed size while being read");
    done += n;
  }
  return true;
}

// The file ends where it ended when opened. One more byte means it is being
// rewritten, and the bytes read may mix both.
bool AtEnd(CReadFile& file, std::string* reason) {
  uint8_t beyond = 0;
  size_t n = 0;
  if (!file.Read(&beyond, 1, &n)) return FailBecause(reason, "cannot read: " + ErrnoText(file.Error()));
  return n == 0 || FailBecause(reason, "changed size while being read");
}

}  // namespace

UpgradePackage::~UpgradePackage() { Reset(); }

UpgradePackage& UpgradePackage::operator=(UpgradePackage&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  m_Units = std::move(other.m_Units);
  m_Extents = std::move(other.m_Extents);
  m_Path = std::move(other.m_Path);
  m_ResourceId = std::exchange(other.m_ResourceId, 0);
  m_Loaded = std::exchange(other.m_Loaded, false);
  m_Image = std::exchange(other.m_Image, nullptr);
  m_Kind = std::exchange(other.m_Kind, MODULE_NONE);
  m_Size = std::exchange(other.m_Size, 0);
  m_Memory = std::move(other.m_Memory);
  other.m_Units.clear();
  other.m_Extents.clear();
  other.m_Path.clear();
  return *this;
}

void UpgradePackage::SetPath(const std::string& path) {
  m_Path = path;
  m_Loaded = false;
  m_ResourceId = 0;
}

void UpgradePackage::Clear() {
  Reset();
  SetPath("");
}

bool UpgradePackage::Load() { return LoadWithReason(nullptr); }

bool UpgradePackage::LoadWithReason(std::string* reason) {
  if (m_Loaded) return true;
  Reset();
  m_ResourceId = 0;
  if (!IsPathUsable()) {
    return FailBecause(reason, m_Path.rfind("//", 0) == 0 ? "network paths are refused"
                                                   : "path is empty, unreadable or 7 characters or shorter");
  }
  return ReadAndVerify(reason);
}

bool UpgradePackage::LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* reason) {
  m_Loaded = false;
  Reset();
  // Bytes of a file: every checksum is verified, whatever a caller left here.
  m_ResourceId = 0;
  if (bytes.size() >= MAX_PACKAGE_FILE_SIZE) return FailBecause(reason, "4 GiB or larger");
  if (bytes.size() < MIN_PACKAGE_SIZE) return FailBecause(reason, "shorter than 190 bytes");
  if (!m_Memory.Allocate(bytes.size())) return FailBecause(reason, "cannot read: " + ErrnoText(ENOMEM));
  memcpy(m_Memory.Data(), bytes.data(), bytes.size());
  return Verify(reason);
}

bool UpgradePackage::Verify(std::string* reason) {
  m_Image = m_Memory.Data();
  m_Size = static_cast<uint32_t>(m_Memory.Size());
  if (!ParseUnits(reason) || !ReadUpTo(m_Size, reason)) return false;
  if (m_Reading && !AtEnd(*m_Reading, reason)) return false;
  m_Kind = DetectKind(m_Units[0].Tag(), ImageType());
  if (m_Kind == MODULE_NONE) {
    const uint32_t tag = m_Units[0].Tag();
    uint32_t value = 0;
    if (tag == UNIT_TAG_ROUTER && !RouterKindValue(&value)) return FailBecause(reason, "unit 1: data ends before its kind value");
    if (tag == UNIT_TAG_ROUTER) return FailBecause(reason, "router kind value " + Hex32(value) + " has bits 1-2 set to 3");
    if (tag == UNIT_TAG_WIRELESS) return FailBecause(reason, "image type " + std::to_string(ImageType()) + " is not 0, 1 or 3");
    return FailBecause(reason, "unit 1: tag " + Hex32(tag) + " is neither a router nor a wireless module tag");
  }
  m_Loaded = true;
  return true;
}

bool UpgradePackage::ReadAndVerify(std::string* reason) {
  CReadFile file;
  if (!file.Open(m_Path)) return FailBecause(reason, "cannot open: " + ErrnoText(file.Error()));
  bool regular = false;
  uint64_t size = 0;
  if (!file.Inspect(&regular, &size)) return FailBecause(reason, "cannot read its size: " + ErrnoText(file.Error()));
  if (!regular) return FailBecause(reason, "not a regular file");
  if (size >= MAX_PACKAGE_FILE_SIZE) return FailBecause(reason, "4 GiB or larger");
  if (size < MIN_PACKAGE_SIZE) return FailBecause(reason, "shorter than 190 bytes");
  // The first unit header decides whether the rest is worth reading.
  uint8_t head[MIN_PACKAGE_SIZE];
  if (!ReadHead(file, head, sizeof head, reason)) return false;
  UnitHeader first;
  memcpy(first.m_Bytes, head + PACKAGE_HEADER_SIZE, UNIT_HEADER_SIZE);
  uint64_t chunkCount = 0;
  if (!CheckUnitHeader(first, PACKAGE_HEADER_SIZE, size, "unit 1: ", &chunkCount, reason)) return false;
  if (!m_Memory.Allocate(static_cast<size_t>(size))) return FailBecause(reason, "cannot read: " + ErrnoText(ENOMEM));
  m_Reading = &file;
  m_ReadSoFar = 0;
  const bool verified = Verify(reason);
  m_Reading = nullptr;
  return verified;
}

bool UpgradePackage::ReadUpTo(uint64_t end, std::string* reason) {
  while (m_Reading && m_ReadSoFar < end) {
    const uint64_t want = std::min(std::max(end - m_ReadSoFar, READ_STEP), uint64_t{m_Size} - m_ReadSoFar);
    size_t n = 0;
    if (!m_Reading->Read(m_Memory.Data() + m_ReadSoFar, static_cast<size_t>(want), &n)) {
      return FailBecause(reason, "cannot read: " + ErrnoText(m_Reading->Error()));
    }
    if (n == 0) return FailBecause(reason, "changed size while being read");
    m_ReadSoFar += n;
  }
  return true;
}

bool UpgradePackage::ParseUnits(std::string* reason) {
  uint32_t offset = PACKAGE_HEADER_SIZE;
  while (offset < m_Size) {
    if (!ParseUnit(offset, reason)) return false;
  }
  return true;
}

bool UpgradePackage::LoadFromResource(uint32_t resourceId) {
  Reset();
  m_ResourceId = resourceId;
  m_Loaded = false;
  m_Path.clear();
  uint32_t size = 0;
  const uint8_t* data = LoadResourceData(resourceId, "BINARY", &size);
  if (!data || size < MIN_PACKAGE_SIZE) return false;
  m_Image = data;
  m_Size = size;
  if (!ParseUnits(nullptr)) return false;
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    if (PACKAGE_RESOURCE_IDS[kind] != resourceId) continue;
    m_Kind = static_cast<ModuleKind>(kind);
    m_Loaded = true;
    return true;
  }
  return false;
}

void UpgradePackage::Reset() {
  m_Units.clear();
  m_Extents.clear();
  m_Kind = MODULE_NONE;
  m_Memory.Release();  // a file's bytes can be large: give them back
  m_Image = nullptr;  // resource data is the program's; only forget it
  m_Size = 0;
}

bool UpgradePackage::IsPathUsable() const {
  if (m_Path.find('\0') != std::string::npos) return false;
  if (m_Path.rfind("//", 0) == 0) return false;
  // Characters, not bytes: UTF-8 continuation bytes do not count.
  size_t characters = 0;
  for (unsigned char c : m_Path) {
    if ((c & 0xC0) != 0x80) ++characters;
  }
  return characters > 7;
}

bool UpgradePackage::ParseUnit(uint32_t& offset) { return ParseUnit(offset, nullptr); }

bool UpgradePackage::ParseUnit(uint32_t& offset, std::string* reason) {
  const std::string unit = "unit " + std::to_string(m_Units.size() + 1) + ": ";
  // 64-bit arithmetic throughout: no sum of 32-bit fields may wrap around.
  const uint64_t size = m_Size;
  const uint64_t start = offset;
  if (!m_Image || start + UNIT_HEADER_SIZE > size) return FailBecause(reason, unit + "header runs past the end of the file");
  if (!ReadUpTo(start + UNIT_HEADER_SIZE, reason)) return false;
  UnitHeader header;
  memcpy(header.m_Bytes, m_Image + start, UNIT_HEADER_SIZE);

  uint64_t chunkCount = 0;
  if (!CheckUnitHeader(header, start, size, unit, &chunkCount, reason)) return false;
  const uint64_t chunkSize = header.ChunkSize();
  const uint64_t dataLength = header.DataLength();
  const uint64_t tableSize = 2 * chunkCount;
  const uint64_t tableOffset = start + UNIT_HEADER_SIZE;
  const uint64_t dataOffset = tableOffset + tableSize;

  const bool fromFile = m_ResourceId == 0;
  if (fromFile) {
    const uint8_t* table = m_Image + tableOffset;
    const uint8_t* data = m_Image + dataOffset;
    for (uint64_t i = 0; i < chunkCount; ++i) {
      const uint64_t from = i * chunkSize;
      const uint32_t length = static_cast<uint32_t>(std::min(chunkSize, dataLength - from));
      if (!ReadUpTo(dataOffset + from + length, reason)) return false;
      const uint16_t stated = ReadLe16(table + 2 * i);
      if (Crc16(data + from, length) != stated) {
        return FailBecause(reason, unit + "checksum of chunk " + std::to_string(i + 1) + " does not match");
      }
    }
  }

  // Fill up to a multiple of 4 from the unit's start; the last unit's fill may
  // be missing from the file, so the offset stops at the end.
  uint64_t next = dataOffset + dataLength;
  const uint64_t r = (UNIT_HEADER_SIZE + tableSize + dataLength) % 4;
  if (r != 0) next += 4 - r;
  offset = static_cast<uint32_t>(std::min(next, size));
  m_Extents.push_back({static_cast<uint32_t>(dataOffset), static_cast<uint32_t>(dataLength)});
  m_Units.push_back(header);
  return true;
}

bool UpgradePackage::CheckUnitHeader(const UnitHeader& header, uint64_t start, uint64_t size, const std::string& unit,
                                     uint64_t* chunkCount, std::string* reason) const {
  const uint64_t chunkSize = header.ChunkSize();
  const uint64_t dataLength = header.DataLength();
  if (m_ResourceId == 0) {
    UnitHeader zeroed = header;
    zeroed.m_Bytes[UNIT_HEADER_CRC] = 0;
    zeroed.m_Bytes[UNIT_HEADER_CRC + 1] = 0;
    if (Crc16(zeroed.m_Bytes, UNIT_HEADER_SIZE) != header.HeaderCrc()) return FailBecause(reason, unit + "header checksum does not match");
    if (dataLength == 0) return FailBecause(reason, unit + "data length is 0");
  }
  if (chunkSize == 0) return FailBecause(reason, unit + "chunk size is 0");

  *chunkCount = (dataLength + chunkSize - 1) / chunkSize;
  const uint64_t tableSize = 2 * *chunkCount;
  if (header.HeaderLength() != UNIT_HEADER_SIZE + tableSize) {
    return FailBecause(reason, unit + "header length " + std::to_string(header.HeaderLength()) + " is not 98 + 2 x " +
                            std::to_string(*chunkCount) + " chunks");
  }
  const uint64_t tableOffset = start + UNIT_HEADER_SIZE;
  if (tableOffset + tableSize > size) return FailBecause(reason, unit + "checksum table runs past the end of the file");
  if (tableOffset + tableSize + dataLength > size) return FailBecause(reason, unit + "data runs past the end of the file");
  return true;
}

bool UpgradePackage::RouterKindValue(uint32_t* value) const {
  if (m_Extents.empty()) return false;
  const uint64_t at = static_cast<uint64_t>(m_Extents[0].m_Offset) + 12;
  if (!m_Image || at + 4 > m_Size) return false;
  *value = ReadLe32(m_Image + at);
  return true;
}

ModuleKind UpgradePackage::DetectKind(uint32_t firstTag, uint32_t imageType) const {
  if (firstTag == UNIT_TAG_ROUTER) {
    uint32_t value = 0;
    if (!RouterKindValue(&value)) return MODULE_NONE;
    switch ((value >> 1) & 3) {
      case 0: return MODULE_APP;
      case 1: return MODULE_BOOT;
      case 2: return MODULE_CUSTOMIZATION;
      default: return MODULE_NONE;
    }
  }
  if (firstTag == UNIT_TAG_WIRELESS) {
    switch (imageType) {
      case 1: return MODULE_FIRMWARE;
      case 3: return MODULE_DASHBOARD;
      case 0:
        // Packages that do not state their type: a two-unit image is the
        // dashboard when its path says so.
        return (m_Units.size() == 2 && m_Path.find("ZEMT") != std::string::npos) ? MODULE_DASHBOARD
                                                                                 : MODULE_FIRMWARE;
      default: return MODULE_NONE;
    }
  }
  return MODULE_NONE;
}

uint32_t UpgradePackage::TotalDataLength() const {
  uint32_t total = 0;
  for (const UnitExtent& extent : m_Extents) total += extent.m_Length;
  return total;
}

uint32_t UpgradePackage::ImageType() const {
  if (!m_Image || m_Size < 4) return 0;
  return ReadLe32(m_Image);
}

std::string UpgradePackage::VersionText() const {
  if (!m_Image || m_Size < PACKAGE_HEADER_SIZE) return "";
  const char* text = reinterpret_cast<const char*>(m_Image + VERSION_TEXT_OFFSET);
  return SanitizeUtf8(text, strnlen(text, VERSION_TEXT_SIZE));
}
