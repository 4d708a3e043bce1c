// The main window's graphs driven with the mouse: readout, units, overlay drag, report buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"
#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "widgets/graph_surface.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

using testing::Child;

class GraphsTest : public testing::MainWindowFixture {
 protected:
  GraphSurface* G(int graph) { return C<GraphSurface>(graph == 1 ? "Grafico1" : "Grafico2"); }
  void Move(int graph, QPoint at) { QTest::mouseMove(G(graph), at); }
  // A sweep between two frequencies in hertz (both below 100 kHz).
  void Sweep(const QString& start, const QString& end, const QString& parameters,
             const QString& functions) {
    SetReversedValue(*C<QScrollBar>("SEnFM"), 0);
    Type("txtStF", start);
    Type("txtEnF", end);
    TypeFilter("txtPar", parameters);
    TypeFilter("txtFil", functions);
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    ASSERT_GT(w().Graphs().result().count, 0);
  }
  // Sizes the window so that the amplitude graph alone (tab 1) is 600 x 400.
  void AmplitudeGraph600x400() {
    Resize(600, 640 + w().height() - C<QWidget>("client")->height());
    ASSERT_EQ(G(1)->size(), QSize(600, 400));
  }
};

TEST_F(GraphsTest, BeforeAnySweepTheReadoutShowsSlashesAndTheCursorsMove) {
  ClickTab(3);
  Move(1, {120, 50});
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(Panel(i), QStringLiteral("/"));
  EXPECT_EQ(C<QWidget>("ShCur1")->x(), 120);
  const double r = 120.0 / G(1)->width();
  EXPECT_EQ(C<QWidget>("ShCur2")->x(), static_cast<int>(std::lround(r * G(2)->width())));
  EXPECT_EQ(C<QWidget>("ShCur1")->height(), G(1)->height());
}

TEST_F(GraphsTest, TraceModeReadsTheCurvesInTheChosenUnits) {
  AmplitudeGraph600x400();
  Sweep(QStringLiteral("10"), QStringLiteral("1010"), QString(), QStringLiteral("vo=vi*0.5"));

  Move(1, {0, 100});  // the left edge: the first frequency and the first point
  EXPECT_EQ(Panel(3), QStringLiteral("10 Hz"));
  EXPECT_EQ(Panel(4), QStringLiteral("50%"));
  EXPECT_EQ(Panel(5), PhaseText(w().Graphs().result().points[0].phase, QStringLiteral("deg")));

  Move(1, {300, 100});  // the middle of a linear axis
  EXPECT_EQ(Panel(3), QStringLiteral("510 Hz"));

  // Amplitude from the pointer's height: the axis line and halfway up the band.
  C<QAction>("MenuShowTr")->trigger();
  ClickPanel(4);
  EXPECT_EQ(Panel(4), QStringLiteral("50%"));  // the unit shows at the next move
  Move(1, {300, 380});
  EXPECT_EQ(Panel(4), QStringLiteral("-oo db"));
  Move(1, {300, 200});
  EXPECT_EQ(Panel(4), QStringLiteral("-6 db"));

  // Logarithmic amplitude axis one decade per 33 positions of SLog: the middle reads 10%.
  ClickPanel(4);
  QTest::mouseClick(C<QCheckBox>("chkLogY"), Qt::LeftButton);
  for (int i = 0; i < 23; ++i) QTest::keyClick(C<QSlider>("SLog"), Qt::Key_Right);
  ASSERT_DOUBLE_EQ(w().Graphs().LogFloor(), 0.01);
  Move(1, {301, 200});
  EXPECT_EQ(Panel(4), QStringLiteral("10%"));
}

TEST_F(GraphsTest, PhaseReadsInDegreesOrRadians) {
  ClickTab(3);
  // One frequency, an output a quarter period late: -90 degrees at every point.
  Sweep(QStringLiteral("1000"), QStringLiteral("1000"), QString(),
        QStringLiteral("vo = -Math.cos(2*Math.PI*1000*t)"));
  Move(2, {0, 10});
  EXPECT_EQ(Panel(5), QStringLiteral("-90°"));
  ClickPanel(5);
  EXPECT_EQ(Panel(5), QStringLiteral("-90°"));
  EXPECT_TRUE(C<QAction>("MenuShowUnitRad")->isChecked());
  EXPECT_FALSE(C<QAction>("MenuShowUnitDeg")->isChecked());
  Move(2, {1, 10});
  EXPECT_EQ(Panel(5), QStringLiteral("-1,57 rad"));
}

