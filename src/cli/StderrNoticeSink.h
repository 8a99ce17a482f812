// Notices of the terminal program: just the text, one line on stderr (the
// caption "Warning" says nothing in a terminal), and the lines that add to it.
#pragma once

#include "log/Notice.h"

class StderrNoticeSink : public INoticeSink {
 public:
  void ShowNotice(const std::string& caption, const std::string& text) override;
  void ShowDetail(const std::string& text) override { ShowNotice("", text); }
};

// Installs a StderrNoticeSink for as long as it lives.
class ScopedStderrNotices {
 public:
  ScopedStderrNotices() { SetNoticeSink(&m_Sink); }
  ~ScopedStderrNotices() { SetNoticeSink(nullptr); }
  ScopedStderrNotices(const ScopedStderrNotices&) = delete;
  ScopedStderrNotices& operator=(const ScopedStderrNotices&) = delete;

 private:
  StderrNoticeSink m_Sink;
};
