#include "log/UpgradeLog.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/TestSupport.h"

namespace {

using testsupport::LogMessages;
using testsupport::ReadLog;
using testsupport::ReadText;
using Lines = std::vector<std::string>;

// Lines are timestamp, message and CR LF, the message cut to the buffer;
// each is in the file as soon as it is made.
TEST(UpgradeLogTest, EachLineReachesTheFileWhenItIsMade) {
  testsupport::TempDir dir;
  const std::string path = dir.File(UpgradeLog::FILE_NAME), longText(5000, 'x');
  testsupport::WriteFile(path, {'o', 'l', 'd', '\r', '\n'});
  UpgradeLog log(path);
  EXPECT_EQ(log.Flush(), 1);  // nothing to write
  EXPECT_EQ(LogPrintf(&log, "Execute#%d> Read Fail", 3), 1);
  const std::regex line("old\r\n\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d Execute#3> Read Fail\r\n");
  EXPECT_TRUE(std::regex_match(ReadText(path), line)) << ReadText(path);
  LogPrintf(&log, "%s", "two\n");
  LogPrintf(&log, "%s", longText.c_str());
  log.AppendLine(longText);
  EXPECT_EQ(LogMessages(ReadLog(path)),  // "old" too short for a time stamp
            (Lines{"", "Execute#3> Read Fail", "two\n", std::string(1039, 'x'), std::string(1039, 'x')}));
  EXPECT_EQ(std::pair(log.Pending(), log.Flush()), std::pair(std::string(), 1));
  EXPECT_EQ(LogPrintf(nullptr, "no log"), 1);
}

}  // namespace
