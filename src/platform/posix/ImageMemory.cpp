#include "platform/ImageMemory.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr size_t HUGE_PAGE = size_t{2} << 20;

size_t RoundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

bool CImageMemory::Allocate(size_t size) {
  Release();
  if (size == 0) return false;
  // A large image is mapped on a huge page boundary with whole huge pages,
  // one more to find that boundary in; the rest is given back at once.
  const bool huge = size >= HUGE_PAGE;
  const size_t length = huge ? RoundUp(size, HUGE_PAGE) : size;
  const size_t asked = huge ? length + HUGE_PAGE : length;
  void* mapped = mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return false;
  uint8_t* start = static_cast<uint8_t*>(mapped);
  if (huge) {
    uint8_t* aligned = reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(start), HUGE_PAGE));
    if (aligned != start) munmap(start, static_cast<size_t>(aligned - start));
    const size_t tail = static_cast<size_t>(start + asked - (aligned + length));
    if (tail != 0) munmap(aligned + length, tail);
    start = aligned;
    // Only advice: without huge pages the memory works all the same.
    madvise(start, length, MADV_HUGEPAGE);
  }
  m_Data = start;
  m_Size = size;
  m_Mapped = length;
  return true;
}

void CImageMemory::Release() {
  if (m_Data) munmap(m_Data, m_Mapped);
  m_Data = nullptr;
  m_Size = 0;
  m_Mapped = 0;
}
