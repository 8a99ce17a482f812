#include "cli/TerminalModuleList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "cli/ColumnFit.h"
#include "cli/TerminalText.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"

namespace {

constexpr const char* RESET = "\033[0m";
constexpr int BAR_WIDTH = 20;
constexpr size_t TYPE_WIDTH = 30;  // "Customization of router module"

// What a terminal too narrow for all keeps: the status's least room before
// other columns go (the table's: "Download successfully (00:05)"), the
// type's least width, and which columns go first.
constexpr size_t TABLE_STATUS_MINIMUM = 29;
constexpr size_t LIVE_TAIL_MINIMUM = 24;
constexpr size_t TYPE_MINIMUM = 12;
constexpr int TABLE_DROP_ORDER[5] = {0, 1, 3, 2, 0};  // Current Version, "%", Upgrade Version

std::string Coloured(const std::string& text, uint32_t colour, bool useColour) {
  const char* code = TerminalModuleList::ColourCode(colour);
  if (!useColour || !*code) return text;
  return std::string(code) + text + RESET;
}

bool Valid(const std::vector<TerminalRow>& rows, int row) {
  return row >= 0 && static_cast<size_t>(row) < rows.size();
}

}  // namespace

TerminalModuleList::TerminalModuleList(FILE* out, bool terminal, TerminalScreen* screen)
    : m_Out(out), m_Terminal(terminal), m_Screen(screen) {}

void TerminalModuleList::DeleteAllRows() {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Rows.clear();
}

void TerminalModuleList::InsertRow(int row, const std::string& typeName) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (row < 0 || static_cast<size_t>(row) > m_Rows.size()) row = static_cast<int>(m_Rows.size());
  TerminalRow inserted;
  inserted.m_Cells[COL_TYPE] = typeName;
  m_Rows.insert(m_Rows.begin() + row, inserted);
}

void TerminalModuleList::SetCell(int row, int column, const std::string& text) {
  {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (!Valid(m_Rows, row) || column < 0 || column >= 5) return;
    TerminalRow& target = m_Rows[row];
    if (target.m_Cells[column] == text) return;
    target.m_Cells[column] = text;
    // Without in-place redraws a line per percent would flood a log file;
    // quarters are enough there.
    const bool draw = column == COL_STATUS || (column == COL_PERCENT && (m_Screen || atoi(text.c_str()) % 25 == 0));
    if (!m_Live || !draw) return;
  }
  DrawLive(row);
}

void TerminalModuleList::SetRowColour(int row, uint32_t colour) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (Valid(m_Rows, row)) m_Rows[row].m_Colour = colour;
}

// A terminal table sizes its columns when it is printed.
void TerminalModuleList::FitStatusColumn(const std::string&) {}

// Drawn with the "%" that follows.
void TerminalModuleList::SetTransfer(int row, uint64_t done, uint64_t total) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (Valid(m_Rows, row)) m_Rows[row].m_Transfer.Update(done, total, Clock::TickCount());
}

std::vector<TerminalRow> TerminalModuleList::Rows() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Rows;
}

size_t TerminalModuleList::Width() const {
  if (!m_Terminal) return SIZE_MAX;
  const TerminalSize size = m_Screen ? m_Screen->Size() : TerminalSizeOf(m_Out);
  return size.m_Columns > 1 ? size.m_Columns - 1 : 79;
}

void TerminalModuleList::PrintTable() const {
  const std::string text = FormatTable(Rows(), m_Terminal, Width());
  if (m_Screen) {
    m_Screen->Print(text);
    return;
  }
  fputs(text.c_str(), m_Out);
  fflush(m_Out);
}

void TerminalModuleList::SetLive(bool live) {
  {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Live = live;
  }
  if (!m_Screen || !live) return;
  m_Screen->SetPainter([this](TerminalSize size) -> std::vector<std::string> {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (!Valid(m_Rows, m_OpenLiveRow)) return {};
    return {FormatLiveLine(m_Rows[m_OpenLiveRow], true, size.m_Columns - 1)};
  });
}

