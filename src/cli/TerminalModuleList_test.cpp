#include "cli/TerminalModuleList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

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

TEST(TerminalModuleListTest, ColumnsFitTheWidestCellEastAsianWideCharactersCountingTwice) {
  // Each character five times: the Type column is as wide as that.
  const std::pair<const char*, size_t> cases[] = {
      {"a", 5},       {"\u00E9", 5},  {"\u1100", 10}, {"\u115F", 10}, {"\u1160", 5},  {"\u2E7F", 5},
      {"\u2E80", 10}, {"\uA4CF", 10}, {"\uA4D0", 5},  {"\uAC00", 10}, {"\uD7A3", 10}, {"\uD7A4", 5},
      {"\uF900", 10}, {"\uFAFF", 10}, {"\uFF00", 10}, {"\uFF60", 10}, {"\uFF61", 5},  {"\U0001F600", 5}};
  for (const auto& [character, width] : cases) {
    std::vector<TerminalRow> rows(1);
    for (int i = 0; i < 5; ++i) rows[0].m_Cells[COL_TYPE] += character;
    EXPECT_EQ(TerminalModuleList::FormatTable(rows, false).find("Current Version"), width + 2) << character;
  }
}

// Version texts come from the gateway: its control characters (C0, DEL, C1)
// must not reach the terminal, and each takes one column.
TEST(TerminalModuleListTest, ControlCharactersAreShownAsReplacementCharacters) {
  std::vector<TerminalRow> rows(1);
  rows[0].m_Cells[COL_CURRENT] = "\x1b]0;x\x07\t\x7f\xC2\x9B\xC2\xA0\u00E9";
  rows[0].m_Cells[COL_STATUS] = "\x1b[2J";
  const std::string shown = "\uFFFD]0;x\uFFFD\uFFFD\uFFFD\uFFFD\u00A0\u00E9";
  EXPECT_EQ(TerminalModuleList::FormatTable(rows, false).substr(6), std::string("Current Version  Upgrade Version  %  Status\n") +
            "      " + shown + std::string(4 + 2 + 15 + 2 + 1 + 2, ' ') + "\uFFFD[2J\n");
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(rows[0], false).find('\x1b'), std::string::npos);
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
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(row, false), std::string(30, ' ') + "  [#####---------------]  25%  " +
                                                                "     400 kbit/s  00:06 left");
  row.m_Transfer.Update(400000, 400000, 9000);
  EXPECT_EQ(TerminalModuleList::FormatLiveLine(row, false).find("kbit/s"), std::string::npos);
}

TEST(TerminalModuleListTest, LiveRedrawsInPlaceOnATerminal) {
  MemoryFile out;
  TerminalModuleList list(out.m_File, true, true);
  list.InsertRow(0, "A");
  list.InsertRow(1, "B");
  for (const char* percent : {"45%", "46%"}) list.SetCell(0, COL_PERCENT, percent);
  list.SetRowColour(1, COLOUR_GREY_TEXT);
  list.SetCell(1, COL_STATUS, "Download failed (00:01)");
  list.FinishLive();
  list.FinishLive();  // nothing left open
  const std::string pad(29, ' ');
  EXPECT_EQ(out.Text(), "A" + pad + "  [#########-----------]  45%  \r\033[KA" + pad +
                            "  [#########-----------]  46%  \nB" + pad +
                            "  [--------------------]       \033[90mDownload failed (00:01)\033[0m\n");
}

}  // namespace
