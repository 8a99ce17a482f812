#include "cli/TerminalModuleList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>

#include "cli/TerminalText.h"

namespace {

// A FILE* whose text the test can read back (binary: no line end changes).
struct MemoryFile {
  FILE* m_File = tmpfile();
  ~MemoryFile() { fclose(m_File); }
  std::string Text() {
    std::string text(static_cast<size_t>(ftell(m_File)), '\0');
    rewind(m_File);
    text.resize(fread(text.data(), 1, text.size(), m_File));
    return text;
  }
};

TEST(TerminalModuleListTest, ColumnsFitTheWidestCellInTerminalColumns) {
  // Each character five times: the Type column is as wide as that.
  const std::pair<const char*, size_t> cases[] = {
      {"a", 5}, {"\u00E9", 5}, {"e\u0301", 5}, {"\uAC00", 10}, {"\uFF71", 5}, {"\U0001F600", 10}};
  for (const auto& [character, width] : cases) {
    std::vector<TerminalRow> rows(1);
    for (int i = 0; i < 5; ++i) rows[0].m_Cells[COL_TYPE] += character;
    EXPECT_EQ(TerminalModuleList::FormatTable(rows, false, SIZE_MAX).find("Current Version"), width + 2) << character;
  }
}

// On a terminal too narrow for every column the versions and "%" go first
// and the status keeps room for a whole result; at last the type is cut.
TEST(TerminalModuleListTest, TablesAndLiveLinesFitTheTerminal) {
  std::vector<TerminalRow> rows(2);
  rows[0].m_Cells[COL_TYPE] = "Customization of router module";
  rows[0].m_Cells[COL_CURRENT] = rows[0].m_Cells[COL_UPGRADE] = "1.2.3.4";
  rows[0].m_Cells[COL_PERCENT] = "100%";
  rows[0].m_Cells[COL_STATUS] = "Download successfully (00:05)";
  rows[0].m_Colour = COLOUR_BLUE;
  rows[1].m_Cells[COL_TYPE] = "BOOT of router module";
  rows[1].m_Cells[COL_STATUS] = "Failed to check the status of automatically restoring the NV (00:07)";
  rows[1].m_Transfer.Update(0, 4000, 0);
  rows[1].m_Transfer.Update(1000, 4000, 1000);
  const std::string type = "Customization of router module";
  const struct {
    size_t m_Width;
    std::string m_Header, m_Live;
  } cases[] = {
      {200, "Type" + std::string(28, ' ') + "Current Version  Upgrade Version  %     Status",
       type + "  [####################] 100%  \033[34mDownload successfully (00:05)\033[0m"},
      {79, "Type" + std::string(28, ' ') + "Upgrade Version  Status", type + "  100%  \033[34mDownload successfully (00:05)\033[0m"},
      {60, "Type" + std::string(27, ' ') + "Status",
       "Customization of router mod\u2026  100%  \033[34mDownload successfully (\u2026\033[0m"},
      {39, "Type" + std::string(10, ' ') + "Status", "Customizati\u2026  100%  \033[34mDownload successfu\u2026\033[0m"},
  };
  for (const auto& c : cases) {
    const std::string table = TerminalModuleList::FormatTable(rows, true, c.m_Width);
    EXPECT_EQ(table.substr(0, table.find('\n')), c.m_Header) << c.m_Width;
    EXPECT_EQ(TerminalModuleList::FormatLiveLine(rows[0], true, c.m_Width), c.m_Live) << c.m_Width;
    for (size_t at = 0, end; (end = table.find('\n', at)) != std::string::npos; at = end + 1)
      EXPECT_LE(DisplayWidth(table.substr(at, end - at)), c.m_Width) << table;
    EXPECT_LE(DisplayWidth(TerminalModuleList::FormatLiveLine(rows[1], true, c.m_Width)), c.m_Width);
  }
}

// Version texts come from the gateway: its control characters (C0, DEL, C1)
// must not reach the terminal, and each takes one column.
TEST(TerminalModuleListTest, ControlCharactersAreShownAsReplacementCharacters) {
  std::vector<TerminalRow> rows(1);
  rows[0].m_Cells[COL_CURRENT] = "\x1b]0;x\x07\t\x7f\xC2\x9B\xC2\xA0\u00E9";
  rows[0].m_Cells[COL_STATUS] = "\x1b[2J";
  const std::string shown = "\uFFFD]0;x\uFFFD\uFFFD\uFFFD\uFFFD\u00A0\u00E9";
  EXPECT_EQ(TerminalModuleList::FormatTable(rows, false, SIZE_MAX).substr(6), std::string("Current Version  Upgrade Version  %  Status\n") +
            "      " + shown + std::string(4 + 2 + 15 + 2 + 1 + 2, ' ') + "\uFFFD[2J\n");
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(rows[0], false, SIZE_MAX).find('\x1b'), std::string::npos);
}

// Rows and columns that do not exist are ignored and draw nothing.
TEST(TerminalModuleListTest, LiveLinesWithoutATerminalAtEveryQuarter) {
  MemoryFile out;
  TerminalModuleList list(out.m_File, false);
  list.SetRowColour(0, COLOUR_RED);
  list.InsertRow(0, "APP of router module");
  list.SetRowColour(0, COLOUR_GREY_TEXT);  // no colour without a terminal
  list.SetCell(0, COL_STATUS, "quiet");  // not live yet
  list.SetLive(true);
  for (const auto& [row, column] : {std::pair{1, 4}, {0, 5}, {0, -1}, {-1, 4}}) list.SetCell(row, column, "nothing");
  for (int row : {1, -1}) list.SetRowColour(row, COLOUR_RED);
  list.InsertRow(9, "B");  // past the end: appended
  list.SetCell(0, COL_STATUS, "Transmitting");
  for (int p = 0; p <= 100; p += 5) list.SetCell(0, COL_PERCENT, std::to_string(p) + "%");
  list.SetCell(0, COL_STATUS, "Download successfully (00:07)");
  const std::string type = "APP of router module            [";
  EXPECT_EQ(out.Text(), type + "--------------------]       Transmitting\n" +
                            type + "--------------------]   0%  Transmitting\n" +
                            type + "#####---------------]  25%  Transmitting\n" +
                            type + "##########----------]  50%  Transmitting\n" +
                            type + "###############-----]  75%  Transmitting\n" +
                            type + "####################] 100%  Transmitting\n" +
                            type + "####################] 100%  Download successfully (00:07)\n");
  const std::vector<TerminalRow> rows = list.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(std::tuple(rows[0].m_Colour, rows[1].m_Cells[COL_TYPE], rows[1].m_Cells[COL_STATUS]),
            std::tuple(COLOUR_GREY_TEXT, std::string("B"), std::string()));
  list.DeleteAllRows();
  EXPECT_TRUE(list.Rows().empty());
}

// While a row's image is on its way its line tells the pace; then no more.
TEST(TerminalModuleListTest, LiveLineShowsThePaceOfAnImageInFlight) {
  TerminalRow row;
  row.m_Cells[COL_PERCENT] = "25%";
  row.m_Transfer.Update(0, 400000, 1000);
  row.m_Transfer.Update(100000, 400000, 3000);
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(row, false, SIZE_MAX), std::string(30, ' ') + "  [#####---------------]  25%  " +
                                                                "     400 kbit/s  00:06 left");
  row.m_Transfer.Update(400000, 400000, 9000);
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(row, false, SIZE_MAX).find("kbit/s"), std::string::npos);
}

}  // namespace
