#include "cli/TerminalModuleList.h"

#include <algorithm>
#include <cstdlib>

#include "cli/TerminalText.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"

namespace {

constexpr const char* RESET = "\033[0m";
constexpr int BAR_WIDTH = 20;

std::string Coloured(const std::string& text, uint32_t colour, bool useColour) {
  const char* code = TerminalModuleList::ColourCode(colour);
  if (!useColour || !*code) return text;
  return std::string(code) + text + RESET;
}

bool Valid(const std::vector<TerminalRow>& rows, int row) {
  return row >= 0 && static_cast<size_t>(row) < rows.size();
}

}  // namespace

TerminalModuleList::TerminalModuleList(FILE* out, bool colour, bool live)
    : m_Out(out), m_Colour(colour), m_Live(live) {}

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
  std::lock_guard<std::mutex> hold(m_Lock);
  if (!Valid(m_Rows, row) || column < 0 || column >= 5) return;
  TerminalRow& target = m_Rows[row];
  if (target.m_Cells[column] == text) return;
  target.m_Cells[column] = text;
  if (!m_Live) return;
  if (column == COL_STATUS) {
    DrawLive(row);
  } else if (column == COL_PERCENT) {
    // Without in-place redraws a line per percent would flood a log file;
    // quarters are enough there.
    if (m_Colour || atoi(text.c_str()) % 25 == 0) DrawLive(row);
  }
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

void TerminalModuleList::PrintTable() const {
  const std::string text = FormatTable(Rows(), m_Colour);
  fputs(text.c_str(), m_Out);
  fflush(m_Out);
}

void TerminalModuleList::SetLive(bool live) {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Live = live;
}

void TerminalModuleList::FinishLive() {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_OpenLiveRow >= 0) {
    fputc('\n', m_Out);
    fflush(m_Out);
  }
  m_OpenLiveRow = -1;
}

std::string TerminalModuleList::FormatTable(std::vector<TerminalRow> rows, bool colour) {
  for (TerminalRow& row : rows) {
    for (std::string& cell : row.m_Cells) cell = PrintableText(cell);
  }
  size_t widths[5];
  for (int c = 0; c < 5; ++c) {
    widths[c] = DisplayWidth(LoadStringId(COLUMN_HEADER_IDS[c]));
    for (const TerminalRow& row : rows) widths[c] = std::max(widths[c], DisplayWidth(row.m_Cells[c]));
  }
  std::string text;
  for (int c = 0; c < 4; ++c) text += Pad(LoadStringId(COLUMN_HEADER_IDS[c]), widths[c]) + "  ";
  text += LoadStringId(COLUMN_HEADER_IDS[COL_STATUS]);
  text += '\n';
  for (const TerminalRow& row : rows) {
    for (int c = 0; c < 4; ++c) text += Pad(row.m_Cells[c], widths[c]) + "  ";
    text += Coloured(row.m_Cells[COL_STATUS], row.m_Colour, colour);
    text += '\n';
  }
  return text;
}

std::string TerminalModuleList::FormatLiveLine(TerminalRow row, bool colour) {
  for (std::string& cell : row.m_Cells) cell = PrintableText(cell);
  int percent = atoi(row.m_Cells[COL_PERCENT].c_str());
  percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  const int filled = percent * BAR_WIDTH / 100;
  std::string bar = "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-') + "]";
  std::string line = Pad(row.m_Cells[COL_TYPE], 30) + "  " + bar + " ";
  std::string cell = row.m_Cells[COL_PERCENT];
  line += std::string(cell.size() < 4 ? 4 - cell.size() : 0, ' ') + cell + "  ";
  line += Coloured(row.m_Cells[COL_STATUS], row.m_Colour, colour);
  if (row.m_Transfer.InFlight()) line += "  " + row.m_Transfer.Text();
  return line;
}

const char* TerminalModuleList::ColourCode(uint32_t colour) {
  switch (colour) {
    case COLOUR_BLUE: return "\033[34m";
    case COLOUR_RED: return "\033[31m";
    case COLOUR_GREY_TEXT: return "\033[90m";
    default: return "";
  }
}

void TerminalModuleList::DrawLive(int row) {
  const std::string line = FormatLiveLine(m_Rows[row], m_Colour);
  if (m_Colour) {
    // Redraw the open line of the same row; a new row starts a new line.
    if (m_OpenLiveRow == row) {
      fputs("\r\033[K", m_Out);
    } else if (m_OpenLiveRow >= 0) {
      fputc('\n', m_Out);
    }
    fputs(line.c_str(), m_Out);
    m_OpenLiveRow = row;
  } else {
    fputs(line.c_str(), m_Out);
    fputc('\n', m_Out);
  }
  fflush(m_Out);
}
