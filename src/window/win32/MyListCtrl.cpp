#include "window/win32/MyListCtrl.h"

#include <algorithm>

#include "platform/win32/WideText.h"

namespace {

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

uint32_t FromColorRef(COLORREF colour) {
  return (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

}  // namespace

CMyListCtrl::~CMyListCtrl() {
  if (m_List) RemoveWindowSubclass(m_List, ListProc, 0);
  if (m_Header) RemoveWindowSubclass(m_Header, HeaderProc, 0);
}

void CMyListCtrl::Attach(HWND list) {
  m_List = list;
  m_Header = ListView_GetHeader(list);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  ListView_SetBkColor(list, GetSysColor(COLOR_BTNFACE));
  SetWindowSubclass(list, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
  if (m_Header) SetWindowSubclass(m_Header, HeaderProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void CMyListCtrl::InsertColumns() {
  SendMessageW(m_List, WM_SETREDRAW, FALSE, 0);
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
    std::wstring title = WideFromUtf8(LoadStringId(LIST_COLUMNS[column].m_HeaderId));
    LVCOLUMNW info = {};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    info.fmt = LIST_COLUMNS[column].m_Alignment == ALIGN_CENTRE ? LVCFMT_CENTER : LVCFMT_LEFT;
    info.pszText = title.data();
    info.iSubItem = column;
    SendMessageW(m_List, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
  }
  SendMessageW(m_List, WM_SETREDRAW, TRUE, 0);
}

int CMyListCtrl::TextWidth(const std::string& text) const {
  const std::wstring wide = WideFromUtf8(text);
  return static_cast<int>(SendMessageW(m_List, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

void CMyListCtrl::FitColumns() {
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
    int width = TextWidth(ColumnWidthSample(column));
    for (int fit : {LVSCW_AUTOSIZE, LVSCW_AUTOSIZE_USEHEADER}) {
      ListView_SetColumnWidth(m_List, column, fit);
      width = std::max(width, ColumnWidth(column));
    }
    ListView_SetColumnWidth(m_List, column, width);
  }
}

int CMyListCtrl::RowCount() const { return static_cast<int>(SendMessageW(m_List, LVM_GETITEMCOUNT, 0, 0)); }

int CMyListCtrl::ColumnWidth(int column) const { return ListView_GetColumnWidth(m_List, column); }

void CMyListCtrl::ShowNow() const { UpdateWindow(m_List); }

void CMyListCtrl::DeleteAllRows() {
  SendMessageW(m_List, LVM_DELETEALLITEMS, 0, 0);
  ShowNow();
}

void CMyListCtrl::InsertRow(int row, const std::string& typeName) {
  std::wstring text = WideFromUtf8(typeName);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = text.data();
  item.lParam = COLOUR_BLACK;
  SendMessageW(m_List, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  ShowNow();
}

void CMyListCtrl::SetCell(int row, int column, const std::string& text) {
  if (!HasRow(row) || column < 0 || column >= LIST_COLUMN_COUNT) return;
  std::wstring wide = WideFromUtf8(text);
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(m_List, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  ShowNow();
}

void CMyListCtrl::SetRowColour(int row, uint32_t colour) {
  if (!HasRow(row)) return;
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = static_cast<LPARAM>(colour);
  SendMessageW(m_List, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SendMessageW(m_List, LVM_REDRAWITEMS, row, row);
  ShowNow();
}

void CMyListCtrl::FitStatusColumn(const std::string& text) {
  const int wanted = TextWidth(text + STATUS_MEASURE_TAIL);
  if (wanted > ColumnWidth(COL_STATUS)) ListView_SetColumnWidth(m_List, COL_STATUS, wanted);
}

void CMyListCtrl::Layout() { SendMessageW(GetParent(m_List), WM_APP_LAYOUT, 0, 0); }

std::string CMyListCtrl::CellText(int row, int column) const {
  wchar_t buffer[512] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  const LRESULT length = SendMessageW(m_List, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return Utf8FromWide(buffer, static_cast<size_t>(length));
}

std::string CMyListCtrl::HeaderText(int column) const {
  wchar_t buffer[128] = {};
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = buffer;
  info.cchTextMax = static_cast<int>(std::size(buffer));
  SendMessageW(m_List, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
  return Utf8FromWide(std::wstring(buffer));
}

uint32_t CMyListCtrl::RowColour(int row) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageW(m_List, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<uint32_t>(item.lParam);
}

LRESULT CMyListCtrl::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const uint32_t rowColour = static_cast<uint32_t>(draw.nmcd.lItemlParam);
      draw.clrTextBk = ToColorRef(RowBackground(static_cast<int>(draw.nmcd.dwItemSpec)));
      draw.clrText = ToColorRef(CellTextColour(draw.iSubItem, rowColour, FromColorRef(GetSysColor(COLOR_GRAYTEXT))));
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT CALLBACK CMyListCtrl::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_NOTIFY) {
    switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
      case HDN_BEGINTRACKA:
      case HDN_BEGINTRACKW:
        return TRUE;  // no divider drag
      case HDN_DIVIDERDBLCLICKA:
      case HDN_DIVIDERDBLCLICKW:
        return 0;  // which would fit the column to its contents
      default:
        break;
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK CMyListCtrl::HeaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR) {
  if (message == WM_SETCURSOR) return TRUE;  // no sizing cursor
  if (message == WM_LBUTTONDBLCLK) return 0;
  return DefSubclassProc(window, message, wParam, lParam);
}
