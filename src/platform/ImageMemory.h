// Memory for the bytes of one package file, taken from the system in one
// piece and given back in one piece. The program does not zero-fill it
// before the file is read into it, and a large one is aligned and advised
// for huge pages, so reading a package of hundreds of MiB costs a few
// hundred page faults rather than tens of thousands. Movable, not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class CImageMemory {
 public:
  CImageMemory() = default;
  ~CImageMemory() { Release(); }
  CImageMemory(CImageMemory&& other) noexcept { *this = std::move(other); }
  CImageMemory& operator=(CImageMemory&& other) noexcept;
  CImageMemory(const CImageMemory&) = delete;
  CImageMemory& operator=(const CImageMemory&) = delete;

  // Gives back what is held, then takes size bytes (more than 0). False,
  // holding nothing, when the system refuses.
  bool Allocate(size_t size);
  void Release();

  uint8_t* Data() const { return m_Data; }
  size_t Size() const { return m_Size; }

 private:
  uint8_t* m_Data = nullptr;
  size_t m_Size = 0;    // bytes asked for
  size_t m_Mapped = 0;  // bytes held from the system, from m_Data
};
