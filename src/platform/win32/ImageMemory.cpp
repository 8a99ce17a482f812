#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/ImageMemory.h"

#include <windows.h>


// Committed pages are zeroed by the system on first touch only, so a
// package's bytes cost their page faults once, while being read in. Large
// pages would need a privilege users do not hold.
bool CImageMemory::Allocate(size_t size) {
  Release();
  if (size == 0) return false;
  void* taken = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!taken) return false;
  m_Data = static_cast<uint8_t*>(taken);
  m_Size = size;
  m_Mapped = size;
  return true;
}

void CImageMemory::Release() {
  if (m_Data) VirtualFree(m_Data, 0, MEM_RELEASE);
  m_Data = nullptr;
  m_Size = 0;
  m_Mapped = 0;
}
