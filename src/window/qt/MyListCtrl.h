// The module list: a report view of five columns ("Type", "Current Version",
// "Upgrade Version", "%", "Status") with grid lines, whole-row selection,
// alternating row backgrounds and columns the user cannot resize. Each row
// keeps one colour, in which only its Status cell is drawn.
//
// The Check and the upgrade pass write into it from their worker threads
// through IModuleList; every such call is carried out on the window's thread
// and returns only when the change is on screen.
#pragma once

#include <QColor>
#include <QTableWidget>
#include <functional>

#include "app/ListLook.h"

class CMyListCtrl : public QTableWidget, public IModuleList {
  Q_OBJECT

 public:
  explicit CMyListCtrl(QWidget* parent = nullptr);

  // IModuleList, from any thread.
  void DeleteAllRows() override;
  void InsertRow(int row, const std::string& typeName) override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetRowColour(int row, uint32_t colour) override;
  void FitStatusColumn(const std::string& text) override;
  void Layout() override;

  // Window thread only.
  void InsertColumns();
  // Each column as wide as the widest of: (width basis + 2) digits "1", its
  // contents, its contents and header.
  void FitColumns();
  QString CellText(int row, int column) const;
  uint32_t RowColour(int row) const;
  // The colour the Status cell of row is drawn in.
  QColor StatusColour(int row) const;
  static QColor RowBackgroundColour(int row);
  QColor ToQColor(uint32_t colour) const;

  // Called (on the window's thread) when a worker asks for a new layout.
  std::function<void()> m_OnLayout;

 private:
  bool HasRow(int row) const { return row >= 0 && row < rowCount(); }
  void ShowNow();
};
