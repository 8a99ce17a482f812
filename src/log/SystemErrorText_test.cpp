#include "log/SystemErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(SystemErrorTextTest, KnownCodesGiveTheSystemTextWithCrLf) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory\r\n");
  EXPECT_EQ(SystemErrorText(ECONNREFUSED), "Connection refused\r\n");
  EXPECT_EQ(SystemErrorText(WAIT_TIMED_OUT), "The wait operation timed out.\r\n");
}

TEST(SystemErrorTextTest, UnknownCodesGiveTheFallbackWithOneLf) {
  EXPECT_EQ(SystemErrorText(99999), "Unknow Error Code: 99999\n");
  EXPECT_EQ(SystemErrorText(-5), "Unknow Error Code: -5\n");
  EXPECT_EQ(SystemErrorText(0), "Unknow Error Code: 0\n");
}

}  // namespace
