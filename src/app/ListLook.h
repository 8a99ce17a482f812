// How the module list looks, whatever draws it: its five columns (title,
// width basis, alignment), the two row backgrounds, and the colour a row's
// Status cell is drawn in. Only the Status cell takes the row's colour; the
// other cells are black.
#pragma once

#include <cstdint>
#include <string>

#include "model/ModuleList.h"

enum ColumnAlignment { ALIGN_LEFT, ALIGN_CENTRE };

struct ListColumnInfo {
  StringId m_HeaderId;
  int m_WidthBasis;  // characters
  ColumnAlignment m_Alignment;
};

// A report list shows its first column left-aligned, so "Type" is.
constexpr ListColumnInfo LIST_COLUMNS[LIST_COLUMN_COUNT] = {
    {IDS_HEADER_TYPE, 16, ALIGN_LEFT},
    {IDS_HEADER_CURRENT_VERSION, 15, ALIGN_CENTRE},
    {IDS_HEADER_UPGRADE_VERSION, 15, ALIGN_CENTRE},
    {IDS_HEADER_PERCENT, 4, ALIGN_CENTRE},
    {IDS_HEADER_STATUS, 20, ALIGN_LEFT},
};

// 0x00RRGGBB, as the row colours.
constexpr uint32_t EVEN_ROW_BACKGROUND = 0xF0F7F9;  // rows 0, 2, 4
constexpr uint32_t ODD_ROW_BACKGROUND = 0xE5E8EF;   // rows 1, 3

uint32_t RowBackground(int row);
// The text colour of a cell of a row of colour rowColour; systemGrey is the
// toolkit's grey text, which COLOUR_GREY_TEXT stands for.
uint32_t CellTextColour(int column, uint32_t rowColour, uint32_t systemGrey);
// The text whose width is a column's least: (width basis + 2) digits "1".
std::string ColumnWidthSample(int column);
// The Status column's text is measured with this after it, for the room
// the list leaves beside a cell's text.
constexpr const char* STATUS_MEASURE_TAIL = "...";
