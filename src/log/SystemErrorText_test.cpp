#include "log/SystemErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(SystemErrorTextTest, SystemTextWithCrLfOrTheFallbackWithOneLf) {
  const std::pair<int, std::string> cases[] = {{ENOENT, "No such file or directory\r\n"}, {0, "Unknow Error Code: 0\n"},
      {WAIT_TIMED_OUT, "The wait operation timed out.\r\n"}, {99999, "Unknow Error Code: 99999\n"}};
  for (const auto& [code, text] : cases) EXPECT_EQ(SystemErrorText(code), text) << code;
}
