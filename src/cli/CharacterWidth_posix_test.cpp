#include "cli/CharacterWidth.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>

namespace {

// The table gives every character the width the C library gives it under a
// UTF-8 locale, where the library knows the character at all.
TEST(CharacterWidthTest, AgreesWithTheCLibrary) {
  const std::string before = setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  int differences = 0;
  for (uint32_t cp = 0x20; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    const int expected = wcwidth(static_cast<wchar_t>(cp));
    if (expected >= 0 && CharacterWidth(cp) != expected && ++differences <= 10)
      ADD_FAILURE() << std::hex << "U+" << cp << ": " << CharacterWidth(cp) << ", wcwidth " << expected;
  }
  setlocale(LC_CTYPE, before.c_str());
  EXPECT_EQ(differences, 0);
}

}  // namespace
