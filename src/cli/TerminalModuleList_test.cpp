#include "cli/TerminalModuleList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// A FILE* whose text the test can read back.
class MemoryFile {
 public:
  MemoryFile() { m_File = open_memstream(&m_Buffer, &m_Size); }
  ~MemoryFile() {
    fclose(m_File);
    free(m_Buffer);
  }
  FILE* File() const { return m_File; }
  std::string Text() {
    fflush(m_File);
    return std::string(m_Buffer, m_Size);
  }

 private:
  char* m_Buffer = nullptr;
  size_t m_Size = 0;
  FILE* m_File;
};

void FillTwoRows(TerminalModuleList& list) {
  list.InsertRow(0, "BOOT of router module");
  list.InsertRow(1, "Firmware of wireless module");
  list.SetCell(0, COL_CURRENT, "1.2.3.4");
  list.SetCell(0, COL_UPGRADE, "1.2.3.5");
  list.SetRowColour(0, COLOUR_BLUE);
  list.SetCell(0, COL_STATUS, "Waiting for the upgrade");
  list.SetRowColour(1, COLOUR_GREY_TEXT);
  list.SetCell(1, COL_STATUS, "Not found");
}

TEST(TerminalModuleListTest, TableColumnsAreAlignedToTheWidestCell) {
  MemoryFile out;
  TerminalModuleList list(out.File(), false);
  FillTwoRows(list);
  list.PrintTable();
  EXPECT_EQ(out.Text(),
            "Type                         Current Version  Upgrade Version  %  Status\n"
            "BOOT of router module        1.2.3.4          1.2.3.5             Waiting for the upgrade\n"
            "Firmware of wireless module                                       Not found\n");
}

TEST(TerminalModuleListTest, StatusCellsInTheirRowColour) {
  std::vector<TerminalRow> rows(4);
  rows[0].m_Cells[COL_STATUS] = "Waiting for the upgrade";
  rows[0].m_Colour = COLOUR_BLUE;
  rows[1].m_Cells[COL_STATUS] = "Version does not match";
  rows[1].m_Colour = COLOUR_RED;
  rows[2].m_Cells[COL_STATUS] = "Not found";
  rows[2].m_Colour = COLOUR_GREY_TEXT;
  rows[3].m_Cells[COL_STATUS] = "Restarting the wireless module";
  rows[3].m_Colour = COLOUR_BLACK;
  const std::string text = TerminalModuleList::FormatTable(rows, true);
  EXPECT_NE(text.find("\033[34mWaiting for the upgrade\033[0m\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\033[31mVersion does not match\033[0m\n"), std::string::npos);
  EXPECT_NE(text.find("\033[90mNot found\033[0m\n"), std::string::npos);
  EXPECT_NE(text.find("  Restarting the wireless module\n"), std::string::npos) << "black stays plain";
  EXPECT_EQ(TerminalModuleList::FormatTable(rows, false).find('\033'), std::string::npos);
}

TEST(TerminalModuleListTest, WideCharactersCountTwice) {
  std::vector<TerminalRow> rows(2);
  rows[0].m_Cells[COL_TYPE] = "路由器";  // three characters, six columns
  rows[1].m_Cells[COL_TYPE] = "abc";
  const std::string text = TerminalModuleList::FormatTable(rows, false);
  EXPECT_NE(text.find("路由器  "), std::string::npos);
  EXPECT_NE(text.find("abc     "), std::string::npos) << text;
}

TEST(TerminalModuleListTest, RowsThatDoNotExistAreIgnored) {
  MemoryFile out;
  TerminalModuleList list(out.File(), false, true);
  list.SetCell(0, COL_STATUS, "nothing");
  list.SetRowColour(3, COLOUR_RED);
  list.InsertRow(0, "APP of router module");
  list.SetCell(1, COL_STATUS, "nothing");
  list.SetCell(0, 7, "nothing");
  list.SetCell(0, -1, "nothing");
  ASSERT_EQ(list.Rows().size(), 1u);
  EXPECT_EQ(list.Rows()[0].m_Cells[COL_STATUS], "");
  EXPECT_EQ(out.Text(), "");
  list.DeleteAllRows();
  EXPECT_TRUE(list.Rows().empty());
}

TEST(TerminalModuleListTest, LiveLinesWithoutATerminal) {
  MemoryFile out;
  TerminalModuleList list(out.File(), false, true);
  list.InsertRow(0, "APP of router module");
  list.SetCell(0, COL_STATUS, "Transmitting the upgrade data of the router module");
  for (int p = 0; p <= 100; p += 5) list.SetCell(0, COL_PERCENT, std::to_string(p) + "%");
  list.SetCell(0, COL_STATUS, "Download successfully (00:07)");
  const std::string type = "APP of router module          ";
  EXPECT_EQ(out.Text(),
            type + "  [--------------------]       Transmitting the upgrade data of the router module\n" +
                type + "  [--------------------]   0%  Transmitting the upgrade data of the router module\n" +
                type + "  [#####---------------]  25%  Transmitting the upgrade data of the router module\n" +
                type + "  [##########----------]  50%  Transmitting the upgrade data of the router module\n" +
                type + "  [###############-----]  75%  Transmitting the upgrade data of the router module\n" +
                type + "  [####################] 100%  Transmitting the upgrade data of the router module\n" +
                type + "  [####################] 100%  Download successfully (00:07)\n");
}

TEST(TerminalModuleListTest, LiveRedrawsInPlaceOnATerminal) {
  MemoryFile out;
  TerminalModuleList list(out.File(), true, true);
  list.InsertRow(0, "A");
  list.InsertRow(1, "B");
  list.SetCell(0, COL_PERCENT, "45%");
  list.SetCell(0, COL_PERCENT, "46%");
  list.SetRowColour(1, COLOUR_RED);
  list.SetCell(1, COL_STATUS, "Download failed (00:01)");
  list.FinishLive();
  list.FinishLive();  // nothing left open
  const std::string pad(29, ' ');
  EXPECT_EQ(out.Text(), "A" + pad + "  [#########-----------]  45%  " + "\r\033[K" + "A" + pad +
                            "  [#########-----------]  46%  " + "\n" + "B" + pad + "  [--------------------]" +
                            "       \033[31mDownload failed (00:01)\033[0m\n");
}

TEST(TerminalModuleListTest, LiveCanBeSwitched) {
  MemoryFile out;
  TerminalModuleList list(out.File(), false);
  list.InsertRow(0, "A");
  list.SetCell(0, COL_STATUS, "quiet");
  EXPECT_EQ(out.Text(), "");
  list.SetLive(true);
  list.SetCell(0, COL_STATUS, "loud");
  EXPECT_NE(out.Text().find("loud\n"), std::string::npos);
}

TEST(TerminalModuleListTest, WritersOnSeveralThreads) {
  MemoryFile out;
  TerminalModuleList list(out.File(), true, true);
  for (int row = 0; row < 5; ++row) list.InsertRow(row, "row" + std::to_string(row));
  std::vector<std::thread> writers;
  for (int row = 0; row < 4; ++row) {
    writers.emplace_back([&list, row] {
      for (int p = 0; p <= 100; ++p) {
        list.SetCell(row, COL_PERCENT, std::to_string(p) + "%");
        if (p % 10 == 0) list.SetCell(row, COL_STATUS, "step " + std::to_string(p));
        list.Rows();
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  list.FinishLive();
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(list.Rows()[row].m_Cells[COL_PERCENT], "100%");
    EXPECT_EQ(list.Rows()[row].m_Cells[COL_STATUS], "step 100");
  }
  const std::string text = out.Text();
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace
