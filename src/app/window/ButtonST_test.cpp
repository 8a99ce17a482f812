// The owner-drawn buttons, judged by the pixels they paint.
#include <QEnterEvent>
#include <QStyleFactory>

#include "app/window/ThemeHelperST.h"
#include "app/window/XPStyleButtonST.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

// The states one after another, without a visual style (the button draws
// its own edges): flat, raised while hovered, sunken with the content
// shifted while pressed; red text while hovered or pressed; a disabled
// button has a grey icon and embossed text and never lights up.
TEST(ButtonTest, EachStateDrawsItsEdgesTextAndIcon) {
  QApplication::setStyle(QStyleFactory::create("Windows"));
  EXPECT_FALSE(CThemeHelperST::IsAppThemed());
  QWidget window;
  CXPStyleButtonST button(&window);
  button.setText("&Upgrade");
  button.SetIcon(QIcon(":/icons/upgrade134.png"));
  button.SetColor(BTNST_COLOR_FG_IN, QColor(255, 0, 0));
  button.setGeometry(10, 10, 200, 50);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(button.IconRect(), QRect(3, 9, 32, 32));  // 3 pixels from the left, centred
  QImage image;
  // The pixels that pass test in the text (or the icon), and the first of them row by row.
  auto count = [&](const std::function<bool(QRgb)>& test, bool icon = false, QPoint* first = nullptr) {
    const QRect area = icon ? button.IconRect() : button.TextRect().adjusted(2, 4, -4, -4);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (test(image.pixel(x, y)) && count++ == 0 && first) *first = QPoint(x, y);
    return count;
  };
  auto enter = [&] {
    QEnterEvent event(QPointF(20, 20), QPointF(30, 30), QPointF(30, 30));
    QApplication::sendEvent(&button, &event);
  };
  const QRgb face = button.GetColor(BTNST_COLOR_BK_OUT).rgb();
  const QRgb light = button.palette().color(QPalette::Light).rgb();
  const QRgb shadow = button.palette().color(QPalette::Dark).rgb();
  const struct {
    const char* m_Name;
    std::function<void()> m_Change;
    QRgb m_Top, m_Bottom;  // the edges: top and left, bottom and right
    bool m_Red, m_Coloured;
  } states[] = {
      {"normal", [] {}, face, face, false, true},
      {"hovered", enter, light, shadow, true, true},
      {"pressed", [&] { button.setDown(true); }, shadow, light, true, true},
      {"left", [&] {
         button.setDown(false);
         QEvent leave(QEvent::Leave);
         QApplication::sendEvent(&button, &leave);
       }, face, face, false, true},
      {"disabled", [&] {
         enter();
         button.setEnabled(false);
         enter();
       }, face, face, false, false},
  };
  std::vector<QPoint> red;  // where the red text starts, hovered and pressed
  for (const auto& state : states) {
    SCOPED_TRACE(state.m_Name);
    state.m_Change();
    image = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(std::vector<QRgb>({image.pixel(5, 0), image.pixel(0, 25), image.pixel(5, 49), image.pixel(199, 25)}),
              std::vector<QRgb>({state.m_Top, state.m_Top, state.m_Bottom, state.m_Bottom}));
    QPoint first;
    EXPECT_EQ(count([](QRgb p) { return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80; }, false, &first) > 20, state.m_Red);
    EXPECT_EQ(count([](QRgb p) { return qBlue(p) > qRed(p) + 60; }, true) > 50, state.m_Coloured);
    if (state.m_Red) red.push_back(first);
  }
  ASSERT_EQ(red.size(), 2u);
  EXPECT_EQ(red[1], red[0] + QPoint(1, 1));
  EXPECT_FALSE(button.IsHovered());
  // Embossed: a highlight copy beside the shadow-coloured text.
  for (const QPalette::ColorRole role : {QPalette::Light, QPalette::Dark})
    EXPECT_GT(count([&](QRgb p) { return p == button.palette().color(QPalette::Disabled, role).rgb(); }), 10) << role;
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  EXPECT_TRUE(CThemeHelperST::IsAppThemed());
}

}  // namespace windowtest
