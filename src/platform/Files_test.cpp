#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/LogFile.h"
#include "platform/ReadFile.h"
#include "platform/SystemError.h"
#include "platform/UserFolders.h"

namespace {

// Paths are UTF-8 on every system, as the platform's functions take them.
std::filesystem::path Native(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string Utf8(const std::u8string& text) { return std::string(text.begin(), text.end()); }

class FilesTest : public testing::Test {
 protected:
  void SetUp() override { MakeDirectories(m_Dir + "/sub"); }
  void TearDown() override { std::filesystem::remove_all(Native(m_Dir)); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Native(m_Dir + "/" + name), std::ios::binary) << bytes;
  }
  const std::string m_Dir = AbsolutePath(Utf8(std::filesystem::temp_directory_path().u8string()) + "/qel-files-" +
                                         std::to_string(std::random_device{}()));
};

TEST_F(FilesTest, ReadsBytesAsTheyAreAtAnOffsetOrOnFromThePosition) {
  Write("p.bin", std::string("ab\r\ncd\x1A" "ef\n"));
  CReadFile file, folder, missing;
  bool regular = false;
  uint64_t size = 0;
  ASSERT_TRUE(file.Open(m_Dir + "/p.bin"));
  ASSERT_TRUE(file.Inspect(&regular, &size));
  EXPECT_EQ(std::pair(regular, size), std::pair(true, uint64_t{10}));
  // Read, an offset, Read again: reading at an offset leaves the position.
  const struct { bool at; uint64_t offset; size_t length; std::string bytes; } steps[] = {{false, 0, 2, "ab"},
      {true, 5, 16, "d\x1A" "ef\n"}, {false, 0, 3, "\r\nc"}, {true, 10, 4, ""}, {false, 0, 16, "d\x1A" "ef\n"}};
  for (const auto& step : steps) {
    uint8_t buffer[16];
    size_t got = 99;
    ASSERT_TRUE(step.at ? file.ReadAt(step.offset, buffer, step.length, &got) : file.Read(buffer, step.length, &got));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), step.bytes);
  }
  // A folder opens (a package loader then says what it is) and is no regular file.
  ASSERT_TRUE(folder.Open(m_Dir + "/sub"));
  ASSERT_TRUE(folder.Inspect(&regular, &size));
  EXPECT_FALSE(regular);
  EXPECT_FALSE(missing.Open(m_Dir + "/none.bin"));
  EXPECT_NE(SystemMessage(missing.Error()), "");
}

TEST_F(FilesTest, FolderNamesPathsAndTheProgramInUtf8) {
  const std::vector<std::string> names = {"a.bin", "Ünïcode", "升级包.BIN"};
  for (const std::string& name : names) Write(name, "x");
  std::vector<std::string> listed = ListDirectory(m_Dir);
  std::erase_if(listed, [](const std::string& name) { return name == "." || name == ".." || name == "sub"; });
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, names);
  EXPECT_EQ(AbsolutePath(m_Dir + "/sub/.././升级包.BIN"), m_Dir + "/升级包.BIN");
  EXPECT_EQ(AbsolutePath("x/../y"), AbsolutePath("y"));
  EXPECT_EQ(AbsolutePath("y").find('\\'), std::string::npos);
  // Shown to the user with the system's own separator.
#ifdef _WIN32
  EXPECT_EQ(ShownPath("C:/x/y.bin"), "C:\\x\\y.bin");
#else
  EXPECT_EQ(ShownPath("/x/y.bin"), "/x/y.bin");
#endif
  EXPECT_TRUE(SameDirectory(m_Dir, m_Dir + "/sub/.."));
  EXPECT_FALSE(SameDirectory(m_Dir, m_Dir + "/sub"));
  // The program is in its folder under its name (with ".exe" on Windows).
  const std::vector<std::string> beside = ListDirectory(ExecutableDirectory());
  const std::string name = ProgramName();
  EXPECT_EQ(std::count(beside.begin(), beside.end(), name) + std::count(beside.begin(), beside.end(), name + ".exe"), 1)
      << name;
}

TEST_F(FilesTest, LogAppendsLinesInTheSystemsCodePage) {
  // The C runtime names the system's code page where there is one; elsewhere the log is UTF-8.
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  const char* acp = std::setlocale(LC_CTYPE, ".ACP");
  const std::string named = acp ? acp : ".UTF-8";
  std::setlocale(LC_CTYPE, before.c_str());
  const std::pair<std::string, std::string> chinese[] = {{"UTF-8", "没有检测到路由器"}, {"1252", "????????"},
      {"936", "\xC3\xBB\xD3\xD0\xBC\xEC\xB2\xE2\xB5\xBD\xC2\xB7\xD3\xC9\xC6\xF7"}};
  const auto expected = std::find_if(std::begin(chinese), std::end(chinese),
                                     [&](const auto& known) { return named.ends_with("." + known.first); });
  if (expected == std::end(chinese)) GTEST_SKIP() << "no bytes known for the code page of " << named;
  for (const std::string line : {"first\r\n", "没有检测到路由器\r\n"}) {
    CLogFile log;
    ASSERT_TRUE(log.Open(m_Dir + "/log.txt", ""));
    EXPECT_EQ(log.Append(line), line.size());
    EXPECT_TRUE(log.Sync());
    EXPECT_TRUE(log.Close());
  }
  std::ifstream written(Native(m_Dir + "/log.txt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "first\r\n" + expected->second + "\r\n");
}

}  // namespace
