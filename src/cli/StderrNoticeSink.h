// Notices of the terminal program: just the text, one line on stderr (the
// caption "Warning" says nothing in a terminal), and the lines that add to it.
#pragma once

#include "cli/TerminalScreen.h"
#include "log/Notice.h"

class StderrNoticeSink : public INoticeSink {
 public:
  // screen: the terminal's live lines, which the notice goes above.
  explicit StderrNoticeSink(TerminalScreen* screen = nullptr) : m_Screen(screen) {}
  void ShowNotice(const std::string& caption, const std::string& text) override;
  void ShowDetail(const std::string& text) override { ShowNotice("", text); }

 private:
  TerminalScreen* m_Screen;
};

// Installs a StderrNoticeSink for as long as it lives.
class ScopedStderrNotices {
 public:
  explicit ScopedStderrNotices(TerminalScreen* screen = nullptr) : m_Sink(screen) { SetNoticeSink(&m_Sink); }
  ~ScopedStderrNotices() { SetNoticeSink(nullptr); }
  ScopedStderrNotices(const ScopedStderrNotices&) = delete;
  ScopedStderrNotices& operator=(const ScopedStderrNotices&) = delete;

 private:
  StderrNoticeSink m_Sink;
};
