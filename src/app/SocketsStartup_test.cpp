#include "app/SocketsStartup.h"

#include <gtest/gtest.h>

#include "support/Recorders.h"

// Version 2.2 or the end: another version granted is named in string 138.
TEST(SocketsStartupTest, AnotherVersionThanTwoTwoEndsTheProgram) {
  testsupport::RecordingNotices notices;
  EXPECT_TRUE(StartSockets(notices));
  EXPECT_FALSE(StartSockets(notices, 0x0101));
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{"The version of the WinSock error!\n\nExpected: 2.2. Actual: 1.1\n"});
}
