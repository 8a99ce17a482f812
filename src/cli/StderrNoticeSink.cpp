#include "cli/StderrNoticeSink.h"

#include <cstdio>

// stdout first: a console may buffer both, and the notice belongs after
// what was printed before it.
void StderrNoticeSink::ShowNotice(const std::string&, const std::string& text) {
  if (m_Screen) {
    m_Screen->PrintOn(stderr, text);
    return;
  }
  fflush(stdout);
  fprintf(stderr, "%s\n", text.c_str());
  fflush(stderr);
}
