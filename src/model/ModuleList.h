// What the engine and the Check write into: the report list of five rows
// with the columns Type, Current Version, Upgrade Version, % and Status.
// The window implements it with a list view, the terminal program with a
// table. Implementations are called from worker threads and must show each
// change before they return.
#pragma once

#include <cstdint>
#include <string>

#include "model/StringIds.h"

enum ListColumn { COL_TYPE = 0, COL_CURRENT = 1, COL_UPGRADE = 2, COL_PERCENT = 3, COL_STATUS = 4 };
constexpr int LIST_COLUMN_COUNT = 5;
// The title of each column, by column.
constexpr StringId COLUMN_HEADER_IDS[LIST_COLUMN_COUNT] = {
    IDS_HEADER_TYPE, IDS_HEADER_CURRENT_VERSION, IDS_HEADER_UPGRADE_VERSION, IDS_HEADER_PERCENT, IDS_HEADER_STATUS};

// Row colours, 0x00RRGGBB; COLOUR_GREY_TEXT stands for the system's grey text.
constexpr uint32_t COLOUR_BLACK = 0x000000;
constexpr uint32_t COLOUR_BLUE = 0x0000FF;
constexpr uint32_t COLOUR_RED = 0xFF0000;
constexpr uint32_t COLOUR_GREY_TEXT = 0xFF000000;

class IModuleList {
 public:
  virtual ~IModuleList() = default;
  virtual void DeleteAllRows() = 0;
  virtual void InsertRow(int row, const std::string& typeName) = 0;
  // A row that does not exist is ignored.
  virtual void SetCell(int row, int column, const std::string& text) = 0;
  virtual void SetRowColour(int row, uint32_t colour) = 0;
  // Widens the Status column when text + "..." is wider than it (never narrows).
  virtual void FitStatusColumn(const std::string& text) = 0;
  // Lays the window out again after a Check (column widths fit the contents).
  virtual void Layout() {}
  // done of total bytes of the row's image have been sent (a list that shows
  // the transfer rate measures it from these).
  virtual void SetTransfer(int row, uint64_t done, uint64_t total) {
    (void)row, (void)done, (void)total;
  }
};
