#include "model/VersionText.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/CheckProcedure.h"

// Valid text is three dots of digits, and numbers stop there; a match is
// exact, or the same first two numbers and the third or an installed zero.
TEST(VersionTextTest, ValidityNumbersAndMatch) {
  // Text, valid, numbers (one that runs to the end is 0).
  const std::tuple<const char*, bool, std::vector<int32_t>> cases[] = {
      {"1.2.3.4", true, {1, 2, 3}},   {"12.345.6789.", true, {12, 345, 6789}}, {"1.2.3..x", true, {1, 2, 3}},
      {"7.8.9", false, {7, 8, 0}},    {"5-x6.7", false, {5, 0, 6}},            {"1..2.3.4", false, {1, 0, 2}},
      {".1.2.3", false, {0, 1, 2}},   {"1.2.3 .4", false, {1, 2, 3}},          {FORCE_LOAD_VERSION_TEXT, false, {0, 0, 0}}};
  for (const auto& [text, valid, numbers] : cases) {
    EXPECT_EQ(IsValidVersionText(text), valid) << text;
    int32_t n[3] = {-1, -1, -1};
    VersionNumbers(text, n);
    EXPECT_EQ(std::vector<int32_t>(n, n + 3), numbers) << text;
  }
  // Installed version, package version, match.
  const std::tuple<const char*, const char*, int> matches[] = {
      // The fourth group is not compared; only an installed 0 accepts any third.
      {"1.2.3.4", "1.2.3.9", 1}, {"1.2.3.4", "1.3.3.4", 0}, {"1.2.3.4", "2.2.3.4", 0}, {"1.2.30.4", "1.2.3.4", 0},
      {"1.2.0.4", "1.2.7.1", 1}, {"1.2.3.4", "1.2.0.4", 0}, {"01.02.03.4", "1.2.3.5", 1}, {"1.2.3.beta", "1.2.3.beta", 1},
      // A version that cannot be read never blocks the upgrade.
      {"1.2.3", "1.2.4", 1}, {"1..2.3.4", "9.9.9.9", 1}, {"", "1.2.3.4", 1}, {"1.2.3.4", "No version", 1},
      {FORCE_LOAD_VERSION_TEXT, "1.2.3.4", 1}};
  for (const auto& [current, upgrade, match] : matches) EXPECT_EQ(VersionMatch(current, upgrade), match) << current << " " << upgrade;
}
