// Modal notices to the user ("Warning" boxes and the like). The core only
// says what to show; each front end installs the sink that shows it (a
// message box in the window, a line on stderr in the terminal program). A
// pass that must not share the process's sink (one of several gateways at
// once) is given a sink of its own.
#pragma once

#include <string>

constexpr const char* WARNING_CAPTION = "Warning";

class INoticeSink {
 public:
  virtual ~INoticeSink() = default;
  // Shows text under caption and returns once the user has seen it.
  virtual void ShowNotice(const std::string& caption, const std::string& text) = 0;
  // A line that adds to the notice before it, for a front end with room for
  // one (the terminal); a message box keeps its text and leaves it out.
  virtual void ShowDetail(const std::string& text) { (void)text; }
  void ShowWarning(const std::string& text) { ShowNotice(WARNING_CAPTION, text); }
};

// Installs the sink for the process (null restores the default, stderr).
void SetNoticeSink(INoticeSink* sink);
// The process's sink: the one installed, else the default.
INoticeSink& ProcessNotices();
inline void ShowNotice(const std::string& caption, const std::string& text) {
  ProcessNotices().ShowNotice(caption, text);
}
inline void ShowWarning(const std::string& text) { ShowNotice(WARNING_CAPTION, text); }
