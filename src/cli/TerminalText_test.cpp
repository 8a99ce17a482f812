#include "cli/TerminalText.h"

#include <gtest/gtest.h>

namespace {

// A cut text ends in "…" within the width, a wide character that would
// cross the edge goes whole, a combining mark stays with its letter, and an
// escape sequence takes no column and is never cut.
TEST(TerminalTextTest, CutAndFitToAWidth) {
  const struct {
    const char* m_Text;
    size_t m_Width;
    const char *m_Cut, *m_Fit;
  } cases[] = {
      {"abc", 5, "abc", "abc  "},
      {"abcdef", 6, "abcdef", "abcdef"},
      {"abcdef", 5, "abcd\u2026", "abcd\u2026"},
      {"abc", 1, "\u2026", "\u2026"},
      {"abc", 0, "", ""},
      {"\u4E00\u4E8C\u4E09", 6, "\u4E00\u4E8C\u4E09", "\u4E00\u4E8C\u4E09"},
      {"\u4E00\u4E8C\u4E09", 5, "\u4E00\u4E8C\u2026", "\u4E00\u4E8C\u2026"},
      {"\u4E00\u4E8C\u4E09", 4, "\u4E00\u2026", "\u4E00\u2026 "},
      {"e\u0301e\u0301e\u0301", 2, "e\u0301\u2026", "e\u0301\u2026"},
      {"e\u0301e\u0301e\u0301", 3, "e\u0301e\u0301e\u0301", "e\u0301e\u0301e\u0301"},
      {"\033[34mDownload\033[0m", 5, "\033[34mDown\u2026\033[0m", "\033[34mDown\u2026\033[0m"},
      {"\033[34mDownload\033[0m", 8, "\033[34mDownload\033[0m", "\033[34mDownload\033[0m"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutText(c.m_Text, c.m_Width), c.m_Cut) << c.m_Text << " in " << c.m_Width;
    EXPECT_EQ(FitCell(c.m_Text, c.m_Width), c.m_Fit) << c.m_Text << " in " << c.m_Width;
  }
}

// What a gateway sends is shown without a control that the terminal would
// obey: C0, DEL and C1 (also as the last character) become U+FFFD.
TEST(TerminalTextTest, ControlsFromAGatewayAreShownAsReplacements) {
  const std::string R = "\uFFFD";
  const std::pair<std::string, std::string> cases[] = {
      {"eth0 \u4E2D\u00E9", "eth0 \u4E2D\u00E9"},
      {"a\033[2Jb\r\n", "a" + R + "[2Jb" + R + R},
      {"a\x7F\xC2\x9B" "1m", "a" + R + R + "1m"},
      {"a\xC2\x85", "a" + R},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(PrintableText(text), shown) << text;
}

}  // namespace
