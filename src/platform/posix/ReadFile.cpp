#include "platform/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

struct CReadFile::Native {
  int m_Fd = -1;
};

CReadFile::CReadFile() : m_Native(std::make_unique<Native>()) {}

CReadFile::~CReadFile() {
  if (m_Native->m_Fd >= 0) close(m_Native->m_Fd);
}

// Non-blocking, so that a FIFO named *.bin cannot hang the scan.
bool CReadFile::Open(const std::string& path) {
  m_Native->m_Fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (m_Native->m_Fd >= 0) return true;
  m_Error = errno;
  return false;
}

bool CReadFile::Inspect(bool* regular, uint64_t* size) {
  struct stat info;
  if (fstat(m_Native->m_Fd, &info) != 0) {
    m_Error = errno;
    return false;
  }
  *regular = S_ISREG(info.st_mode);
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool CReadFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length, size_t* got) {
  for (;;) {
    const ssize_t n = pread(m_Native->m_Fd, buffer, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_Error = errno;
      return false;
    }
    *got = static_cast<size_t>(n);
    return true;
  }
}

bool CReadFile::Read(uint8_t* buffer, size_t length, size_t* got) {
  for (;;) {
    const ssize_t n = read(m_Native->m_Fd, buffer, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_Error = errno;
      return false;
    }
    *got = static_cast<size_t>(n);
    return true;
  }
}
