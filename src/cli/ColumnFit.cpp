#include "cli/ColumnFit.h"

#include <algorithm>
#include <cstdint>

#include "cli/TerminalText.h"

ColumnFit FitColumns(const std::vector<ColumnSpec>& columns, size_t lastMinimum, size_t firstMinimum, size_t width) {
  const size_t count = columns.size();
  ColumnFit fit{std::vector<bool>(count, true), std::vector<size_t>(count, 0)};
  if (count == 0) return fit;
  for (size_t c = 0; c + 1 < count; ++c) fit.m_Widths[c] = columns[c].m_Width;
  fit.m_Widths[count - 1] = columns[count - 1].m_Width;
  if (width == SIZE_MAX) return fit;
  // The columns before the last, each with the gap after it.
  const auto before = [&] {
    size_t sum = 0;
    for (size_t c = 0; c + 1 < count; ++c)
      if (fit.m_Shown[c]) sum += fit.m_Widths[c] + COLUMN_GAP;
    return sum;
  };
  for (int order = 1; before() + lastMinimum > width; ++order) {
    bool any = false;
    for (size_t c = 0; c + 1 < count; ++c) {
      if (columns[c].m_DropOrder >= order) any = true;
      if (columns[c].m_DropOrder == order) fit.m_Shown[c] = false;
    }
    if (!any) break;
  }
  if (count > 1 && before() + lastMinimum > width) {
    const size_t others = before() - fit.m_Widths[0];
    const size_t room = width > others + lastMinimum ? width - others - lastMinimum : 0;
    fit.m_Widths[0] = std::max(std::min(fit.m_Widths[0], firstMinimum), room);
    fit.m_Widths[0] = std::min(fit.m_Widths[0], columns[0].m_Width);
  }
  const size_t used = before();
  fit.m_Widths[count - 1] = width > used ? width - used : 0;
  return fit;
}

std::string FittedLine(const std::vector<std::string>& cells, const ColumnFit& fit) {
  std::string line;
  const size_t last = cells.size() - 1;
  for (size_t c = 0; c < last; ++c) {
    if (fit.m_Shown[c]) line += FitCell(cells[c], fit.m_Widths[c]) + std::string(COLUMN_GAP, ' ');
  }
  return line + CutText(cells[last], fit.m_Widths[last]);
}
