// The module list: calls from a worker thread, the widening Status column
// and the colour of the Status cell.
#include <thread>

#include "window/qt/MyListCtrl.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

// Every change a worker makes is on screen when its call returns. A status
// wider than its column widens it, never narrows it; a row's colour is only
// its Status cell's.
TEST(ListTest, WorkerCallsColoursAndColumns) {
  CMyListCtrl list;
  list.InsertColumns();
  list.show();
  const std::string wide(60, 'W');
  int stale = 0;  // cells not yet showing what a worker set
  std::thread worker([&] {
    for (int row = 0; row < 2; ++row) list.InsertRow(row, "row");
    for (int percent = 1; percent <= 20; ++percent) {
      list.SetCell(1, COL_PERCENT, std::to_string(percent) + "%");
      QMetaObject::invokeMethod(&list, [&] { stale += list.CellText(1, COL_PERCENT) != QString("%1%").arg(percent); },
                                Qt::BlockingQueuedConnection);
    }
    list.FitStatusColumn(wide);
    list.FitStatusColumn("short");
    list.SetCell(99, COL_STATUS, "ignored");
    list.SetRowColour(1, COLOUR_RED);
  });
  EXPECT_TRUE(WaitFor([&] { return list.StatusColour(1) == Qt::red; }, 10000));
  worker.join();
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(list.StatusColour(0), Qt::black);
  EXPECT_EQ(list.item(1, COL_TYPE)->foreground(), list.item(0, COL_TYPE)->foreground());
  EXPECT_EQ(list.columnWidth(COL_STATUS), QFontMetrics(list.font()).horizontalAdvance(QString::fromStdString(wide) + "..."));
}

}  // namespace windowtest
