#include "log/UpgradeLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::ReadText;
using testsupport::TempDir;

// Lines of text in order, without their CR LF.
std::vector<std::string> Messages(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start + 20, end - start - 20));  // past the timestamp
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
  return lines;
}

TEST(UpgradeLogTest, LineIsTimestampSpaceMessageCrLf) {
  UpgradeLog log("");
  const time_t before = time(nullptr);
  EXPECT_EQ(LogPrintf(&log, "Execute#%d> Read Fail", 3), 1);
  const time_t after = time(nullptr);
  const std::string& line = log.Pending();
  // "YYYY-MM-DD hh:mm:ss " is 20 characters, then the message right away.
  ASSERT_EQ(line.size(), 20u + 20u + 2u) << line;
  EXPECT_EQ(line.substr(19), " Execute#3> Read Fail\r\n");
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u}) {
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(line[i]))) << line;
  }
  EXPECT_EQ(line[4], '-');
  EXPECT_EQ(line[7], '-');
  EXPECT_EQ(line[10], ' ');
  EXPECT_EQ(line[13], ':');
  EXPECT_EQ(line[16], ':');
  struct tm stamp = {};
  ASSERT_EQ(sscanf(line.c_str(), "%d-%d-%d %d:%d:%d", &stamp.tm_year, &stamp.tm_mon, &stamp.tm_mday, &stamp.tm_hour,
                   &stamp.tm_min, &stamp.tm_sec),
            6);
  stamp.tm_year -= 1900;
  stamp.tm_mon -= 1;
  stamp.tm_isdst = -1;
  const time_t logged = mktime(&stamp);
  EXPECT_GE(logged, before - 1);
  EXPECT_LE(logged, after + 1);
}

TEST(UpgradeLogTest, MessagesKeepTheirOwnLineBreaksAndText) {
  UpgradeLog log("");
  LogPrintf(&log, "%s", "没有检测到路由器");
  LogPrintf(&log, "%s", "Unknow Error Code: 7\n");
  LogPrintf(&log, "%s", "100% done");
  const std::vector<std::string> lines = Messages(log.Pending());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "没有检测到路由器");
  EXPECT_EQ(lines[1], "Unknow Error Code: 7\n");
  EXPECT_EQ(lines[2], "100% done");
}

TEST(UpgradeLogTest, LongMessagesAreCutToTheBuffer) {
  UpgradeLog log("");
  const std::string longText(5000, 'x');
  LogPrintf(&log, "%s", longText.c_str());
  log.AppendLine(longText);
  LogPrintf(&log, "%s", std::string(UpgradeLog::MAX_MESSAGE, 'y').c_str());
  const std::vector<std::string> lines = Messages(log.Pending());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(1039, 'x'));
  EXPECT_EQ(lines[1], std::string(1039, 'x'));
  EXPECT_EQ(lines[2], std::string(1039, 'y'));
}

TEST(UpgradeLogTest, TwoFlushesAppendAndEmptyThePendingLines) {
  TempDir dir;
  const std::string path = dir.File(UpgradeLog::FILE_NAME);
  testsupport::WriteFile(path, {'o', 'l', 'd', '\r', '\n'});
  UpgradeLog log(path);
  EXPECT_EQ(log.Flush(), 0);  // nothing pending
  LogPrintf(&log, "first");
  LogPrintf(&log, "%s", "++++++++++++++++++++++++++++++++++++++++++++++++++");
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_TRUE(log.Pending().empty());
  LogPrintf(&log, "second");
  EXPECT_EQ(log.Flush(), 1);
  const std::string text = ReadText(path);
  ASSERT_EQ(text.rfind("old\r\n", 0), 0u);
  const std::vector<std::string> lines = Messages(text.substr(5));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "first");
  EXPECT_EQ(lines[1], std::string(50, '+'));
  EXPECT_EQ(lines[2], "second");
}

