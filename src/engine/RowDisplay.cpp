#include "engine/RowDisplay.h"

#include <cstdio>

#include "net/Clock.h"

CRowDisplay::CRowDisplay(IModuleList* list, IUpgradeEvents* events, UpgradeLog& log)
    : m_List(list), m_Events(events), m_Log(log) {
  ForgetProgress();
}

void CRowDisplay::SetRow(ModuleKind row) {
  const bool starts = row != m_Row;
  m_Row = row;
  if (starts && OnListRow() && m_Events) m_Events->OnRowStart(row);
}

void CRowDisplay::ShowStatus(const std::string& text, uint32_t colour) {
  if (m_List) {
    if (OnListRow()) {
      m_List->SetRowColour(m_Row, colour);
      m_List->SetCell(m_Row, COL_STATUS, text);
    }
    m_List->FitStatusColumn(text);
  }
  LogPrintf(&m_Log, "%s", text.c_str());
}

void CRowDisplay::ShowStatus(const std::string& text) {
  ShowStatus(text, COLOUR_BLACK);
  if (OnListRow() && m_Events) m_Events->OnRowStatus(m_Row, text);
}

void CRowDisplay::ShowStatusId(int id) {
  const char* text = LoadStringId(id);
  if (*text) ShowStatus(text);
}

void CRowDisplay::StartStage() { m_StageStart = Clock::WallSeconds(); }

void CRowDisplay::ShowResult(int resultTextId) {
  long long elapsed = static_cast<long long>(Clock::WallSeconds() - m_StageStart);
  if (elapsed < 0) elapsed = 0;
  // Minutes within the hour, as the result has always shown them.
  char time[32];
  snprintf(time, sizeof time, " (%02lld:%02lld)", (elapsed / 60) % 60, elapsed % 60);
  const bool success = resultTextId == IDS_DOWNLOAD_OK;
  const std::string text = std::string(LoadStringId(resultTextId)) + time;
  ShowStatus(text, success ? COLOUR_BLUE : COLOUR_RED);
  StartStage();
  if (OnListRow() && m_Events) m_Events->OnRowEnd({m_Row, success, resultTextId, elapsed, text});
}

void CRowDisplay::ShowProgress(int percent) {
  // Kept per row: a row's first percentage shows even when an earlier row
  // ended on the same value.
  const int slot = OnListRow() ? m_Row : MODULE_COUNT;
  if (m_LastProgress[slot] == percent) return;
  m_LastProgress[slot] = percent;
  if (!OnListRow()) return;
  if (m_List) {
    char text[16];
    snprintf(text, sizeof text, "%d%%", percent);
    m_List->SetCell(m_Row, COL_PERCENT, text);
  }
  if (m_Events) m_Events->OnRowProgress(m_Row, percent);
}

void CRowDisplay::ShowProgress(uint64_t done, uint64_t total) {
  // 64-bit, so that large images cannot wrap the product.
  ShowProgress(total == 0 ? 100 : static_cast<int>(done * 100 / total));
}

void CRowDisplay::StartTransfer(uint64_t total) {
  if (!OnListRow()) return;
  if (m_List) m_List->SetTransfer(m_Row, 0, total);
  if (m_Events) m_Events->OnRowTransfer(m_Row, 0, total);
}

void CRowDisplay::ShowTransfer(uint64_t done, uint64_t total) {
  // The bytes first, so that the "%" drawn next shows the new pace.
  if (OnListRow()) {
    if (m_List) m_List->SetTransfer(m_Row, done, total);
    if (m_Events) m_Events->OnRowTransfer(m_Row, done, total);
  }
  ShowProgress(done, total);
}

void CRowDisplay::ForgetProgress() {
  for (int& value : m_LastProgress) value = -1;
}
