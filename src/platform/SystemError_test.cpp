#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(SystemErrorTextTest, SystemTextWithCrLfOrTheFallbackWithOneLf) {
  const std::pair<int, std::string> cases[] = {{0, "Unknow Error Code: 0\n"},
      {WAIT_TIMED_OUT, "The wait operation timed out.\r\n"}, {99999, "Unknow Error Code: 99999\n"}};
  for (const auto& [code, text] : cases) EXPECT_EQ(SystemErrorText(code), text) << code;
  // A code the system knows: its own text, whatever the system's words.
  const std::string known = SystemErrorText(ENOENT);
  EXPECT_EQ(known, SystemMessage(ENOENT) + "\r\n");
  EXPECT_NE(SystemMessage(ENOENT), "");
  EXPECT_EQ(SystemErrorPhrase(ENOENT), SystemMessage(ENOENT));
}
