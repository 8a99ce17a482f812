#include "packages/PackageBuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framing/ByteOrder.h"
#include "framing/Crc16.h"
#include "packages/UpgradePackage.h"

const uint8_t DEFAULT_UNLOCK_CODE[8] = {'Q', 'E', 'L', 'U', 'N', 'L', 'K', '1'};

PackagePlan::PackagePlan() { memcpy(m_Unlock, DEFAULT_UNLOCK_CODE, sizeof m_Unlock); }

namespace {

bool IsRouterKind(ModuleKind kind) {
  return kind == MODULE_BOOT || kind == MODULE_APP || kind == MODULE_CUSTOMIZATION;
}

// The value whose bits 1-2 the package reader turns back into the kind.
uint32_t RouterKindValue(ModuleKind kind) {
  switch (kind) {
    case MODULE_BOOT: return 2;
    case MODULE_CUSTOMIZATION: return 4;
    default: return 0;
  }
}

bool FitsU32(int64_t value) { return value >= 0 && value <= 0xFFFFFFFFll; }

bool CheckPlan(const PackagePlan& plan, std::string* reason) {
  if (plan.m_Kind < MODULE_BOOT || plan.m_Kind > MODULE_DASHBOARD) return FailBecause(reason, "no such kind");
  if (plan.m_Version.size() >= VERSION_TEXT_SIZE) return FailBecause(reason, "version text longer than 83 bytes");
  if (plan.m_Version.find('\0') != std::string::npos) return FailBecause(reason, "version text holds a NUL byte");
  if (plan.m_ChunkSize == 0) return FailBecause(reason, "chunk size must not be 0");
  if (plan.m_ImageType != -1 && !FitsU32(plan.m_ImageType)) return FailBecause(reason, "image type out of range");
  if (plan.m_KindValue != -1 && !FitsU32(plan.m_KindValue)) return FailBecause(reason, "kind value out of range");
  if (plan.m_Tag != -1 && !FitsU32(plan.m_Tag)) return FailBecause(reason, "tag out of range");
  if (plan.m_Units.empty()) return FailBecause(reason, "a package needs at least one unit");
  uint64_t total = PACKAGE_HEADER_SIZE;
  for (size_t i = 0; i < plan.m_Units.size(); ++i) {
    const uint64_t length = plan.m_Units[i].m_Data.size();
    if (length == 0) return FailBecause(reason, "unit " + std::to_string(i + 1) + " has no data");
    const uint64_t chunks = (length + plan.m_ChunkSize - 1) / plan.m_ChunkSize;
    total += UNIT_HEADER_SIZE + 2 * chunks + length + 3;
  }
  if (total >= MAX_PACKAGE_FILE_SIZE) return FailBecause(reason, "package would be 4 GiB or larger");
  if (IsRouterKind(plan.m_Kind) && plan.m_Units[0].m_Data.size() < 16) {
    return FailBecause(reason, "the first unit of a router package needs at least 16 bytes of data");
  }
  return true;
}

uint32_t ImageTypeOf(const PackagePlan& plan) {
  if (plan.m_ImageType != -1) return static_cast<uint32_t>(plan.m_ImageType);
  if (plan.m_Kind == MODULE_FIRMWARE) return 1;
  if (plan.m_Kind == MODULE_DASHBOARD) return 3;
  return 0;
}

uint32_t TagOf(const PackagePlan& plan) {
  if (plan.m_Tag != -1) return static_cast<uint32_t>(plan.m_Tag);
  return IsRouterKind(plan.m_Kind) ? UNIT_TAG_ROUTER : UNIT_TAG_WIRELESS;
}

// Appends one unit: header, chunk checksum table, data, fill to 4 bytes.
void AppendUnit(const PackagePlan& plan, size_t index, const std::vector<uint8_t>& data,
                std::vector<uint8_t>* out) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  const uint32_t chunkCount = static_cast<uint32_t>((uint64_t{length} + plan.m_ChunkSize - 1) / plan.m_ChunkSize);

  uint8_t header[UNIT_HEADER_SIZE] = {};
  WriteLe32(header + UNIT_TAG, TagOf(plan));
  WriteLe32(header + UNIT_HEADER_LENGTH, UNIT_HEADER_SIZE + 2 * chunkCount);
  if (index == 0) memcpy(header + UNIT_UNLOCK, plan.m_Unlock, sizeof plan.m_Unlock);
  WriteLe32(header + UNIT_LOAD_ADDRESS, plan.m_Units[index].m_LoadAddress);
  WriteLe32(header + UNIT_DATA_LENGTH, length);
  WriteLe32(header + UNIT_CHUNK_SIZE, plan.m_ChunkSize);
  WriteLe16(header + UNIT_HEADER_CRC, Crc16(header, UNIT_HEADER_SIZE));  // taken with the field zero
  out->insert(out->end(), header, header + UNIT_HEADER_SIZE);

  for (uint32_t i = 0; i < chunkCount; ++i) {
    const uint64_t from = uint64_t{i} * plan.m_ChunkSize;
    const uint64_t chunk = std::min<uint64_t>(plan.m_ChunkSize, length - from);
    uint8_t crc[2];
    WriteLe16(crc, Crc16(data.data() + from, static_cast<uint32_t>(chunk)));
    out->insert(out->end(), crc, crc + 2);
  }
  out->insert(out->end(), data.begin(), data.end());
  const uint64_t r = (UNIT_HEADER_SIZE + 2 * uint64_t{chunkCount} + length) % 4;
  if (r != 0) out->insert(out->end(), 4 - r, 0);
}

}  // namespace

bool BuildPackage(const PackagePlan& plan, std::vector<uint8_t>* out, std::string* reason) {
  if (!out) return FailBecause(reason, "no output");
  if (!CheckPlan(plan, reason)) return false;
  out->assign(PACKAGE_HEADER_SIZE, 0);
  WriteLe32(out->data(), ImageTypeOf(plan));
  memcpy(out->data() + VERSION_TEXT_OFFSET, plan.m_Version.data(), plan.m_Version.size());

  for (size_t i = 0; i < plan.m_Units.size(); ++i) {
    if (i == 0 && IsRouterKind(plan.m_Kind)) {
      // The reader takes the kind from bits 1-2 of this value, so it goes in
      // before the chunk checksums are computed.
      std::vector<uint8_t> data = plan.m_Units[0].m_Data;
      const int64_t value = plan.m_KindValue != -1 ? plan.m_KindValue : RouterKindValue(plan.m_Kind);
      WriteLe32(data.data() + 12, static_cast<uint32_t>(value));
      AppendUnit(plan, i, data, out);
    } else {
      AppendUnit(plan, i, plan.m_Units[i].m_Data, out);
    }
  }
  return true;
}

bool WritePackageFile(const PackagePlan& plan, const std::string& path, std::string* reason) {
  std::vector<uint8_t> bytes;
  if (!BuildPackage(plan, &bytes, reason)) return false;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return FailBecause(reason, "cannot create " + path + ": " + strerror(errno));
  const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = fclose(file) == 0;
  if (!written || !closed) return FailBecause(reason, "cannot write " + path);
  return true;
}
