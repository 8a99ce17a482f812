#include "log/Notice.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<INoticeSink*> g_Sink{nullptr};
}

void SetNoticeSink(INoticeSink* sink) { g_Sink.store(sink); }

void ShowNotice(const std::string& caption, const std::string& text) {
  if (INoticeSink* sink = g_Sink.load()) {
    sink->ShowNotice(caption, text);
    return;
  }
  fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void ShowNoticeDetail(const std::string& text) {
  if (INoticeSink* sink = g_Sink.load()) {
    sink->ShowDetail(text);
    return;
  }
  fprintf(stderr, "%s\n", text.c_str());
}
