// The owner-drawn buttons, judged by the pixels they paint.
#include <QEnterEvent>
#include <QStyleFactory>

#include "window/qt/ThemeHelperST.h"
#include "window/qt/XPStyleButtonST.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

// The states one after another, without a visual style (the button draws
// its own edges): flat, raised while hovered, sunken with the content
// shifted while pressed; red text while hovered or pressed; a disabled
// button has a grey icon and embossed text and never lights up.
TEST(ButtonTest, EachStateDrawsItsEdgesTextAndIcon) {
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QWidget window;  // the button away from the pointer at its corner
  CXPStyleButtonST button(&window);
  button.setText("&Upgrade");
  button.SetIcon(QIcon(":/icons/upgrade134.png"));
  button.SetColor(BTNST_COLOR_FG_IN, QColor(255, 0, 0));
  button.setGeometry(10, 10, 200, 50);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(button.IconRect(), QRect(3, 9, 32, 32));  // 3 pixels from the left, centred
  const QPalette colours = button.palette();
  const QRect text = button.TextRect().adjusted(2, 4, -4, -4);
  QPoint hovered;  // where the red text starts while hovered
  // A state's look: its edges (top, left, bottom, right: "L" light, "D"
  // dark, "-" the face), "red" text (shifted by "+1" from where it starts
  // while hovered), a coloured "icon", an "embossed" text.
  auto look = [&] {
    const QImage image = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QString edges;
    for (const QPoint& at : {QPoint(5, 0), QPoint(0, 25), QPoint(5, 49), QPoint(199, 25)})
      edges += image.pixel(at) == colours.color(QPalette::Light).rgb()  ? 'L'
               : image.pixel(at) == colours.color(QPalette::Dark).rgb() ? 'D'
               : image.pixel(at) == button.GetColor(BTNST_COLOR_BK_OUT).rgb() ? '-' : '?';
    int red = 0, coloured = 0, light = 0, dark = 0;
    QPoint first;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 200; ++x) {
        const QRgb p = image.pixel(x, y);
        coloured += button.IconRect().contains(x, y) && qBlue(p) > qRed(p) + 60;
        if (!text.contains(x, y)) continue;
        if (qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80 && red++ == 0) first = {x, y};
        light += p == colours.color(QPalette::Disabled, QPalette::Light).rgb();
        dark += p == colours.color(QPalette::Disabled, QPalette::Dark).rgb();
      }
    if (red > 20 && hovered.isNull()) hovered = first;
    return edges + (red <= 20 ? "" : first == hovered ? " red" : first == hovered + QPoint(1, 1) ? " red+1" : " red?") +
           (coloured > 50 ? " icon" : "") + (light > 10 && dark > 10 ? " embossed" : "");
  };
  QEnterEvent enter(QPointF(20, 20), QPointF(30, 30), QPointF(30, 30));
  QEvent leave(QEvent::Leave);
  auto send = [&](QEvent& event) { QApplication::sendEvent(&button, &event); };
  QStringList looks;
  for (const auto& change : std::vector<std::function<void()>>{
           [] {}, [&] { send(enter); }, [&] { button.setDown(true); }, [&] { button.setDown(false), send(leave); },
           [&] { send(enter), button.setEnabled(false), send(enter); }})
    change(), looks << look();
  EXPECT_EQ(looks, QStringList({"---- icon", "LLDD red icon", "DDLL red+1 icon", "---- icon", "---- embossed"}));
  EXPECT_FALSE(button.IsHovered());
  EXPECT_FALSE(CThemeHelperST::IsAppThemed());
  QApplication::setStyle(QStyleFactory::create("Fusion"));
}

}  // namespace windowtest
