// The window's way of showing the core's notices: a modal "Warning" box with
// the warning icon and an OK button, owned by the window, shown on the
// window's thread. A worker thread that raises a notice waits until the user
// has closed the box.
#pragma once

#include <atomic>

#include "log/Notice.h"

class QWidget;

class CWarningBoxSink : public INoticeSink {
 public:
  explicit CWarningBoxSink(QWidget* owner) : m_Owner(owner) {}
  void ShowNotice(const std::string& caption, const std::string& text) override;
  // While the window closes, notices of a worker still finishing are dropped.
  void SetSilent(bool silent) { m_Silent = silent; }

 private:
  QWidget* m_Owner;
  std::atomic<bool> m_Silent{false};
};
