// The simulator program refuses what it cannot use, through a POSIX shell.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(SimProgramTest, BadOptionsAreRefused) {
  for (const char* options : {"--fault no-such-fault", "--mac 02-00-00-00-00", "--unlock-code 1234"}) {
    EXPECT_EQ(testsupport::RunCommand(testsupport::BinDir() + "/qel-gateway-sim " + options + " 2>/dev/null", nullptr), 2)
        << options;
  }
}
