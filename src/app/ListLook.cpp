#include "app/ListLook.h"

uint32_t RowBackground(int row) { return row % 2 == 0 ? EVEN_ROW_BACKGROUND : ODD_ROW_BACKGROUND; }

uint32_t CellTextColour(int column, uint32_t rowColour, uint32_t systemGrey) {
  if (column != COL_STATUS) return COLOUR_BLACK;
  return rowColour == COLOUR_GREY_TEXT ? systemGrey : rowColour;
}

std::string ColumnWidthSample(int column) {
  if (column < 0 || column >= LIST_COLUMN_COUNT) return std::string();
  return std::string(LIST_COLUMNS[column].m_WidthBasis + 2, '1');
}
