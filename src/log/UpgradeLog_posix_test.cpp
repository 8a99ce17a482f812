// The log file's rules on a POSIX system: links and other users' files,
// a file size limit, and the folders it lives in.
#include "log/UpgradeLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <tuple>

#include "support/TestSupport.h"

namespace {

using testsupport::LogMessages;
using testsupport::ReadText;
using Lines = std::vector<std::string>;

// The log's text is UTF-8 here, byte for byte.
TEST(UpgradeLogTest, LinesAreUtf8) {
  testsupport::TempDir dir;
  UpgradeLog log(dir.File(UpgradeLog::FILE_NAME));
  LogPrintf(&log, "%s", "没有检测到路由器");
  EXPECT_EQ(LogMessages(ReadText(dir.File(UpgradeLog::FILE_NAME))), Lines{"没有检测到路由器"});
}

TEST(UpgradeLogTest, ALineThatCannotBeWrittenGoesWithTheNextThatCan) {
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
  // A file size limit of 100 bytes: two lines of 47 go in, the third only
  // in part, and the rest waits for the next line after the limit is gone.
  const std::string path = dir.File("short.txt");
  UpgradeLog log(path);
  struct rlimit saved, limited;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  limited = saved, limited.rlim_cur = 100;
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  for (int i = 0; i < 3; ++i) LogPrintf(&log, "line %d of the short write", i);
  const int result = log.Flush();
  setrlimit(RLIMIT_FSIZE, &saved), signal(SIGXFSZ, previous);
  EXPECT_EQ(std::tuple(result, ReadText(path).size(), log.Pending().size()), std::tuple(0, size_t{100}, size_t{41}));
  LogPrintf(&log, "line 3 of the short write");
  EXPECT_EQ(std::pair(log.Pending(), log.Flush()), std::pair(std::string(), 1));
  const Lines lines = LogMessages(ReadText(path));
  EXPECT_EQ(lines, (Lines{"line 0 of the short write", "line 1 of the short write", "line 2 of the short write",
                          "line 3 of the short write"}));
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
  // Outside TMPDIR the first line makes the folder.
  testsupport::ScopedEnv tmpEnv("TMPDIR", nullptr), stateEnv("XDG_STATE_HOME", nullptr);
  UpgradeLog().AppendLine("first");
  struct stat folder = {}, file = {};
  ASSERT_EQ(std::pair(stat(state.c_str(), &folder), stat((state + "/QelUpgradeLog.txt").c_str(), &file)), std::pair(0, 0));
  EXPECT_EQ(std::pair(folder.st_mode & 0777, file.st_mode & 0777), std::pair(0700u, 0600u));
  // Without a home to write in, a folder of the user's own in the system's
  // temporary directory. A folder the log makes for itself is not written in
  // when it is a link or someone else's.
  {
    testsupport::ScopedEnv noHome("HOME", "/nonexistent");
    EXPECT_EQ(UpgradeLog().FilePath(), std::string(P_tmpdir) + "/QelUpgrade-" + std::to_string(geteuid()) + "/QelUpgradeLog.txt");
  }
  const std::string linked = home.File("a"), theirs = home.File("b");
  for (const std::string& folder : {linked, theirs, home.File("target")}) ASSERT_EQ(mkdir(folder.c_str(), 0700), 0) << folder;
  ASSERT_EQ(symlink(home.File("target").c_str(), (linked + "/QelUpgrade").c_str()), 0);
  ASSERT_EQ(mkdir((theirs + "/QelUpgrade").c_str(), 0700), 0);
  ASSERT_EQ(chown((theirs + "/QelUpgrade").c_str(), 12345, 12345), 0);
  for (const std::string& base : {linked, theirs}) {
    testsupport::ScopedEnv plantedEnv("XDG_STATE_HOME", base.c_str());
    UpgradeLog log;
    LogPrintf(&log, "refused");
    EXPECT_EQ(LogMessages(log.Pending()), Lines{"refused"}) << base;
  }
}

}  // namespace
