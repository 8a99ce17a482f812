// Owner of one POSIX file descriptor: closes it when it goes out of scope,
// so no early return can leak one. Movable, not copyable.
#pragma once

#include <unistd.h>

class CFileDescriptor {
 public:
  CFileDescriptor() = default;
  explicit CFileDescriptor(int fd) : m_Fd(fd) {}
  ~CFileDescriptor() { Close(); }
  CFileDescriptor(CFileDescriptor&& other) noexcept : m_Fd(other.Release()) {}
  CFileDescriptor& operator=(CFileDescriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;

  int Get() const { return m_Fd; }
  bool IsOpen() const { return m_Fd >= 0; }
  // Gives the descriptor up without closing it.
  int Release() {
    const int fd = m_Fd;
    m_Fd = -1;
    return fd;
  }
  // Closes the descriptor held (if any) and takes fd.
  void Reset(int fd = -1) {
    Close();
    m_Fd = fd;
  }
  // Closes now. The descriptor is gone even when close reports an error;
  // false then, with errno set. True when nothing was open.
  bool Close() {
    if (m_Fd < 0) return true;
    const int result = close(m_Fd);
    m_Fd = -1;
    return result == 0;
  }

 private:
  int m_Fd = -1;
};