TEST_F(GraphsTest, UnitSwitchesComeBackAfterTwoClicksAndMenuChangesWaitForAMove) {
  auto* pura = C<QAction>("MenuShowUnitPura");
  auto* db = C<QAction>("MenuShowUnitDB");
  ClickPanel(4);
  EXPECT_EQ(C<StatusPanels>("SB1")->Tag(4), QStringLiteral("db"));
  EXPECT_TRUE(db->isChecked());
  EXPECT_FALSE(pura->isChecked());
  ClickPanel(4);
  EXPECT_EQ(C<StatusPanels>("SB1")->Tag(4), QString());
  EXPECT_TRUE(pura->isChecked());
  EXPECT_FALSE(db->isChecked());

  Sweep(QStringLiteral("10"), QStringLiteral("100"), QString(), QStringLiteral("vo=vi*0.5"));
  Move(1, {0, 10});
  EXPECT_EQ(Panel(4), QStringLiteral("50%"));
  db->trigger();
  EXPECT_EQ(Panel(4), QStringLiteral("50%"));
  EXPECT_TRUE(db->isChecked());
  EXPECT_FALSE(pura->isChecked());
  Move(1, {1, 10});
  EXPECT_EQ(Panel(4), QStringLiteral("-6 db"));
  db->trigger();  // choosing the marked entry again keeps it marked
  EXPECT_TRUE(db->isChecked());
}

TEST_F(GraphsTest, DownwardSweepReadsTheCurveUnderThePointer) {
  AmplitudeGraph600x400();
  Sweep(QStringLiteral("1000"), QStringLiteral("10"),
        QStringLiteral("RC = 1/(2*3.14159265358979*1000)"),
        QStringLiteral("vo = vo + (vi - vo) * dt / RC"));
  Move(1, {300, 100});
  EXPECT_EQ(Panel(3), QStringLiteral("505 Hz"));
  const double expected = CurveAmplitude(w().Graphs().result(), 505);
  EXPECT_GT(expected, 0.8);
  EXPECT_EQ(Panel(4), AmplitudeText(expected, QString()));
}

TEST_F(GraphsTest, DraggingTheOverlayLabelStoresRelativePositions) {
  AmplitudeGraph600x400();
  QLabel* label = C<QLabel>("ShFil1");
  EXPECT_FALSE(label->isVisible());

  // Pressed and released without moving: the label's place at the pointer is stored.
  QTest::mousePress(G(1), Qt::LeftButton, {}, {50, 30});
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->text(), QStringLiteral("vo=vi\n"));
  QTest::mouseRelease(G(1), Qt::LeftButton, {}, {50, 30});
  EXPECT_FALSE(label->isVisible());
  EXPECT_DOUBLE_EQ(w().Graphs().overlay().Fil1X, 50.0 / 600);
  EXPECT_DOUBLE_EQ(w().Graphs().overlay().Fil1Y, 30.0 / 400);
  EXPECT_EQ(w().Graphs().RedrawPending(), -1);

  // Dragged towards the bottom right corner: the right and bottom edges are stored.
  QTest::mousePress(G(1), Qt::LeftButton, {}, {100, 100});
  QTest::mouseMove(G(1), {450, 370});
  EXPECT_EQ(label->pos(), QPoint(450, 370));
  QTest::mouseRelease(G(1), Qt::LeftButton, {}, {450, 370});
  EXPECT_DOUBLE_EQ(w().Graphs().overlay().Fil1X, (450.0 + label->width()) / 600);
  EXPECT_DOUBLE_EQ(w().Graphs().overlay().Fil1Y, (370.0 + label->height()) / 400);
  EXPECT_EQ(w().Graphs().overlay().Fil2X, 0);  // the other graph keeps its own place

  // Right button: the label shows at the pointer and stays there, without following.
  QTest::mousePress(G(1), Qt::RightButton, {}, {200, 100});
  QTest::mouseMove(G(1), {260, 150});
  QTest::mouseRelease(G(1), Qt::RightButton, {}, {260, 150});
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->pos(), QPoint(200, 100));
}

