// What both windows draw by: the layout and the button's content at a
// screen's DPI, the title, the colours of the list's cells.
#include <gtest/gtest.h>

#include "app/ButtonLook.h"
#include "app/ListLook.h"
#include "app/WindowNames.h"

namespace {

// At 96 DPI the figures as they are; at 144 half as large again, so the
// window looks the same size on a denser screen. The gap is what is left.
TEST(WindowLookTest, LayoutAndButtonContentGrowWithTheDpi) {
  struct Case {
    int m_Dpi;
    LayoutSize m_Track;
    DialogLayout m_Layout;
    ButtonContent m_Pressed;
  };
  const Case cases[] = {
      {96, {438, 90}, {100, {100, 6, 200, 50}, {400, 6, 200, 50}, {10, 62, 680, 232}}, {{4, 10, 32, 32}, {36, 1, 165, 50}}},
      {144, {653, 121}, {33, {33, 9, 300, 75}, {366, 9, 300, 75}, {15, 93, 670, 198}}, {{6, 10, 32, 32}, {38, 1, 163, 50}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MinimumTrackSize(4, 4, 20, c.m_Dpi), c.m_Track) << c.m_Dpi;
    const DialogLayout layout = ComputeDialogLayout({700, 300}, c.m_Dpi);
    EXPECT_EQ(layout.m_Gap, c.m_Layout.m_Gap) << c.m_Dpi;
    EXPECT_EQ(std::vector<LayoutRect>({layout.m_Check, layout.m_Upgrade, layout.m_List}),
              std::vector<LayoutRect>({c.m_Layout.m_Check, c.m_Layout.m_Upgrade, c.m_Layout.m_List}));
    const ButtonContent content = ButtonContentOf(200, 50, 32, 32, true, c.m_Dpi);
    EXPECT_EQ(content.m_Icon, c.m_Pressed.m_Icon) << c.m_Dpi;
    EXPECT_EQ(content.m_Text, c.m_Pressed.m_Text) << c.m_Dpi;
  }
  EXPECT_EQ(ClampLayoutSize({0, 0}, {438, 90}), (LayoutSize{438, 90}));
  EXPECT_EQ(ComposeWindowTitle("QEL Upgrade", ""), "QEL Upgrade - Press F1 for Help");
}

// Only the Status cell takes its row's colour; grey is the system's own.
TEST(WindowLookTest, OnlyTheStatusCellTakesTheRowsColour) {
  const uint32_t systemGrey = 0x6D6D6D;
  for (const uint32_t colour : {COLOUR_BLACK, COLOUR_BLUE, COLOUR_RED}) {
    EXPECT_EQ(CellTextColour(COL_STATUS, colour, systemGrey), colour) << colour;
    EXPECT_EQ(CellTextColour(COL_TYPE, colour, systemGrey), COLOUR_BLACK) << colour;
  }
  EXPECT_EQ(CellTextColour(COL_STATUS, COLOUR_GREY_TEXT, systemGrey), systemGrey);
  EXPECT_EQ(CellTextColour(COL_PERCENT, COLOUR_GREY_TEXT, systemGrey), COLOUR_BLACK);
}

}  // namespace
