// The module list: the progress cell, the widening Status column, fixed
// columns, and updates made from a worker thread.
#include <QHeaderView>
#include <thread>

#include "app/window/MyListCtrl.h"
#include "engine/UpgradeEngine.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_List.InsertColumns();
    m_List.show();
    for (int row = 0; row < MODULE_COUNT; ++row) m_List.InsertRow(row, ModuleTypeName(static_cast<ModuleKind>(row)));
    m_List.FitColumns();
  }
  CMyListCtrl m_List;
  UpgradeEngine m_Engine{&m_List};
};

// A repeated percentage is not written again; a status wider than its
// column widens it at once, never narrows it, and colours only its cell.
TEST_F(ListTest, RowDisplayOperations) {
  m_Engine.m_Row = MODULE_APP;
  m_Engine.ShowRowProgress(45);
  m_List.item(MODULE_APP, COL_PERCENT)->setText("marker");
  m_Engine.ShowRowProgress(45);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_PERCENT), "marker");
  m_Engine.ShowRowProgress(46);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_PERCENT), "46%");

  const std::string text = "Returning the upgrading result of the router module timed out, twice over and again";
  const int wide = QFontMetrics(m_List.font()).horizontalAdvance(QString::fromStdString(text) + "...");
  ASSERT_GT(wide, m_List.columnWidth(COL_STATUS));
  m_Engine.ShowRowStatus(text, COLOUR_RED);
  EXPECT_EQ(m_List.columnWidth(COL_STATUS), wide);
  EXPECT_EQ(m_List.StatusColour(MODULE_APP), QColor(255, 0, 0));
  EXPECT_NE(m_List.item(MODULE_APP, COL_TYPE)->foreground().color(), QColor(255, 0, 0));
  m_Engine.ShowRowStatus("short", COLOUR_BLUE);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_STATUS), "short");
  EXPECT_EQ(m_List.columnWidth(COL_STATUS), wide);
  m_Engine.m_Row = MODULE_NONE;  // no row changes, the column may still widen
  m_Engine.ShowRowStatus(text + text, COLOUR_RED);
  EXPECT_GT(m_List.columnWidth(COL_STATUS), wide);
  EXPECT_EQ(m_List.CellText(MODULE_APP, COL_STATUS), "short");
}

TEST_F(ListTest, UserCannotResizeColumns) {
  QHeaderView* header = m_List.horizontalHeader();
  const int before = m_List.columnWidth(COL_CURRENT);
  const QPoint divider(header->sectionViewportPosition(COL_CURRENT) + before - 1, header->height() / 2);
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, divider);
  QTest::mouseMove(header->viewport(), divider + QPoint(80, 0));
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, divider + QPoint(80, 0));
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, divider);
  EXPECT_EQ(m_List.columnWidth(COL_CURRENT), before);
  EXPECT_EQ(header->cursor().shape(), Qt::ArrowCursor);
}

// Every change a worker makes is on screen when its call returns.
TEST_F(ListTest, WorkerUpdatesAreDoneBeforeTheCallReturns) {
  QStringList seen, expected;
  std::thread worker([&] {
    for (int percent = 1; percent <= 20; ++percent) {
      m_List.SetCell(MODULE_DASHBOARD, COL_PERCENT, std::to_string(percent) + "%");
      QMetaObject::invokeMethod(&m_List, [&] { seen << m_List.CellText(MODULE_DASHBOARD, COL_PERCENT); },
                                Qt::BlockingQueuedConnection);
    }
    m_List.SetCell(99, COL_STATUS, "ignored");
    m_List.DeleteAllRows();
  });
  ASSERT_TRUE(WaitFor([&] { return seen.size() == 20 && m_List.rowCount() == 0; }, 5000));
  worker.join();
  for (int i = 1; i <= 20; ++i) expected << QString("%1%").arg(i);
  EXPECT_EQ(seen, expected);
}

}  // namespace windowtest
