#include "widgets/report_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

#include "gui_test_support.h"
#include "window_core/twips.h"

namespace quorvel {
namespace {

using testing::Child;

class ReportPanelTest : public ::testing::Test {
 protected:
  void Make(const TwipRect& design) {
    host_ = std::make_unique<QWidget>();
    host_->resize(800, 600);
    panel_ = new ReportPanel(design, host_.get());
    host_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
  }
  ReportPanel& panel() { return *panel_; }
  double Tx() const { return TwipsPerPixelX(*host_); }
  double Ty() const { return TwipsPerPixelY(*host_); }

  std::unique_ptr<QWidget> host_;
  ReportPanel* panel_ = nullptr;
};

TEST_F(ReportPanelTest, StartsHiddenWithItsCaptions) {
  Make({1200, 600, 4800, 2400});
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(panel().objectName(), QStringLiteral("fReport"));
  EXPECT_EQ(panel().title(), QStringLiteral("Report"));
  EXPECT_EQ(Child<QLabel>(panel(), "lblRep")->text(), QStringLiteral("Report simulazione"));
  EXPECT_EQ(Child<QLabel>(panel(), "Label10")->text(), QStringLiteral("Chiudi"));
  EXPECT_TRUE(Child<QPlainTextEdit>(panel(), "txtRep")->isReadOnly());
  EXPECT_EQ(panel().geometry(), TwipRectToPixels({1200, 600, 4800, 2400}, panel()));
}

TEST_F(ReportPanelTest, ShowingPullsThePanelInsideTheArea) {
  struct Case {
    const char* name;
    TwipRect design;
    double inner_width;
    double inner_height;
    double left;
    double top;
  };
  const Case cases[] = {
      {"inside stays", {1200, 600, 4800, 2400}, 9000, 6000, 1200, 600},
      {"above and left of the area", {-300, -45, 4800, 2400}, 9000, 6000, 0, 0},
      {"beyond the right and bottom edges", {8000, 5000, 4800, 2400}, 9000, 6000, 4200, 3600},
      // Larger than the area: it ends with its right and bottom edges on the area's edges.
      {"larger than the area", {600, 300, 4800, 2400}, 3000, 2000, -1800, -400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Make(c.design);
    panel().ShowPanel(c.inner_width, c.inner_height);
    EXPECT_TRUE(panel().isVisible());
    EXPECT_DOUBLE_EQ(panel().rect_twips().left, c.left);
    EXPECT_DOUBLE_EQ(panel().rect_twips().top, c.top);
    EXPECT_EQ(panel().geometry(), TwipRectToPixels(panel().rect_twips(), panel()));
  }
}

TEST_F(ReportPanelTest, TheTitleBarDragsThePanelWithTheLeftButtonOnly) {
  Make({1200, 600, 4800, 2400});
  panel().ShowPanel(12000, 9000);
  auto* title = Child<QLabel>(panel(), "lblRep");
  const QPoint grip(20, title->height() / 2);
  // The right button does not drag.
  QTest::mousePress(title, Qt::RightButton, {}, grip);
  QTest::mouseMove(title, grip + QPoint(40, 20));
  QTest::mouseRelease(title, Qt::RightButton, {}, grip + QPoint(40, 20));
  EXPECT_DOUBLE_EQ(panel().rect_twips().left, 1200);
  EXPECT_DOUBLE_EQ(panel().rect_twips().top, 600);

  QTest::mousePress(title, Qt::LeftButton, {}, grip);
  QTest::mouseMove(title, grip + QPoint(40, 20));
  QTest::mouseRelease(title, Qt::LeftButton, {}, grip + QPoint(40, 20));
  EXPECT_DOUBLE_EQ(panel().rect_twips().left, 1200 + 40 * Tx());
  EXPECT_DOUBLE_EQ(panel().rect_twips().top, 600 + 20 * Ty());
  EXPECT_EQ(panel().geometry(), TwipRectToPixels(panel().rect_twips(), panel()));

  // Dragging may take it out of its window: the next show pulls it back.
  QTest::mousePress(title, Qt::LeftButton, {}, grip);
  QTest::mouseMove(title, grip + QPoint(-300, -200));
  QTest::mouseRelease(title, Qt::LeftButton, {}, grip + QPoint(-300, -200));
  EXPECT_LT(panel().rect_twips().left, 0);
  EXPECT_LT(panel().rect_twips().top, 0);
  panel().ShowPanel(12000, 9000);
  EXPECT_DOUBLE_EQ(panel().rect_twips().left, 0);
  EXPECT_DOUBLE_EQ(panel().rect_twips().top, 0);
}

TEST_F(ReportPanelTest, ChiudiHidesAndKeepsTextAndPosition) {
  Make({1200, 600, 4800, 2400});
  panel().SetReport(QStringLiteral("Operazione completata\r\nNumero campioni: 101\r\n"));
  EXPECT_EQ(panel().Report(), QStringLiteral("Operazione completata\nNumero campioni: 101\n"));
  panel().ShowPanel(12000, 9000);
  auto* title = Child<QLabel>(panel(), "lblRep");
  QTest::mousePress(title, Qt::LeftButton, {}, QPoint(10, 5));
  QTest::mouseMove(title, QPoint(30, 15));
  QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(30, 15));
  const TwipRect moved = panel().rect_twips();

  QTest::mouseClick(Child<QLabel>(panel(), "Label10"), Qt::LeftButton);
  EXPECT_FALSE(panel().isVisible());
  panel().ShowPanel(12000, 9000);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(panel().rect_twips(), moved);
  EXPECT_EQ(panel().Report(), QStringLiteral("Operazione completata\nNumero campioni: 101\n"));
}

}  // namespace
}  // namespace quorvel
