// Stand-ins for what the program shows the user: a module list that
// records every cell and colour change in order, and a notice sink that
// records the texts instead of showing them. Both take calls from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/ModuleList.h"
#include "log/Notice.h"

namespace testsupport {

struct ListChange {
  int m_Row;
  int m_Column;  // -1 for a colour change
  std::string m_Text;
  uint32_t m_Colour;
};

class RecordingList : public IModuleList {
 public:
  void DeleteAllRows() override;
  void InsertRow(int row, const std::string& type) override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetRowColour(int row, uint32_t colour) override;
  void FitStatusColumn(const std::string&) override {}

  std::vector<ListChange> Changes() const;
  // The texts written to one column of one row, in order.
  std::vector<std::string> Cells(int row, int column) const;
  std::vector<std::string> Statuses(int row) const { return Cells(row, COL_STATUS); }
  // The newest text of a cell ("" when none was written).
  std::string Last(int row, int column) const;
  std::string LastStatus(int row) const { return Last(row, COL_STATUS); }
  std::string LastPercent(int row) const { return Last(row, COL_PERCENT); }
  // The row's newest colour (0 when none was set).
  uint32_t LastColour(int row) const;
  int Rows() const;

 private:
  mutable std::mutex m_Lock;
  std::vector<ListChange> m_Changes;
  int m_Rows = 0;
};

class RecordingNotices : public INoticeSink {
 public:
  void ShowNotice(const std::string& caption, const std::string& text) override;
  std::vector<std::string> Texts() const;

 private:
  mutable std::mutex m_Lock;
  std::vector<std::string> m_Texts;
};

}  // namespace testsupport
