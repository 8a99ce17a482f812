#include "app/VersionText.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/CheckProcedure.h"

TEST(VersionTextTest, ValidTextIsThreeDotsOfDigitsAndNumbersStopThere) {
  const struct {
    const char* m_Text;
    bool m_Valid;
    int32_t m_Numbers[3];  // a number that runs to the end is 0
  } cases[] = {{"1.2.3.4", true, {1, 2, 3}},         {"12.345.6789.", true, {12, 345, 6789}},
               {"10.2.3.anything", true, {10, 2, 3}}, {"1.2.3..x", true, {1, 2, 3}},
               {"7.8.9", false, {7, 8, 0}},          {"", false, {0, 0, 0}},
               {"5-x6.7", false, {5, 0, 6}},         {"1..2.3.4", false, {1, 0, 2}},
               {".1.2.3", false, {0, 1, 2}},         {"1.2a.3.4", false, {1, 2, 0}},
               {"1.2.3 .4", false, {1, 2, 3}},       {FORCE_LOAD_VERSION_TEXT, false, {0, 0, 0}}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidVersionText(c.m_Text), c.m_Valid) << c.m_Text;
    int32_t n[3] = {-1, -1, -1};
    VersionNumbers(c.m_Text, n);
    EXPECT_EQ(std::vector<int32_t>(n, n + 3), std::vector<int32_t>(c.m_Numbers, c.m_Numbers + 3)) << c.m_Text;
  }
}

TEST(VersionTextTest, MatchIsExactOrSameFirstTwoNumbersAndThirdOrAnInstalledZero) {
  const struct {
    const char* m_Current;
    const char* m_Upgrade;
    int m_Match;
  } cases[] = {
      {"1.2.3.4", "1.2.3.9", 1},     {"1.2.3.9", "1.2.3.1", 1},  // the fourth group is not compared
      {"1.2.3.4", "1.3.3.4", 0},     {"1.2.3.4", "2.2.3.4", 0},     {"1.2.30.4", "1.2.3.4", 0},
      {"1.2.0.4", "1.2.7.1", 1},     {"1.2.3.4", "1.2.0.4", 0},  // only an installed 0 accepts any
      {"01.02.03.4", "1.2.3.5", 1},  {"1.2.3.", "1.2.4.", 0},       {"1.2.3.beta", "1.2.3.beta", 1},
      // A version that cannot be read never blocks the upgrade.
      {"1.2.3", "1.2.4", 1},         {"1..2.3.4", "9.9.9.9", 1},    {"", "1.2.3.4", 1},
      {"1.2.3.4", "No version", 1},  {FORCE_LOAD_VERSION_TEXT, "1.2.3.4", 1}};
  for (const auto& c : cases) EXPECT_EQ(VersionMatch(c.m_Current, c.m_Upgrade), c.m_Match) << c.m_Current << " / " << c.m_Upgrade;
}
