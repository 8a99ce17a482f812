// The module list of the terminal program: the five rows kept in memory and
// printed as a table. In live mode (qel upgrade) every change of a row's
// status or "%" is drawn at once as a line with a progress bar; on a
// terminal the line of the row being worked on is redrawn in place, and
// every line and table fits the terminal's width. The engine writes from
// its worker thread, so every call takes a lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "cli/TerminalScreen.h"
#include "cli/TransferMeter.h"
#include "model/ModuleList.h"

struct TerminalRow {
  std::string m_Cells[5];
  uint32_t m_Colour = COLOUR_BLACK;
  TransferMeter m_Transfer = {};  // the row's image on its way
};

class TerminalModuleList : public IModuleList {
 public:
  // terminal: out is one (colours, and tables fitted to its width); screen,
  // when given, draws the live lines in place.
  TerminalModuleList(FILE* out, bool terminal, TerminalScreen* screen = nullptr);

  void DeleteAllRows() override;
  void InsertRow(int row, const std::string& typeName) override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetRowColour(int row, uint32_t colour) override;
  void FitStatusColumn(const std::string& text) override;
  void SetTransfer(int row, uint64_t done, uint64_t total) override;

  // A copy of the rows, for the table and the JSON report.
  std::vector<TerminalRow> Rows() const;
  // Prints the header and the rows as a table.
  void PrintTable() const;
  // Switches live drawing on or off (a Check before an upgrade is usually
  // printed as a table, the upgrade live).
  void SetLive(bool live);
  // Ends the live line the screen redraws in place: it stays as it is.
  void FinishLive();

  // The table as text, its lines at most width columns (SIZE_MAX: as wide
  // as the cells are). colour wraps each Status cell in its row's colour.
  // Control characters in the cells are shown as U+FFFD.
  static std::string FormatTable(std::vector<TerminalRow> rows, bool colour, size_t width);
  // One live line, at most width columns: type, a 20-character bar, the
  // "%" cell, the status and, while its image is on its way, the transfer
  // rate and the time left.
  static std::string FormatLiveLine(TerminalRow row, bool colour, size_t width);
  // The escape sequence that shows a row colour ("" for plain black).
  static const char* ColourCode(uint32_t colour);

 private:
  // Draws row's line: on the screen a new line for a new row, else in
  // place; elsewhere a line per change.
  void DrawLive(int row);
  size_t Width() const;

  FILE* m_Out;
  bool m_Terminal;
  TerminalScreen* m_Screen;
  bool m_Live = false;
  mutable std::mutex m_Lock;
  std::vector<TerminalRow> m_Rows;
  int m_OpenLiveRow = -1;  // the row whose line is the screen's live one
};
