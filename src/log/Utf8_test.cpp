#include "log/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8Test, ValidTextPassesAndEachBadByteBecomesOneReplacement) {
  const std::string R = "\xEF\xBF\xBD";  // U+FFFD
  // From U+007F to U+10FFFF at each boundary of each length, and a NUL.
  const std::string valid = std::string("a\0\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80", 16) +
                            "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF没有";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {valid, valid}, {"A\x80\xFF" "B", "A" + R + R + "B"}, {"\xF5\x80", R + R},
      {"\xC0\x80", R + R}, {"\xE0\x9F\xBF", R + R + R}, {"\xF0\x8F\xBF\xBF", R + R + R + R},  // overlong
      {"\xED\xA0\x80", R + R + R}, {"\xED\xBF\xBF", R + R + R},  // the first and the last surrogate
      {"\xF4\x90\x80\x80", R + R + R + R},  // past U+10FFFF
      {"\x80\x90\x80\x80", R + R + R + R}, {"\xF8\x90\x80\x80", R + R + R + R},  // no lead byte before three continuations
      {"\xE4\xB8" "A", R + R + "A"},        // cut short by ASCII
      {"x\xF0\x9F\x98", "x" + R + R + R}};  // cut short by the end
  for (const auto& [bytes, text] : cases) EXPECT_EQ(SanitizeUtf8(bytes), text) << bytes;
  EXPECT_EQ(SanitizeUtf8("\xE4\xB8\xAD", 2), R + R);  // reads only the given length
}
