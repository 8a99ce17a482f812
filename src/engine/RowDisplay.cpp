// How the engine shows its work in the module list: status texts (each also
// a log line), the final result with the elapsed time, and the "%" cell.
#include <cstdio>

#include "engine/UpgradeEngine.h"
#include "net/Clock.h"

namespace {

bool IsListRow(ModuleKind row) { return row >= 0 && row < MODULE_COUNT; }

}  // namespace

void UpgradeEngine::ShowRowStatus(const std::string& text, uint32_t colour) {
  if (m_ListCtrl) {
    if (IsListRow(m_Row)) {
      m_ListCtrl->SetRowColour(m_Row, colour);
      m_ListCtrl->SetCell(m_Row, COL_STATUS, text);
    }
    m_ListCtrl->FitStatusColumn(text);
  }
  LogPrintf(&m_Log, "%s", text.c_str());
}

void UpgradeEngine::ShowRowStatusId(int id, uint32_t colour) {
  const char* text = LoadStringId(id);
  if (*text) ShowRowStatus(text, colour);
}

void UpgradeEngine::ShowRowResult() {
  const time_t now = Clock::WallSeconds();
  long long elapsed = static_cast<long long>(now - m_StageStart);
  if (elapsed < 0) elapsed = 0;
  // Minutes within the hour, as the result has always shown them.
  char time[32];
  snprintf(time, sizeof time, " (%02lld:%02lld)", (elapsed / 60) % 60, elapsed % 60);
  const bool success = m_ResultTextId == IDS_DOWNLOAD_OK;
  ShowRowStatus(std::string(LoadStringId(m_ResultTextId)) + time, success ? COLOUR_BLUE : COLOUR_RED);
  m_StageStart = Clock::WallSeconds();
}

void UpgradeEngine::ShowRowProgress(int percentage) {
  // Kept per row: a row's first percentage shows even when an earlier row
  // ended on the same value.
  const int slot = IsListRow(m_Row) ? m_Row : MODULE_COUNT;
  if (m_LastProgress[slot] == percentage) return;
  m_LastProgress[slot] = percentage;
  if (!m_ListCtrl || !IsListRow(m_Row)) return;
  char text[16];
  snprintf(text, sizeof text, "%d%%", percentage);
  m_ListCtrl->SetCell(m_Row, COL_PERCENT, text);
}

void UpgradeEngine::ShowRowProgress(uint64_t done, uint64_t total) {
  // 64-bit, so that large images cannot wrap the product.
  ShowRowProgress(total == 0 ? 100 : static_cast<int>(done * 100 / total));
}

void UpgradeEngine::StartRowTransfer(uint64_t total) {
  if (m_ListCtrl && IsListRow(m_Row)) m_ListCtrl->SetTransfer(m_Row, 0, total);
}

void UpgradeEngine::ShowRowTransfer(uint64_t done, uint64_t total) {
  // The bytes first, so that the "%" drawn next shows the new pace.
  if (m_ListCtrl && IsListRow(m_Row)) m_ListCtrl->SetTransfer(m_Row, done, total);
  ShowRowProgress(done, total);
}

void UpgradeEngine::ForgetRowProgress() {
  for (int& value : m_LastProgress) value = -1;
}