TEST(UpgradeLogTest, DestructionFlushesOnce) {
  TempDir dir;
  const std::string path = dir.File("log.txt");
  {
    UpgradeLog log(path);
    LogPrintf(&log, "check only");
  }
  EXPECT_EQ(Messages(ReadText(path)), std::vector<std::string>{"check only"});
}

TEST(UpgradeLogTest, FailedOpenKeepsEveryLineForTheNextFlush) {
  TempDir dir;
  const std::string missingDir = dir.File("later");
  UpgradeLog log(missingDir + "/log.txt");
  LogPrintf(&log, "one");
  EXPECT_EQ(log.Flush(), 0);
  LogPrintf(&log, "two");
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(Messages(log.Pending()), (std::vector<std::string>{"one", "two"}));
  ASSERT_EQ(mkdir(missingDir.c_str(), 0755), 0);
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_EQ(Messages(ReadText(missingDir + "/log.txt")), (std::vector<std::string>{"one", "two"}));
}

TEST(UpgradeLogTest, APathThatIsADirectoryKeepsTheLines) {
  TempDir dir;
  UpgradeLog log(dir.Path());
  LogPrintf(&log, "kept");
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(Messages(log.Pending()), std::vector<std::string>{"kept"});
}

TEST(UpgradeLogTest, FailedWriteKeepsTheLines) {
  UpgradeLog log("/dev/full");
  LogPrintf(&log, "lost?");
  const std::string before = log.Pending();
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(log.Pending(), before);
}

TEST(UpgradeLogTest, ShortWriteKeepsWhatDidNotGetThrough) {
  TempDir dir;
  const std::string path = dir.File("short.txt");
  UpgradeLog log(path);
  for (int i = 0; i < 10; ++i) LogPrintf(&log, "line %d of the short write", i);
  const std::string all = log.Pending();

  // A file size limit makes the kernel write only part, then refuse.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 100;
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int result = log.Flush();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadText(path), all.substr(0, 100));
  EXPECT_EQ(log.Pending(), all.substr(100));
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_EQ(ReadText(path), all);
}

TEST(UpgradeLogTest, NoPathCollectsButNeverWrites) {
  UpgradeLog log("");
  EXPECT_FALSE(log.PathValid());
  LogPrintf(&log, "held");
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(Messages(log.Pending()), std::vector<std::string>{"held"});
  EXPECT_EQ(LogPrintf(nullptr, "no log"), 1);
}

class TmpdirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* value = getenv("TMPDIR");
    m_Had = value != nullptr;
    if (value) m_Saved = value;
  }
  void TearDown() override {
    if (m_Had) setenv("TMPDIR", m_Saved.c_str(), 1);
    else unsetenv("TMPDIR");
  }
  bool m_Had = false;
  std::string m_Saved;
};

TEST_F(TmpdirTest, LogFileSitsInTheTemporaryDirectoryWithOneSeparator) {
  const struct {
    const char* m_Tmpdir;
    const char* m_Path;
  } cases[] = {{"/var/tmp", "/var/tmp/QelUpgradeLog.txt"}, {"/var/tmp/", "/var/tmp/QelUpgradeLog.txt"},
               {"/var/tmp//", "/var/tmp/QelUpgradeLog.txt"}, {"", "/tmp/QelUpgradeLog.txt"},
               {"/", "/QelUpgradeLog.txt"}};
  for (const auto& c : cases) {
    setenv("TMPDIR", c.m_Tmpdir, 1);
    EXPECT_EQ(DefaultLogFilePath(), c.m_Path) << c.m_Tmpdir;
  }
  unsetenv("TMPDIR");
  EXPECT_EQ(DefaultLogFilePath(), "/tmp/QelUpgradeLog.txt");
  setenv("TMPDIR", "/var/tmp", 1);
  UpgradeLog log;
  EXPECT_TRUE(log.PathValid());
  EXPECT_EQ(log.FilePath(), "/var/tmp/QelUpgradeLog.txt");
}

}  // namespace