void TerminalModuleList::FinishLive() {
  if (m_Screen) m_Screen->Freeze();
  std::lock_guard<std::mutex> hold(m_Lock);
  m_OpenLiveRow = -1;
}

std::string TerminalModuleList::FormatTable(std::vector<TerminalRow> rows, bool colour, size_t width) {
  std::vector<ColumnSpec> columns;
  for (int c = 0; c < 5; ++c) {
    columns.push_back({DisplayWidth(LoadStringId(COLUMN_HEADER_IDS[c])), TABLE_DROP_ORDER[c]});
    for (TerminalRow& row : rows) {
      row.m_Cells[c] = PrintableText(row.m_Cells[c]);
      columns[c].m_Width = std::max(columns[c].m_Width, DisplayWidth(row.m_Cells[c]));
    }
  }
  const ColumnFit fit = FitColumns(columns, TABLE_STATUS_MINIMUM, TYPE_MINIMUM, width);
  std::vector<std::string> cells;
  for (int c = 0; c < 5; ++c) cells.push_back(LoadStringId(COLUMN_HEADER_IDS[c]));
  std::string text = FittedLine(cells, fit) + "\n";
  for (const TerminalRow& row : rows) {
    cells.assign(row.m_Cells, row.m_Cells + 4);
    cells.push_back(Coloured(row.m_Cells[COL_STATUS], row.m_Colour, colour));
    text += FittedLine(cells, fit) + "\n";
  }
  return text;
}

std::string TerminalModuleList::FormatLiveLine(TerminalRow row, bool colour, size_t width) {
  for (std::string& cell : row.m_Cells) cell = PrintableText(cell);
  int percent = atoi(row.m_Cells[COL_PERCENT].c_str());
  percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  const int filled = percent * BAR_WIDTH / 100;
  const std::string& cell = row.m_Cells[COL_PERCENT];
  const std::string percentCell = std::string(cell.size() < 4 ? 4 - cell.size() : 0, ' ') + cell + "  ";
  std::string head = Pad(row.m_Cells[COL_TYPE], TYPE_WIDTH) + "  ";
  std::string gauge = "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-') + "] " + percentCell;
  std::string tail = Coloured(row.m_Cells[COL_STATUS], row.m_Colour, colour);
  if (row.m_Transfer.InFlight()) tail += "  " + row.m_Transfer.Text();
  if (width == SIZE_MAX) return head + gauge + tail;
  // Too narrow for all: the bar goes first, then the type is cut.
  if (DisplayWidth(head + gauge) + LIVE_TAIL_MINIMUM > width) gauge = percentCell;
  const size_t fixed = DisplayWidth(gauge) + COLUMN_GAP + LIVE_TAIL_MINIMUM;
  if (DisplayWidth(head) + fixed - COLUMN_GAP > width) {
    head = FitCell(row.m_Cells[COL_TYPE], width > fixed + TYPE_MINIMUM ? width - fixed : TYPE_MINIMUM) + "  ";
  }
  return CutText(head + gauge + tail, width);
}

const char* TerminalModuleList::ColourCode(uint32_t colour) {
  switch (colour) {
    case COLOUR_BLUE: return "\033[34m";
    case COLOUR_RED: return "\033[31m";
    case COLOUR_GREY_TEXT: return "\033[90m";
    default: return "";
  }
}

// Lines one under the other where nothing can be redrawn.
void TerminalModuleList::DrawLive(int row) {
  if (m_Screen) {
    bool newRow = false;
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      newRow = m_OpenLiveRow != row;
      m_OpenLiveRow = row;
    }
    // The finished row's line stays where it is, above the new one.
    if (newRow) m_Screen->Keep();
    m_Screen->Redraw();
    return;
  }
  std::lock_guard<std::mutex> hold(m_Lock);
  fprintf(m_Out, "%s\n", FormatLiveLine(m_Rows[row], false, SIZE_MAX).c_str());
  fflush(m_Out);
}
