// The module list: rows, colours, the progress cell, the widening Status
// column, fixed columns, and updates made from a worker thread.
#include <QHeaderView>
#include <thread>

#include "app/window/MyHeaderCtrl.h"
#include "app/window/MyListCtrl.h"
#include "app/window/WindowTestSupport.h"
#include "engine/UpgradeEngine.h"

namespace windowtest {
namespace {

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_List.InsertColumns();
    m_List.resize(700, 200);
    m_List.show();
    for (int row = 0; row < MODULE_COUNT; ++row) m_List.InsertRow(row, ModuleTypeName(static_cast<ModuleKind>(row)));
    m_List.FitColumns();
  }
  CMyListCtrl m_List;
};

TEST_F(ListTest, RowsAlternateBackgroundsAndOnlyStatusTakesTheRowColour) {
  for (int row = 0; row < MODULE_COUNT; ++row) {
    const QColor expected = row % 2 == 0 ? QColor(240, 247, 249) : QColor(229, 232, 239);
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column)
      EXPECT_EQ(m_List.item(row, column)->background().color(), expected) << row << "," << column;
  }
  m_List.SetRowColour(2, COLOUR_RED);
  EXPECT_EQ(m_List.RowColour(2), COLOUR_RED);
  EXPECT_EQ(m_List.StatusColour(2), QColor(255, 0, 0));
  EXPECT_NE(m_List.item(2, COL_TYPE)->foreground().color(), QColor(255, 0, 0));
  m_List.SetRowColour(3, COLOUR_GREY_TEXT);
  EXPECT_EQ(m_List.StatusColour(3), m_List.palette().color(QPalette::Disabled, QPalette::Text));
  m_List.SetRowColour(4, 0x123456);
  EXPECT_EQ(m_List.StatusColour(4), QColor(0x12, 0x34, 0x56));
  // Outside the rows the list shows the button face.
  EXPECT_EQ(m_List.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
}

TEST_F(ListTest, ReportViewLooksAndSelectsWholeRows) {
  EXPECT_TRUE(m_List.showGrid());
  EXPECT_EQ(m_List.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(m_List.verticalHeader()->isVisible());
  EXPECT_EQ(m_List.item(0, COL_TYPE)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  EXPECT_EQ(m_List.item(0, COL_CURRENT)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(m_List.item(0, COL_STATUS)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  QTest::mouseClick(m_List.viewport(), Qt::LeftButton, {}, m_List.visualItemRect(m_List.item(1, COL_PERCENT)).center());
  EXPECT_EQ(m_List.selectionModel()->selectedIndexes().size(), LIST_COLUMN_COUNT);
  EXPECT_FALSE(m_List.item(1, COL_TYPE)->flags() & Qt::ItemIsEditable);
}

TEST_F(ListTest, UserCannotResizeColumns) {
  QHeaderView* header = m_List.horizontalHeader();
  ASSERT_NE(qobject_cast<CMyHeaderCtrl*>(header), nullptr);
  const int before = m_List.columnWidth(COL_CURRENT);
  const int divider = header->sectionViewportPosition(COL_CURRENT) + header->sectionSize(COL_CURRENT) - 1;
  const QPoint start(divider, header->height() / 2);
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, start);
  QTest::mouseMove(header->viewport(), start + QPoint(80, 0));
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, start + QPoint(80, 0));
  EXPECT_EQ(m_List.columnWidth(COL_CURRENT), before);
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, start);
  EXPECT_EQ(m_List.columnWidth(COL_CURRENT), before);
  EXPECT_EQ(header->cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(header->sectionsClickable());
}

TEST_F(ListTest, ProgressCellIsWrittenOnlyWhenTheValueChanges) {
  UpgradeEngine engine(&m_List);
  engine.m_Row = MODULE_FIRMWARE;
  engine.ShowRowProgress(45);
  EXPECT_EQ(m_List.CellText(MODULE_FIRMWARE, COL_PERCENT), "45%");
  m_List.item(MODULE_FIRMWARE, COL_PERCENT)->setText("marker");
  engine.ShowRowProgress(45);
  EXPECT_EQ(m_List.CellText(MODULE_FIRMWARE, COL_PERCENT), "marker");
  engine.ShowRowProgress(100);
  EXPECT_EQ(m_List.CellText(MODULE_FIRMWARE, COL_PERCENT), "100%");
  EXPECT_EQ(m_List.CellText(MODULE_DASHBOARD, COL_PERCENT), "");
}

TEST_F(ListTest, StatusColumnWidensForLongTextAndNeverNarrows) {
  UpgradeEngine engine(&m_List);
  engine.m_Row = MODULE_APP;
  const int start = m_List.columnWidth(COL_STATUS);
  const std::string text = "Returning the upgrading result of the router module timed out, twice over and again";
  engine.ShowRowStatus(text, COLOUR_BLACK);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_STATUS), QString::fromStdString(text));
  const int wide = QFontMetrics(m_List.font()).horizontalAdvance(QString::fromStdString(text) + "...");
  ASSERT_GT(wide, start);
  EXPECT_EQ(m_List.columnWidth(COL_STATUS), wide);
  engine.ShowRowStatus("short", COLOUR_BLUE);
  EXPECT_EQ(m_List.columnWidth(COL_STATUS), wide);
  EXPECT_EQ(m_List.StatusColour(MODULE_APP), QColor(0, 0, 255));
  // No row: nothing changes in the rows, the column may still widen.
  engine.m_Row = MODULE_NONE;
  engine.ShowRowStatus(text + text, COLOUR_RED);
  EXPECT_GT(m_List.columnWidth(COL_STATUS), wide);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_STATUS), "short");
}

TEST_F(ListTest, WorkerUpdatesAreDoneBeforeTheCallReturns) {
  std::atomic<bool> done{false};
  QStringList seen;
  std::thread worker([&] {
    for (int percent = 1; percent <= 20; ++percent) {
      m_List.SetCell(MODULE_DASHBOARD, COL_PERCENT, std::to_string(percent) + "%");
      // Read back on the window's thread: the value must already be there.
      QString now;
      QMetaObject::invokeMethod(&m_List, [&] { now = m_List.CellText(MODULE_DASHBOARD, COL_PERCENT); },
                                Qt::BlockingQueuedConnection);
      seen << now;
    }
    m_List.SetCell(99, COL_STATUS, "ignored");
    m_List.DeleteAllRows();
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
  worker.join();
  ASSERT_EQ(seen.size(), 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(seen[i], QString("%1%").arg(i + 1));
  EXPECT_EQ(m_List.rowCount(), 0);
}

}  // namespace
}  // namespace windowtest
