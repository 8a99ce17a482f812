// How a table's columns share a terminal's width. Every column keeps its
// width, and the last one (the status) takes the space left. Where that
// space would be less than the last column's minimum, columns are dropped,
// in their drop order, and then the first column is narrowed to its own
// minimum: a narrow terminal still shows the first column and the last.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t COLUMN_GAP = 2;  // blanks between two columns

struct ColumnSpec {
  size_t m_Width;        // the widest of its cells and its title
  int m_DropOrder = 0;   // 1 goes first, 2 next...; 0 never goes
};

struct ColumnFit {
  std::vector<bool> m_Shown;
  std::vector<size_t> m_Widths;  // of each shown column; the last's is the space left
};

// width: the columns the table may fill (SIZE_MAX: no limit, every column
// at its own width).
ColumnFit FitColumns(const std::vector<ColumnSpec>& columns, size_t lastMinimum, size_t firstMinimum, size_t width);

// One line of a fitted table: the shown cells cut and padded to their
// widths, COLUMN_GAP apart, the last one cut only (it may carry colour).
std::string FittedLine(const std::vector<std::string>& cells, const ColumnFit& fit);
