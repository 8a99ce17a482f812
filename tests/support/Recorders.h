// Stand-ins for what the program shows the user: a module list that
// records every cell and colour change in order, a stage's view that
// records its statuses and "%" cells, and a notice sink that records the
// texts instead of showing them. All take calls from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "model/StringIds.h"
#include "log/Notice.h"
#include "model/ModuleList.h"
#include "model/StageView.h"

namespace testsupport {

struct ListChange {
  int m_Row;     // -1: the status column fitted to m_Text; -2: a row inserted (column -1) or all deleted
  int m_Column;  // -1 for a colour change
  std::string m_Text;
  uint32_t m_Colour;
};

class RecordingList : public IModuleList {
 public:
  void DeleteAllRows() override { Add({-2, -2, "", 0}); }
  void InsertRow(int, const std::string&) override { Add({-2, -1, "", 0}); }
  void SetCell(int row, int column, const std::string& text) override { Add({row, column, text, 0}); }
  void SetRowColour(int row, uint32_t colour) override { Add({row, -1, "", colour}); }
  void FitStatusColumn(const std::string& text) override { Add({-1, COL_STATUS, text, 0}); }

  std::vector<ListChange> Changes() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Changes;
  }
  // The texts written to one column of one row, in order.
  std::vector<std::string> Cells(int row, int column) const {
    std::vector<std::string> texts;
    for (const ListChange& c : Changes())
      if (c.m_Row == row && c.m_Column == column) texts.push_back(c.m_Text);
    return texts;
  }
  std::vector<std::string> Statuses(int row) const { return Cells(row, COL_STATUS); }
  // The newest text of a cell ("" when none was written), the row's newest colour (0 when none was set).
  std::string Last(int row, int column) const { return Cells(row, column).empty() ? "" : Cells(row, column).back(); }
  std::string LastStatus(int row) const { return Last(row, COL_STATUS); }
  std::string LastPercent(int row) const { return Last(row, COL_PERCENT); }
  uint32_t LastColour(int row) const {
    uint32_t colour = 0;
    for (const ListChange& c : Changes()) colour = c.m_Row == row && c.m_Column < 0 ? c.m_Colour : colour;
    return colour;
  }
  // The rows inserted since the last deletion of all rows.
  int Rows() const {
    int rows = 0;
    for (const ListChange& c : Changes()) rows = c.m_Row != -2 ? rows : c.m_Column == -1 ? rows + 1 : 0;
    return rows;
  }

 private:
  void Add(const ListChange& change) {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Changes.push_back(change);
  }

  mutable std::mutex m_Lock;
  std::vector<ListChange> m_Changes;
};

// A stage's view as one row shows it: each status, and each "%" that
// differs from the last.
class RecordingView : public IStageView {
 public:
  void ShowStatus(const std::string& text) override { Add(&m_Statuses, text); }
  void ShowStatusId(int id) override {
    if (*LoadStringId(id)) ShowStatus(LoadStringId(id));
  }
  void ShowProgress(int percent) override {
    const std::string text = std::to_string(percent) + "%";
    std::lock_guard<std::mutex> hold(m_Lock);
    if (m_Percents.empty() || m_Percents.back() != text) m_Percents.push_back(text);
  }
  void ShowProgress(uint64_t done, uint64_t total) override {
    ShowProgress(total == 0 ? 100 : static_cast<int>(done * 100 / total));
  }
  void StartTransfer(uint64_t) override {}
  void ShowTransfer(uint64_t done, uint64_t total) override { ShowProgress(done, total); }

  std::vector<std::string> Statuses() const { return Copy(m_Statuses); }
  std::vector<std::string> Percents() const { return Copy(m_Percents); }

 private:
  void Add(std::vector<std::string>* texts, const std::string& text) {
    std::lock_guard<std::mutex> hold(m_Lock);
    texts->push_back(text);
  }
  std::vector<std::string> Copy(const std::vector<std::string>& texts) const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return texts;
  }

  mutable std::mutex m_Lock;
  std::vector<std::string> m_Statuses, m_Percents;
};

class RecordingNotices : public INoticeSink {
 public:
  void ShowNotice(const std::string&, const std::string& text) override {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Texts.push_back(text);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Texts;
  }

 private:
  mutable std::mutex m_Lock;
  std::vector<std::string> m_Texts;
};

}  // namespace testsupport