TEST_F(GraphsTest, OverlayIsDrawnFromTheStoredPlaceAndTheFilterSwitch) {
  AmplitudeGraph600x400();
  Sweep(QStringLiteral("10"), QStringLiteral("100"), QString(), QStringLiteral("vo=vi"));
  // Place the text in the middle of the graph, where nothing else is drawn in black.
  QTest::mousePress(G(1), Qt::LeftButton, {}, {250, 150});
  QTest::mouseRelease(G(1), Qt::LeftButton, {}, {250, 150});
  WaitForRedraw();
  auto ink_near = [&](const QImage& image) {
    int dark = 0;
    for (int y = 150; y < 170; ++y) {
      for (int x = 250; x < 300; ++x) dark += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
    }
    return dark;
  };
  EXPECT_GT(ink_near(G(1)->image()), 10);
  C<QAction>("MenuShowFil")->trigger();
  EXPECT_FALSE(C<QAction>("MenuShowFil")->isChecked());
  WaitForRedraw();
  EXPECT_EQ(ink_near(G(1)->image()), 0);
}

TEST_F(GraphsTest, ReportButtonShowsNearTheTopRightCornerAndOpensTheReport) {
  AmplitudeGraph600x400();
  QToolButton* report = C<QToolButton>("cmdRep0");
  EXPECT_EQ(report->x() + report->width(), 600);
  Move(1, {590, 2});
  EXPECT_TRUE(report->isVisible());
  Move(1, {300, 2});
  EXPECT_FALSE(report->isVisible());
  Move(1, {590, report->height() + 1});
  EXPECT_FALSE(report->isVisible());
  Move(1, {590, 2});
  QTest::mouseClick(report, Qt::LeftButton);
  EXPECT_TRUE(C<QWidget>("fReport")->isVisible());
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

TEST_F(GraphsTest, ReportPanelComesBackInsideAfterTheWindowShrank) {
  Resize(900, 700);
  Sweep(QStringLiteral("10"), QStringLiteral("100"), QString(), QStringLiteral("vo=vi"));
  C<QAction>("MenuShowReport")->trigger();
  auto* panel = C<QWidget>("fReport");
  ASSERT_TRUE(panel->isVisible());
  EXPECT_TRUE(C<QPlainTextEdit>("txtRep")->toPlainText().startsWith(
      QStringLiteral("Operazione completata")));

  // Dragged by its title towards the bottom right corner, then hidden with "Chiudi".
  auto* title = C<QLabel>("lblRep");
  const QPoint shown_at = panel->pos();
  QTest::mousePress(title, Qt::LeftButton, {}, {5, 5});
  QTest::mouseMove(title, {5 + 250, 5 + 150});
  QTest::mouseRelease(title, Qt::LeftButton, {}, {5 + 250, 5 + 150});
  const QPoint dragged = panel->pos();
  EXPECT_EQ(dragged, shown_at + QPoint(250, 150));
  QTest::mouseClick(C<QLabel>("Label10"), Qt::LeftButton);
  EXPECT_FALSE(panel->isVisible());

  // Shown again in the same window it keeps its place; after the window shrank it is pulled
  // back so that its right and bottom edges lie inside.
  C<QAction>("MenuShowReport")->trigger();
  EXPECT_EQ(panel->pos(), dragged);
  QTest::mouseClick(C<QLabel>("Label10"), Qt::LeftButton);
  Resize(500, 420);
  C<QAction>("MenuShowReport")->trigger();
  const QWidget* client = C<QWidget>("client");
  EXPECT_LE(panel->geometry().right(), client->width());
  EXPECT_LE(panel->geometry().bottom(), client->height());
  EXPECT_TRUE(C<QPlainTextEdit>("txtRep")->toPlainText().startsWith(
      QStringLiteral("Operazione completata")));
}

// The label that follows the pointer during the overlay drag is readable on a dark theme: it
// has the colours of a tool tip, text and background far apart.
TEST_F(GraphsTest, TheOverlayDragLabelIsReadableOnADarkTheme) {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(35, 35, 35));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(20, 20, 20));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::ToolTipBase, QColor(50, 50, 60));
  dark.setColor(QPalette::ToolTipText, QColor(240, 240, 240));
  w().setPalette(dark);
  QTest::mousePress(G(1), Qt::LeftButton, {}, {40, 40});
  auto* label = C<QLabel>("ShFil1");
  ASSERT_TRUE(label->isVisible());
  const QImage shot = label->grab().toImage();
  const QRgb background = shot.pixel(shot.width() - 3, shot.height() / 2);
  int far = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      if (std::abs(qGray(shot.pixel(x, y)) - qGray(background)) > 120) ++far;
    }
  }
  EXPECT_GT(far, 20) << "the text hardly stands out from its background";
  QTest::mouseRelease(G(1), Qt::LeftButton, {}, {40, 40});
}

}  // namespace
}  // namespace quorvel
