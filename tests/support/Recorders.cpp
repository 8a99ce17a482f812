#include "support/Recorders.h"

namespace testsupport {

void RecordingList::DeleteAllRows() {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Rows = 0;
}

void RecordingList::InsertRow(int, const std::string&) {
  std::lock_guard<std::mutex> hold(m_Lock);
  ++m_Rows;
}

void RecordingList::SetCell(int row, int column, const std::string& text) {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Changes.push_back({row, column, text, 0});
}

void RecordingList::SetRowColour(int row, uint32_t colour) {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Changes.push_back({row, -1, "", colour});
}

std::vector<ListChange> RecordingList::Changes() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Changes;
}

std::vector<std::string> RecordingList::Cells(int row, int column) const {
  std::vector<std::string> texts;
  for (const ListChange& change : Changes()) {
    if (change.m_Row == row && change.m_Column == column) texts.push_back(change.m_Text);
  }
  return texts;
}

std::string RecordingList::Last(int row, int column) const {
  const std::vector<std::string> texts = Cells(row, column);
  return texts.empty() ? "" : texts.back();
}

uint32_t RecordingList::LastColour(int row) const {
  uint32_t colour = 0;
  for (const ListChange& change : Changes()) {
    if (change.m_Row == row && change.m_Column == -1) colour = change.m_Colour;
  }
  return colour;
}

int RecordingList::Rows() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Rows;
}

void RecordingNotices::ShowNotice(const std::string&, const std::string& text) {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Texts.push_back(text);
}

std::vector<std::string> RecordingNotices::Texts() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Texts;
}

}  // namespace testsupport
