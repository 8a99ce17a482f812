// A file read as a package is read: regular files only (something else
// named *.bin, a FIFO say, is refused without waiting on it), in binary,
// from a UTF-8 path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CReadFile {
 public:
  CReadFile();
  ~CReadFile();
  CReadFile(const CReadFile&) = delete;
  CReadFile& operator=(const CReadFile&) = delete;

  // False with Error() when it cannot be opened.
  bool Open(const std::string& path);
  // Whether it is a regular file, and its size; false with Error() when the
  // system cannot tell.
  bool Inspect(bool* regular, uint64_t* size);
  // Up to length bytes at offset, leaving the position where it was.
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t length, size_t* got);
  // Up to length bytes from the position on (0 at the end).
  bool Read(uint8_t* buffer, size_t length, size_t* got);
  int Error() const { return m_Error; }

  struct Native;

 private:
  std::unique_ptr<Native> m_Native;
  int m_Error = 0;
};
