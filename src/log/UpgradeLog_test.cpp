#include "log/UpgradeLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <regex>
#include <tuple>

#include "support/TestSupport.h"

namespace {

using testsupport::LogMessages;
using testsupport::ReadText;
using Lines = std::vector<std::string>;

// Lines are timestamp, message and CR LF, the message cut to the buffer;
// a flush appends them, and the log flushes when it goes.
TEST(UpgradeLogTest, LinesAreAppendedAtEachFlushAndWhenTheLogGoes) {
  testsupport::TempDir dir;
  const std::string path = dir.File(UpgradeLog::FILE_NAME), longText(5000, 'x');
  testsupport::WriteFile(path, {'o', 'l', 'd', '\r', '\n'});
  {
    UpgradeLog log(path);
    EXPECT_EQ(log.Flush(), 0);  // nothing pending
    EXPECT_EQ(LogPrintf(&log, "Execute#%d> Read Fail", 3), 1);
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d Execute#3> Read Fail\r\n");
    EXPECT_TRUE(std::regex_match(log.Pending(), line)) << log.Pending();
    EXPECT_EQ(log.Flush(), 1);
    LogPrintf(&log, "%s", "没有检测到路由器\n");
    LogPrintf(&log, "%s", longText.c_str());
    log.AppendLine(longText);
  }
  EXPECT_EQ(LogMessages(ReadText(path)),  // "old" too short for a time stamp
            (Lines{"", "Execute#3> Read Fail", "没有检测到路由器\n", std::string(1039, 'x'), std::string(1039, 'x')}));
  EXPECT_EQ(LogPrintf(nullptr, "no log"), 1);
}

TEST(UpgradeLogTest, AFailedFlushKeepsTheLinesForTheNextOne) {
  testsupport::TempDir dir;
  // A link in place of the log and another user's file are left alone.
  ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("link.txt").c_str()), 0);
  testsupport::WriteFile(dir.File("theirs.txt"), {});
  ASSERT_EQ(chown(dir.File("theirs.txt").c_str(), 12345, 12345), 0);
  for (const std::string& path : {std::string("/dev/full"), std::string(), dir.File("link.txt"), dir.File("theirs.txt")}) {
    UpgradeLog log(path);
    LogPrintf(&log, "one");
    EXPECT_EQ(log.Flush(), 0) << path;
    EXPECT_EQ(LogMessages(log.Pending()), Lines{"one"}) << path;
  }
  EXPECT_NE(access(dir.File("elsewhere").c_str(), F_OK), 0);
  EXPECT_EQ(ReadText(dir.File("theirs.txt")), "");
  // A file size limit makes the kernel write only part, then refuse.
  UpgradeLog log(dir.File("short.txt"));
  for (int i = 0; i < 10; ++i) LogPrintf(&log, "line %d of the short write", i);
  const std::string all = log.Pending();
  struct rlimit saved, limited;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  limited = saved, limited.rlim_cur = 100;
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  const int result = setrlimit(RLIMIT_FSIZE, &limited) == 0 ? log.Flush() : -1;
  setrlimit(RLIMIT_FSIZE, &saved), signal(SIGXFSZ, previous);
  EXPECT_EQ(std::pair(result, log.Pending()), std::pair(0, all.substr(100)));
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_EQ(ReadText(dir.File("short.txt")), all);
}

TEST(UpgradeLogTest, FileSitsInTheUsersLogFolderMadeForThemAlone) {
  testsupport::TempDir home;
  testsupport::ScopedEnv homeEnv("HOME", home.Path().c_str());
  const std::string state = home.Path() + "/.local/state/QelUpgrade";
  // TMPDIR, XDG_STATE_HOME and the log file, with one separator before its name.
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"/var/tmp", "/state", "/var/tmp/QelUpgradeLog.txt"},   {"/var/tmp//", nullptr, "/var/tmp/QelUpgradeLog.txt"},
      {"//", nullptr, "/QelUpgradeLog.txt"},                  {"", "/state//", "/state/QelUpgrade/QelUpgradeLog.txt"},
      {nullptr, "relative", state + "/QelUpgradeLog.txt"},  {nullptr, nullptr, state + "/QelUpgradeLog.txt"}};
  for (const auto& [tmpdir, stateHome, path] : cases) {
    testsupport::ScopedEnv tmpEnv("TMPDIR", tmpdir), stateEnv("XDG_STATE_HOME", stateHome);
    EXPECT_EQ(UpgradeLog().FilePath(), path);
  }
  // Outside TMPDIR the first flush makes the folder.
  testsupport::ScopedEnv tmpEnv("TMPDIR", nullptr), stateEnv("XDG_STATE_HOME", nullptr);
  UpgradeLog().AppendLine("first");
  struct stat folder = {}, file = {};
  ASSERT_EQ(stat(state.c_str(), &folder) + stat((state + "/QelUpgradeLog.txt").c_str(), &file), 0);
  EXPECT_EQ(std::pair(folder.st_mode & 0777, file.st_mode & 0777), std::pair(0700u, 0600u));
}

}  // namespace
