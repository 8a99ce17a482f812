// The window's layout arithmetic, alone and applied to a real window.
#include <QHeaderView>

#include "app/window/DialogLayout.h"
#include "app/window/WindowTestSupport.h"

namespace windowtest {
namespace {

TEST(DialogLayoutTest, ButtonsSpreadByGapAndListFillsTheRest) {
  const DialogLayout wide = ComputeDialogLayout(QSize(1000, 500));
  EXPECT_EQ(wide.m_Gap, 200);
  EXPECT_EQ(wide.m_Check, QRect(200, 6, 200, 50));
  EXPECT_EQ(wide.m_Upgrade, QRect(600, 6, 200, 50));
  EXPECT_EQ(wide.m_List, QRect(10, 62, 980, 432));

  // (W - 400) / 3 truncates.
  const DialogLayout odd = ComputeDialogLayout(QSize(801, 300));
  EXPECT_EQ(odd.m_Gap, 133);
  EXPECT_EQ(odd.m_Upgrade.left(), 466);
  EXPECT_EQ(odd.m_List.size(), QSize(781, 232));
}

TEST(DialogLayoutTest, SmallClientIsRaisedToTheMinimumTrackSize) {
  const QSize minimum = MinimumTrackSize();
  EXPECT_GT(minimum.width(), MIN_CLIENT_WIDTH);
  EXPECT_GT(minimum.height(), MIN_CLIENT_HEIGHT);
  EXPECT_EQ(LayoutSize(QSize(0, 0), minimum), minimum);  // minimised
  EXPECT_EQ(LayoutSize(QSize(900, 10), minimum), QSize(900, minimum.height()));
  EXPECT_EQ(LayoutSize(QSize(10, 700), minimum), QSize(minimum.width(), 700));
  const DialogLayout smallest = ComputeDialogLayout(LayoutSize(QSize(0, 0), minimum));
  EXPECT_GT(smallest.m_Gap, 0);
  EXPECT_GT(smallest.m_List.height(), 0);
  EXPECT_EQ(smallest.m_Check.height(), 50);
}

class DialogResizeTest : public WindowFixture {};

TEST_F(DialogResizeTest, ControlsFollowTheWindowSize) {
  CQelOneClickDlg& dialog = OpenDialog();
  EXPECT_EQ(dialog.minimumSize(), QSize(MIN_CLIENT_WIDTH, MIN_CLIENT_HEIGHT));
  for (const QSize size : {QSize(700, 300), QSize(1024, 600), QSize(433, 80)}) {
    dialog.resize(size);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialog.size(), size);
    const DialogLayout expected = ComputeDialogLayout(LayoutSize(size, MinimumTrackSize()));
    EXPECT_EQ(dialog.StoredLayoutSize(), LayoutSize(size, MinimumTrackSize()));
    EXPECT_EQ(dialog.CheckButton().geometry(), expected.m_Check) << size.width();
    EXPECT_EQ(dialog.UpgradeButton().geometry(), expected.m_Upgrade) << size.width();
    EXPECT_EQ(dialog.List().geometry(), expected.m_List) << size.width();
    EXPECT_EQ(dialog.CheckButton().height(), 50);
  }
}

TEST_F(DialogResizeTest, ColumnsAreAtLeastTheirWidthBasis) {
  CQelOneClickDlg& dialog = OpenDialog();
  const QFontMetrics metrics(dialog.List().font());
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
    const int basis = metrics.horizontalAdvance(QString(LIST_COLUMNS[column].m_WidthBasis + 2, '1'));
    EXPECT_GE(dialog.List().columnWidth(column), basis) << column;
    EXPECT_GE(dialog.List().columnWidth(column), dialog.List().horizontalHeader()->sectionSizeHint(column));
  }
  // Contents wider than the basis widen their column at the next layout.
  dialog.List().InsertRow(0, std::string(60, 'W'));
  dialog.LayoutControls();
  EXPECT_GE(dialog.List().columnWidth(COL_TYPE), metrics.horizontalAdvance(QString(60, 'W')));
}

}  // namespace
}  // namespace windowtest
