#include "log/Utf8.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::string kBad = "\xEF\xBF\xBD";

std::string Sanitize(const std::string& bytes) { return SanitizeUtf8(bytes.data(), bytes.size()); }

TEST(Utf8Test, ValidTextPassesUnchanged) {
  for (const std::string& text : {std::string(""), std::string("V1.0.2 build 7"), std::string("\xC3\xA4\xC3\xB6"),
                                 std::string("没有找到至少一个有效的BIN文件"), std::string("\xF0\x9F\x98\x80 end"),
                                 std::string("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"),
                                 std::string("a\0b", 3)}) {
    EXPECT_EQ(Sanitize(text), text);
  }
}

TEST(Utf8Test, EachBadByteBecomesOneReplacementCharacter) {
  EXPECT_EQ(Sanitize("\x80"), kBad);
  EXPECT_EQ(Sanitize("A\xFF" "B"), "A" + kBad + "B");
  EXPECT_EQ(Sanitize("\xC0\x80"), kBad + kBad);              // overlong NUL
  EXPECT_EQ(Sanitize("\xE0\x80\x80"), kBad + kBad + kBad);   // overlong
  EXPECT_EQ(Sanitize("\xED\xA0\x80"), kBad + kBad + kBad);   // surrogate
  EXPECT_EQ(Sanitize("\xF4\x90\x80\x80"), kBad + kBad + kBad + kBad);  // past U+10FFFF
  EXPECT_EQ(Sanitize("\xF5\x80"), kBad + kBad);
  EXPECT_EQ(Sanitize("\xE4\xB8" "A"), kBad + kBad + "A");   // cut short by ASCII
  EXPECT_EQ(Sanitize("x\xE4\xB8"), "x" + kBad + kBad);      // cut short by the end
  EXPECT_EQ(Sanitize("\xF0\x9F\x98"), kBad + kBad + kBad);
}

TEST(Utf8Test, ReadsOnlyTheGivenLength) {
  const char text[] = "\xE4\xB8\xAD";
  EXPECT_EQ(SanitizeUtf8(text, 2), kBad + kBad);
  EXPECT_EQ(SanitizeUtf8(text, 3), "\xE4\xB8\xAD");
}

TEST(Utf8Test, RandomBytesGiveValidTextThatStaysAsItIs) {
  std::mt19937 random(9);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 3 == 0 ? 0x80 + random() % 0x80 : random());
    const std::string once = Sanitize(bytes);
    EXPECT_EQ(Sanitize(once), once);
    EXPECT_GE(once.size(), bytes.size());
  }
}

}  // namespace
