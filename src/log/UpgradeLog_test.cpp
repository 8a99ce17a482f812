#include "log/UpgradeLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <regex>

#include "support/TestSupport.h"

namespace {

using testsupport::LogMessages;
using testsupport::ReadText;
using Lines = std::vector<std::string>;

TEST(UpgradeLogTest, LinesAreTimestampMessageCrLfCutToTheBuffer) {
  UpgradeLog log("");
  EXPECT_EQ(LogPrintf(&log, "Execute#%d> Read Fail", 3), 1);
  const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d Execute#3> Read Fail\r\n");
  EXPECT_TRUE(std::regex_match(log.Pending(), line)) << log.Pending();
  const std::string longText(5000, 'x');
  LogPrintf(&log, "%s", "没有检测到路由器\n");
  LogPrintf(&log, "%s", longText.c_str());
  log.AppendLine(longText);
  const Lines messages = {"Execute#3> Read Fail", "没有检测到路由器\n", std::string(1039, 'x'), std::string(1039, 'x')};
  EXPECT_EQ(LogMessages(log.Pending()), messages);
  EXPECT_EQ(LogPrintf(nullptr, "no log"), 1);
}

TEST(UpgradeLogTest, FlushAppendsThePendingLinesAndTheLogFlushesWhenItGoes) {
  testsupport::TempDir dir;
  const std::string path = dir.File(UpgradeLog::FILE_NAME);
  testsupport::WriteFile(path, {'o', 'l', 'd', '\r', '\n'});
  {
    UpgradeLog log(path);
    EXPECT_EQ(log.Flush(), 0);  // nothing pending
    LogPrintf(&log, "first");
    EXPECT_EQ(log.Flush(), 1);
    EXPECT_EQ(log.Pending(), "");
    LogPrintf(&log, "second");
  }
  EXPECT_EQ(ReadText(path).substr(0, 5), "old\r\n");
  EXPECT_EQ(LogMessages(ReadText(path).substr(5)), (Lines{"first", "second"}));
}

TEST(UpgradeLogTest, AFailedFlushKeepsTheLinesForTheNextOne) {
  testsupport::TempDir dir;
  for (const std::string& path : {dir.File("later/log.txt"), dir.Path(), std::string("/dev/full"), std::string()}) {
    UpgradeLog log(path);
    EXPECT_EQ(log.PathValid(), !path.empty());
    LogPrintf(&log, "one");
    EXPECT_EQ(log.Flush(), 0) << path;
    EXPECT_EQ(LogMessages(log.Pending()), Lines{"one"}) << path;
  }
  // A file size limit makes the kernel write only part, then refuse.
  UpgradeLog log(dir.File("short.txt"));
  for (int i = 0; i < 10; ++i) LogPrintf(&log, "line %d of the short write", i);
  const std::string all = log.Pending();
  struct rlimit saved, limited;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  limited = saved;
  limited.rlim_cur = 100;
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int result = log.Flush();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(log.Pending(), all.substr(100));
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_EQ(ReadText(dir.File("short.txt")), all);
}

TEST(UpgradeLogTest, FileSitsInTheTemporaryDirectoryWithOneSeparator) {
  const std::pair<const char*, const char*> cases[] = {{"/var/tmp", "/var/tmp/QelUpgradeLog.txt"},
                                                       {"/var/tmp//", "/var/tmp/QelUpgradeLog.txt"},
                                                       {"", "/tmp/QelUpgradeLog.txt"},
                                                       {nullptr, "/tmp/QelUpgradeLog.txt"},
                                                       {"//", "/QelUpgradeLog.txt"}};
  for (const auto& [tmpdir, path] : cases) {
    testsupport::ScopedEnv env("TMPDIR", tmpdir);
    EXPECT_EQ(DefaultLogFilePath(), path);
    EXPECT_EQ(UpgradeLog().FilePath(), path);
  }
}

}  // namespace
