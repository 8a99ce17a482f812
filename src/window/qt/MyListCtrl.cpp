#include "window/qt/MyListCtrl.h"

#include <QFontMetrics>
#include <QHeaderView>

#include "window/qt/GuiThread.h"
#include "window/qt/MyHeaderCtrl.h"

namespace {

constexpr int COLOUR_ROLE = Qt::UserRole + 1;

QColor FromRgb(uint32_t colour) { return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF); }

Qt::Alignment ToQtAlignment(ColumnAlignment alignment) {
  return (alignment == ALIGN_CENTRE ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

CMyListCtrl::CMyListCtrl(QWidget* parent) : QTableWidget(parent) {
  setHorizontalHeader(new CMyHeaderCtrl(this));
  verticalHeader()->hide();
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setSortingEnabled(false);
  setFrameShape(QFrame::StyledPanel);
  // Outside the rows the list shows the button face.
  QPalette colours = palette();
  colours.setColor(QPalette::Base, colours.color(QPalette::Button));
  setPalette(colours);
}

void CMyListCtrl::InsertColumns() {
  setUpdatesEnabled(false);
  setColumnCount(LIST_COLUMN_COUNT);
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
    auto* header = new QTableWidgetItem(LoadStringId(LIST_COLUMNS[column].m_HeaderId));
    header->setTextAlignment(ToQtAlignment(LIST_COLUMNS[column].m_Alignment));
    setHorizontalHeaderItem(column, header);
  }
  setUpdatesEnabled(true);
}

void CMyListCtrl::FitColumns() {
  const QFontMetrics metrics(font());
  for (int column = 0; column < columnCount(); ++column) {
    const int basis = metrics.horizontalAdvance(QString::fromStdString(ColumnWidthSample(column)));
    const int contents = sizeHintForColumn(column);
    const int withHeader = std::max(contents, horizontalHeader()->sectionSizeHint(column));
    setColumnWidth(column, std::max({basis, contents, withHeader}));
  }
}

QColor CMyListCtrl::RowBackgroundColour(int row) { return FromRgb(RowBackground(row)); }

QColor CMyListCtrl::ToQColor(uint32_t colour) const {
  const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
  return FromRgb(CellTextColour(COL_STATUS, colour, grey.rgb() & 0xFFFFFF));
}

void CMyListCtrl::DeleteAllRows() {
  RunOnGuiThread(this, [this] {
    setRowCount(0);
    ShowNow();
  });
}

void CMyListCtrl::InsertRow(int row, const std::string& typeName) {
  RunOnGuiThread(this, [this, row, typeName] {
    if (row < 0 || row > rowCount()) return;
    insertRow(row);
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
      auto* item = new QTableWidgetItem(column == COL_TYPE ? QString::fromStdString(typeName) : QString());
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      item->setTextAlignment(ToQtAlignment(LIST_COLUMNS[column].m_Alignment));
      setItem(row, column, item);
    }
    item(row, COL_STATUS)->setData(COLOUR_ROLE, QVariant::fromValue<uint>(COLOUR_BLACK));
    item(row, COL_STATUS)->setForeground(ToQColor(COLOUR_BLACK));
    // Rows below an inserted one change parity.
    for (int r = row; r < rowCount(); ++r)
      for (int column = 0; column < LIST_COLUMN_COUNT; ++column) item(r, column)->setBackground(RowBackgroundColour(r));
    ShowNow();
  });
}

void CMyListCtrl::SetCell(int row, int column, const std::string& text) {
  RunOnGuiThread(this, [this, row, column, text] {
    if (!HasRow(row) || column < 0 || column >= LIST_COLUMN_COUNT) return;
    item(row, column)->setText(QString::fromStdString(text));
    ShowNow();
  });
}

void CMyListCtrl::SetRowColour(int row, uint32_t colour) {
  RunOnGuiThread(this, [this, row, colour] {
    if (!HasRow(row)) return;
    QTableWidgetItem* status = item(row, COL_STATUS);
    status->setData(COLOUR_ROLE, QVariant::fromValue<uint>(colour));
    status->setForeground(ToQColor(colour));
    ShowNow();
  });
}

void CMyListCtrl::FitStatusColumn(const std::string& text) {
  RunOnGuiThread(this, [this, text] {
    const int wanted = QFontMetrics(font()).horizontalAdvance(QString::fromStdString(text + STATUS_MEASURE_TAIL));
    if (wanted > columnWidth(COL_STATUS)) setColumnWidth(COL_STATUS, wanted);
  });
}

void CMyListCtrl::Layout() {
  RunOnGuiThread(this, [this] {
    if (m_OnLayout) m_OnLayout();
  });
}

QString CMyListCtrl::CellText(int row, int column) const {
  const QTableWidgetItem* cell = HasRow(row) ? item(row, column) : nullptr;
  return cell ? cell->text() : QString();
}

uint32_t CMyListCtrl::RowColour(int row) const {
  if (!HasRow(row)) return COLOUR_BLACK;
  return item(row, COL_STATUS)->data(COLOUR_ROLE).toUInt();
}

QColor CMyListCtrl::StatusColour(int row) const {
  if (!HasRow(row)) return QColor();
  return item(row, COL_STATUS)->foreground().color();
}

void CMyListCtrl::ShowNow() {
  // Painted before the worker that asked goes on to its next step.
  if (isVisible()) viewport()->repaint();
}
