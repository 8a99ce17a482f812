#include "platform/SocketsStartup.h"

#include <gtest/gtest.h>

// Version 2.2 or the end: another version granted is named in string 138.
TEST(SocketsStartupTest, AnotherVersionThanTwoTwoEndsTheProgram) {
  std::string warning;
  EXPECT_TRUE(StartSockets(&warning));
  EXPECT_EQ(warning, "");
  EXPECT_FALSE(StartSockets(&warning, 0x0101));
  EXPECT_EQ(warning, "The version of the WinSock error!\n\nExpected: 2.2. Actual: 1.1\n");
}
