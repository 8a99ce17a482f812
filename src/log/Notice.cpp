#include "log/Notice.h"

#include <atomic>
#include <cstdio>

namespace {

class DefaultSink : public INoticeSink {
 public:
  void ShowNotice(const std::string& caption, const std::string& text) override {
    fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  void ShowDetail(const std::string& text) override { fprintf(stderr, "%s\n", text.c_str()); }
};

std::atomic<INoticeSink*> g_Sink{nullptr};

}  // namespace

void SetNoticeSink(INoticeSink* sink) { g_Sink.store(sink); }

INoticeSink& ProcessNotices() {
  static DefaultSink fallback;
  INoticeSink* sink = g_Sink.load();
  return sink ? *sink : fallback;
}

