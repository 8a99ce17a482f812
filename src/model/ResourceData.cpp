// The program's own embedded data. Linux executables carry no resource
// section, so the data lives in a small table keyed by (id, type). The
// program ships the five package slots as one-byte placeholders, so embedded
// packages are absent unless a build puts real ones there.
#include "model/ResourceData.h"

#include <mutex>
#include <string>
#include <vector>

namespace {

struct ResourceEntry {
  uint32_t m_Id;
  std::string m_Type;
  const uint8_t* m_Data;
  uint32_t m_Size;
};

const uint8_t kPlaceholder[] = {'0'};
const char kTitle[] = "QEL Upgrade";

std::vector<ResourceEntry>& Table() {
  static std::vector<ResourceEntry> table = {
      {IDR_PACKAGE_APP, "BINARY", kPlaceholder, 1},
      {IDR_PACKAGE_DASHBOARD, "BINARY", kPlaceholder, 1},
      {IDR_PACKAGE_FIRMWARE, "BINARY", kPlaceholder, 1},
      {IDR_PACKAGE_CUSTOMIZATION, "BINARY", kPlaceholder, 1},
      {IDR_PACKAGE_BOOT, "BINARY", kPlaceholder, 1},
      {IDR_TITLE, "STRING", reinterpret_cast<const uint8_t*>(kTitle), sizeof kTitle - 1},
  };
  return table;
}

// Lookups happen on the check thread and the window's thread; registration
// is rare, so one lock keeps both simple.
std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

const uint8_t* LoadResourceData(uint32_t id, const char* type, uint32_t* size) {
  if (!type) return nullptr;
  std::lock_guard<std::mutex> guard(TableLock());
  for (const ResourceEntry& entry : Table()) {
    if (entry.m_Id != id || entry.m_Type != type) continue;
    // 0- and 1-byte entries are placeholders, the same as missing ones.
    if (!entry.m_Data || entry.m_Size <= 1) return nullptr;
    if (size) *size = entry.m_Size;
    return entry.m_Data;
  }
  return nullptr;
}

void SetResourceData(uint32_t id, const char* type, const uint8_t* data, uint32_t size) {
  if (!type) return;
  std::lock_guard<std::mutex> guard(TableLock());
  for (ResourceEntry& entry : Table()) {
    if (entry.m_Id == id && entry.m_Type == type) {
      entry.m_Data = data;
      entry.m_Size = size;
      return;
    }
  }
  Table().push_back({id, type, data, size});
}
