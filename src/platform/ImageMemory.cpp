// What both platforms' image memory shares.
#include "platform/ImageMemory.h"

#include <utility>

CImageMemory& CImageMemory::operator=(CImageMemory&& other) noexcept {
  if (this != &other) {
    Release();
    m_Data = std::exchange(other.m_Data, nullptr);
    m_Size = std::exchange(other.m_Size, 0);
    m_Mapped = std::exchange(other.m_Mapped, 0);
  }
  return *this;
}
