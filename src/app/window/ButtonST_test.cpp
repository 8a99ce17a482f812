// The owner-drawn buttons, judged by the pixels they paint.
#include <QEnterEvent>
#include <QStyleFactory>

#include "app/window/ThemeHelperST.h"
#include "app/window/WindowTestSupport.h"
#include "app/window/XPStyleButtonST.h"

namespace windowtest {
namespace {

bool IsRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80; }
bool IsBlueish(QRgb pixel) { return qBlue(pixel) > qRed(pixel) + 60; }
bool IsDark(QRgb pixel) { return qGray(pixel) < 90; }

int Count(const QImage& image, const QRect& area, bool (*test)(QRgb)) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) count += test(image.pixel(x, y));
  return count;
}

// Top-left corner of the dark (text) pixels inside area.
QPoint DarkOrigin(const QImage& image, const QRect& area) {
  QPoint origin(INT_MAX, INT_MAX);
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (IsDark(image.pixel(x, y))) origin = QPoint(std::min(origin.x(), x), std::min(origin.y(), y));
  return origin;
}

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Button = new CXPStyleButtonST(&m_Window);
    m_Button->setText("&Upgrade");
    m_Button->SetIcon(QIcon(":/icons/upgrade134.png"));
    m_Button->SetColor(BTNST_COLOR_FG_IN, QColor(255, 0, 0));
    m_Button->setGeometry(10, 10, 200, 50);
    m_Window.resize(300, 100);
    m_Window.show();
    m_Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_Window));
  }

  void Enter() {
    QEnterEvent enter(QPointF(20, 20), QPointF(30, 30), QPointF(30, 30));
    QApplication::sendEvent(m_Button, &enter);
  }
  void Leave() {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(m_Button, &leave);
  }
  QImage Shot() { return m_Button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  QRect TextArea() const { return m_Button->TextRect().adjusted(2, 4, -4, -4); }

  QWidget m_Window;
  CXPStyleButtonST* m_Button = nullptr;
};

TEST_F(ButtonTest, IconSitsThreePixelsFromTheLeftAndTextIsCentredInTheRest) {
  EXPECT_EQ(m_Button->IconRect(), QRect(3, 9, 32, 32));
  EXPECT_EQ(m_Button->TextRect(), QRect(35, 0, 165, 50));
  const QImage image = Shot();
  EXPECT_GT(Count(image, m_Button->IconRect(), IsBlueish), 50);
  EXPECT_GT(Count(image, TextArea(), IsDark), 20);
}

TEST_F(ButtonTest, TextTurnsRedWhileHoveredAndBackWhenTheMouseLeaves) {
  EXPECT_EQ(Count(Shot(), TextArea(), IsRed), 0);
  Enter();
  ASSERT_TRUE(m_Button->IsHovered());
  EXPECT_GT(Count(Shot(), TextArea(), IsRed), 20);
  Leave();
  EXPECT_FALSE(m_Button->IsHovered());
  EXPECT_EQ(Count(Shot(), TextArea(), IsRed), 0);
  // Losing the focus or being disabled also ends the hover.
  Enter();
  m_Button->setEnabled(false);
  EXPECT_FALSE(m_Button->IsHovered());
}

TEST_F(ButtonTest, DisabledButtonIsGreyEmbossedAndNeverRed) {
  m_Button->setEnabled(false);
  Enter();
  EXPECT_FALSE(m_Button->IsHovered());
  const QImage image = Shot();
  EXPECT_EQ(Count(image, TextArea(), IsRed), 0);
  EXPECT_EQ(Count(image, m_Button->IconRect(), IsBlueish), 0);  // icon greyed
  // Embossed: the text in the shadow colour, with a highlight copy beside it.
  const QColor light = m_Button->palette().color(QPalette::Light);
  const QColor shadow = m_Button->palette().color(QPalette::Dark);
  int lights = 0, shadows = 0;
  for (int y = TextArea().top(); y <= TextArea().bottom(); ++y)
    for (int x = TextArea().left(); x <= TextArea().right(); ++x) {
      lights += image.pixel(x, y) == light.rgb();
      shadows += image.pixel(x, y) == shadow.rgb();
    }
  EXPECT_GT(lights, 10);
  EXPECT_GT(shadows, 10);
}

TEST_F(ButtonTest, ContentShiftsOnePixelWhilePressed) {
  const QPoint normal = DarkOrigin(Shot(), TextArea());
  m_Button->setDown(true);
  const QPoint pressed = DarkOrigin(Shot(), TextArea());
  EXPECT_EQ(pressed, normal + QPoint(1, 1));
}

TEST_F(ButtonTest, WithoutVisualStyleFlatButtonGetsEdgesOnlyOnHoverAndPress) {
  QStyle* plain = QStyleFactory::create("Windows");
  ASSERT_NE(plain, nullptr);
  QApplication::setStyle(plain);
  EXPECT_FALSE(CThemeHelperST::IsAppThemed());
  const QRgb face = m_Button->GetColor(BTNST_COLOR_BK_OUT).rgb();
  const QRgb light = m_Button->palette().color(QPalette::Light).rgb();
  const QRgb shadow = m_Button->palette().color(QPalette::Dark).rgb();
  ASSERT_NE(light, shadow);
  QImage image = Shot();
  EXPECT_EQ(image.pixel(5, 0), face);  // flat
  EXPECT_EQ(image.pixel(5, 49), face);
  EXPECT_EQ(image.pixel(0, 25), face);
  Enter();
  image = Shot();
  EXPECT_EQ(image.pixel(5, 0), light);  // raised
  EXPECT_EQ(image.pixel(0, 25), light);
  EXPECT_EQ(image.pixel(5, 49), shadow);
  EXPECT_EQ(image.pixel(199, 25), shadow);
  EXPECT_GT(Count(image, TextArea(), IsRed), 20);
  m_Button->setDown(true);
  image = Shot();
  EXPECT_EQ(image.pixel(5, 0), shadow);  // sunken
  EXPECT_EQ(image.pixel(5, 49), light);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  EXPECT_TRUE(CThemeHelperST::IsAppThemed());
}

TEST_F(ButtonTest, NewSystemColoursReplaceTheHoverRed) {
  const QPalette saved = QApplication::palette();
  QPalette changed = saved;
  changed.setColor(QPalette::ButtonText, QColor(0, 0, 128));
  QApplication::setPalette(changed);
  QCoreApplication::processEvents();
  EXPECT_EQ(m_Button->GetColor(BTNST_COLOR_FG_IN), QColor(0, 0, 128));
  EXPECT_EQ(m_Button->GetColor(BTNST_COLOR_FG_OUT), QColor(0, 0, 128));
  QApplication::setPalette(saved);
}

}  // namespace
}  // namespace windowtest
