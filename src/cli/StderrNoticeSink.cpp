#include "cli/StderrNoticeSink.h"

#include <cstdio>

void StderrNoticeSink::ShowNotice(const std::string&, const std::string& text) {
  fprintf(stderr, "%s\n", text.c_str());
  fflush(stderr);
}
