#include "app/VersionText.h"

#include <gtest/gtest.h>

#include "app/CheckProcedure.h"

TEST(VersionTextTest, ValidTextNeedsThreeDotsOfDigits) {
  EXPECT_TRUE(IsValidVersionText("1.2.3.4"));
  EXPECT_TRUE(IsValidVersionText("1.2.3."));
  EXPECT_TRUE(IsValidVersionText("10.20.30.anything after the third dot"));
  EXPECT_TRUE(IsValidVersionText("1.2.3..x"));
  EXPECT_FALSE(IsValidVersionText(""));
  EXPECT_FALSE(IsValidVersionText("1.2.3"));
  EXPECT_FALSE(IsValidVersionText("1..2.3.4"));
  EXPECT_FALSE(IsValidVersionText(".1.2.3"));
  EXPECT_FALSE(IsValidVersionText("V1.2.3.4"));
  EXPECT_FALSE(IsValidVersionText("1.2a.3.4"));
  EXPECT_FALSE(IsValidVersionText("1.2.3 .4"));
  EXPECT_FALSE(IsValidVersionText("No version"));
  EXPECT_FALSE(IsValidVersionText(FORCE_LOAD_VERSION_TEXT));
}

TEST(VersionTextTest, NumbersStopAtTheThirdSeparator) {
  int32_t n[3];
  VersionNumbers("1.2.3.4", n);
  EXPECT_EQ(n[0], 1);
  EXPECT_EQ(n[1], 2);
  EXPECT_EQ(n[2], 3);
  VersionNumbers("12.345.6789.", n);
  EXPECT_EQ(n[0], 12);
  EXPECT_EQ(n[1], 345);
  EXPECT_EQ(n[2], 6789);
  // A number that runs to the end is not stored.
  VersionNumbers("7.8.9", n);
  EXPECT_EQ(n[0], 7);
  EXPECT_EQ(n[1], 8);
  EXPECT_EQ(n[2], 0);
  VersionNumbers("", n);
  EXPECT_EQ(n[0], 0);
  EXPECT_EQ(n[1], 0);
  EXPECT_EQ(n[2], 0);
  // Any non-digit separates, and adjacent separators give a 0.
  VersionNumbers("5-x6.7", n);
  EXPECT_EQ(n[0], 5);
  EXPECT_EQ(n[1], 0);
  EXPECT_EQ(n[2], 6);
}

TEST(VersionTextTest, MatchRuleEdgeCases) {
  EXPECT_EQ(VersionMatch("1.2.3.4", "1.2.3.9"), 1) << "fourth group ignored";
  EXPECT_EQ(VersionMatch("1.2.3.4", "1.3.3.4"), 0) << "second number differs";
  EXPECT_EQ(VersionMatch("1.2.3.4", "2.2.3.4"), 0) << "first number differs";
  EXPECT_EQ(VersionMatch("1.2.0.4", "1.2.7.1"), 1) << "installed third number 0";
  EXPECT_EQ(VersionMatch("1.2.3.4", "1.2.0.4"), 0) << "only an installed 0 is a wildcard";
  EXPECT_EQ(VersionMatch("1.2.3", "1.2.4"), 1) << "two dots each: neither valid";
  EXPECT_EQ(VersionMatch("1.2.3.", "1.2.4."), 0) << "both valid, third differs";
  EXPECT_EQ(VersionMatch("1..2.3.4", "9.9.9.9"), 1) << "adjacent dots: not valid";
  EXPECT_EQ(VersionMatch("", "1.2.3.4"), 1);
  EXPECT_EQ(VersionMatch(FORCE_LOAD_VERSION_TEXT, "1.2.3.4"), 1);
  EXPECT_EQ(VersionMatch("1.2.3.4", "No version"), 1);
  EXPECT_EQ(VersionMatch("1.2.3.4", ""), 1);
  EXPECT_EQ(VersionMatch("Failed to read", "1.2.3.4"), 1);
}

TEST(VersionTextTest, MatchIsExactOrByNumbers) {
  EXPECT_EQ(VersionMatch("1.2.3.4", "1.2.3.4"), 1);
  EXPECT_EQ(VersionMatch("1.2.3.beta", "1.2.3.beta"), 1);
  // Leading zeros compare by value, not by text.
  EXPECT_EQ(VersionMatch("01.02.03.4", "1.2.3.5"), 1);
  EXPECT_EQ(VersionMatch("1.2.30.4", "1.2.3.4"), 0);
  // Later groups may differ in either direction.
  EXPECT_EQ(VersionMatch("1.2.3.9", "1.2.3.1"), 1);
  EXPECT_EQ(VersionMatch("1.2.0.9", "1.2.0.1"), 1);
}
