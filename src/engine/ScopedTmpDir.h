// For the engine tests: TMPDIR points at a fresh directory (where the
// engine's log file goes) for as long as the object lives.
#pragma once

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

class ScopedTmpDir {
 public:
  ScopedTmpDir() {
    const char* old = getenv("TMPDIR");
    m_HadOld = old != nullptr;
    if (old) m_Old = old;
    setenv("TMPDIR", m_Dir.Path().c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (m_HadOld) {
      setenv("TMPDIR", m_Old.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  const std::string& Path() const { return m_Dir.Path(); }
  std::string File(const std::string& name) const { return m_Dir.File(name); }

 private:
  testsupport::TempDir m_Dir;
  std::string m_Old;
  bool m_HadOld = false;
};
