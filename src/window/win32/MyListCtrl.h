// The module list on a report list view (app/ListLook.h says how it looks):
// grid lines, whole-row selection, the button face outside the rows, each
// row's colour kept as its item data and given to its Status cell by custom
// draw, and columns the user cannot resize: the list refuses the start of a
// divider drag, its header keeps the cursor as it is and ignores
// double-clicks.
//
// The Check and the upgrade pass write into it from their worker threads
// through IModuleList: every call is a message sent to the list, which the
// window's thread carries out, so each change is on screen when it returns.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/ListLook.h"

// Sent to the list's parent when a worker asks for a new layout.
constexpr UINT WM_APP_LAYOUT = WM_APP + 501;

class CMyListCtrl : public IModuleList {
 public:
  CMyListCtrl() = default;
  ~CMyListCtrl() override;
  CMyListCtrl(const CMyListCtrl&) = delete;
  CMyListCtrl& operator=(const CMyListCtrl&) = delete;

  void Attach(HWND list);
  HWND Handle() const { return m_List; }

  // Window thread only.
  void InsertColumns();
  // Each column as wide as the widest of: (width basis + 2) digits "1", its
  // contents, its contents and header.
  void FitColumns();
  // The list's NM_CUSTOMDRAW: row backgrounds and the Status cell's colour.
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
  int RowCount() const;
  int ColumnWidth(int column) const;
  std::string CellText(int row, int column) const;
  std::string HeaderText(int column) const;
  uint32_t RowColour(int row) const;

  // IModuleList, from any thread.
  void DeleteAllRows() override;
  void InsertRow(int row, const std::string& typeName) override;
  void SetRowColour(int row, uint32_t colour) override;
  void SetCell(int row, int column, const std::string& text) override;
  void FitStatusColumn(const std::string& text) override;
  void Layout() override;

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK HeaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
  int TextWidth(const std::string& text) const;
  bool HasRow(int row) const { return row >= 0 && row < RowCount(); }
  void ShowNow() const;

  HWND m_List = nullptr;
  HWND m_Header = nullptr;
};
