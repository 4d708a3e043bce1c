// The oscilloscope screen through the window: readout, time unit, overlay drag, report panel,
// bitmap export and copy.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "graphs/filter_overlay.h"
#include "oscilloscope/oscilloscope_window.h"
#include "oscilloscope_test_support.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "window_core/twips.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::MessageBoxAnswer;
using testing::OscilloscopeTest;

QStringList Readout(const Form2& osc) {
  const StatusPanels& sb = *Child<StatusPanels>(osc, "SB1");
  return {sb.Text(3), sb.Text(4), sb.Text(5)};
}

TEST_F(OscilloscopeTest, AnEmptyTraceReadsSlashesAndLeavesTheScreen) {
  Form2& osc = Open([](Form2& o) { Child<QLineEdit>(o, "txtStF")->setText(QStringLiteral("x")); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RunRequested(); }));
  ASSERT_EQ(osc.trace().count, 0);
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  EXPECT_TRUE(screen->image().isNull());  // nothing drawn, not even cleared
  QTest::mouseMove(screen, QPoint(40, 30));
  EXPECT_EQ(Readout(osc), testing::Texts({"/", "/", "/"}));
  EXPECT_EQ(C<QWidget>(osc, "ShCur1")->x(), 40);
}

TEST_F(OscilloscopeTest, TheCursorReadsTimeOrPhaseAndTheValues) {
  Form2& osc = OpenAndRun();
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  ASSERT_FALSE(screen->image().isNull());
  EXPECT_EQ(screen->image().size(), screen->size());
  const int w = screen->width();
  QTest::mouseMove(screen, QPoint(w / 4, 20));
  QStringList readout = Readout(osc);
  EXPECT_TRUE(readout[0].endsWith(QStringLiteral("ms"))) << readout[0].toStdString();
  // A quarter of the way through one period of the sine: the peak.
  EXPECT_TRUE(readout[1].endsWith(QStringLiteral("V"))) << readout[1].toStdString();
  EXPECT_NE(readout[1], QStringLiteral("0 V"));
  EXPECT_EQ(readout[2], readout[1]);  // vo=vi
  EXPECT_EQ(C<QWidget>(osc, "ShCur1")->x(), w / 4);
  EXPECT_EQ(C<QWidget>(osc, "ShCur1")->height(), screen->height());

  // A click on the time panel toggles the unit; the menu follows.
  StatusPanels& sb = *C<StatusPanels>(osc, "SB1");
  QTest::mouseClick(sb.Panel(3), Qt::LeftButton);
  EXPECT_EQ(sb.Tag(3), QStringLiteral("deg"));
  EXPECT_TRUE(C<QAction>(osc, "MenuShowUnitDeg")->isChecked());
  EXPECT_FALSE(C<QAction>(osc, "MenuShowUnitS")->isChecked());
  QTest::mouseMove(screen, QPoint(w / 4 + 1, 20));
  EXPECT_TRUE(Readout(osc)[0].endsWith(QStringLiteral("°"))) << Readout(osc)[0].toStdString();

  C<QAction>(osc, "MenuShowUnitS")->trigger();
  EXPECT_EQ(sb.Tag(3), QStringLiteral("s"));
  EXPECT_FALSE(C<QAction>(osc, "MenuShowUnitDeg")->isChecked());
  C<QAction>(osc, "MenuShowUnitDeg")->trigger();
  EXPECT_EQ(sb.Tag(3), QStringLiteral("deg"));
  EXPECT_FALSE(C<QAction>(osc, "MenuShowUnitS")->isChecked());
  QTest::mouseClick(sb.Panel(3), Qt::LeftButton);
  EXPECT_EQ(sb.Tag(3), QStringLiteral("s"));
  EXPECT_TRUE(C<QAction>(osc, "MenuShowUnitS")->isChecked());
}

TEST_F(OscilloscopeTest, DisplayTogglesAskForARedraw) {
  Form2& osc = OpenAndRun();
  for (const char* name : {"MenuShowSepSign", "MenuShowPD", "MenuShowFil"}) {
    SCOPED_TRACE(name);
    osc.DropRequests();
    C<QAction>(osc, name)->trigger();
    EXPECT_TRUE(C<QAction>(osc, name)->isChecked());
    EXPECT_TRUE(osc.RedrawRequested());
  }
  // Separated signals draw both traces in cyan, and the overlay in white.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RedrawRequested(); }));
  const QImage& image = C<GraphSurface>(osc, "Grafico1")->image();
  bool cyan = false;
  bool red = false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
      cyan = cyan || pixel == 0x00FFFF;
      red = red || pixel == 0xFF0000;
    }
  }
  EXPECT_TRUE(cyan);
  EXPECT_FALSE(red);
}

TEST_F(OscilloscopeTest, DraggingTheOverlayLabelStoresItsPosition) {
  Form2& osc = OpenAndRun();
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  auto* label = C<QLabel>(osc, "ShFil1");
  // Another button shows the label at the pointer and leaves it there.
  QTest::mouseClick(screen, Qt::RightButton, {}, QPoint(30, 20));
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->pos(), QPoint(30, 20));
  EXPECT_TRUE(label->text().contains(QStringLiteral("sinusoidale 1 Hz")));
  EXPECT_EQ(osc.Screen().FilX(), 0);

  osc.DropRequests();
  QTest::mousePress(screen, Qt::LeftButton, {}, QPoint(30, 20));
  QTest::mouseMove(screen, QPoint(50, 30));
  EXPECT_EQ(label->pos(), QPoint(50, 30));
  QTest::mouseRelease(screen, Qt::LeftButton, {}, QPoint(50, 30));
  EXPECT_FALSE(label->isVisible());
  const QPointF expected =
      OverlayFromLabel(screen->width(), screen->height(), 50, 30, label->width(), label->height());
  EXPECT_FLOAT_EQ(osc.Screen().FilX(), static_cast<float>(expected.x()));
  EXPECT_FLOAT_EQ(osc.Screen().FilY(), static_cast<float>(expected.y()));
  EXPECT_FLOAT_EQ(osc.Screen().FilX(), 50.0f / static_cast<float>(screen->width()));
  EXPECT_TRUE(osc.RedrawRequested());
}

TEST_F(OscilloscopeTest, TheReportPanelComesBackInsideAfterTheWindowShrank) {
  Form2& osc = OpenAndRun();
  Resize(osc, 900, 700);
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  auto* icon = C<QToolButton>(osc, "cmdRep");
  // The report icon shows only near the screen's top right corner.
  QTest::mouseMove(screen, QPoint(screen->width() / 2, 5));
  EXPECT_FALSE(icon->isVisible());
  QTest::mouseMove(screen, QPoint(screen->width() - 3, 5));
  EXPECT_TRUE(icon->isVisible());
  QTest::mouseClick(icon, Qt::LeftButton);
  auto* panel = C<ReportPanel>(osc, "fReport");
  ASSERT_TRUE(panel->isVisible());
  const QString report = panel->Report();
  EXPECT_TRUE(report.startsWith(QStringLiteral("Operazione completata\n")));

  // Drag it towards the bottom right corner, close it, shrink the window, show it again.
  auto* title = C<QLabel>(osc, "lblRep");
  QTest::mousePress(title, Qt::LeftButton, {}, QPoint(10, 5));
  QTest::mouseMove(title, QPoint(410, 305));
  QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(410, 305));
  const TwipRect dragged = panel->rect_twips();
  QTest::mouseClick(C<QLabel>(osc, "Label10"), Qt::LeftButton);
  EXPECT_FALSE(panel->isVisible());
  Resize(osc, 300, 200);  // below the minimum: it snaps back to 7800 x 6500 twips
  const double tx = TwipsPerPixelX(osc);
  EXPECT_GE(osc.frameGeometry().width() * tx, 7800 - tx);
  const double inner_width = C<QWidget>(osc, "client")->width() * tx;
  const double inner_height = C<QWidget>(osc, "client")->height() * TwipsPerPixelY(osc);
  ASSERT_GT(dragged.left, inner_width - dragged.width);
  C<QAction>(osc, "MenuShowReport")->trigger();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_DOUBLE_EQ(panel->rect_twips().left, inner_width - dragged.width);
  EXPECT_DOUBLE_EQ(panel->rect_twips().top, inner_height - dragged.height);
  EXPECT_EQ(panel->Report(), report);
}

TEST_F(OscilloscopeTest, TheWindowSystemKnowsTheMinimumSize) {
  Form2& osc = Open();
  const QSize margins = osc.frameGeometry().size() - osc.geometry().size();
  const QSize minimum(TwipsToPixelsX(kOscilloscopeMinimumOuterWidth, osc) - margins.width(),
                      TwipsToPixelsY(kOscilloscopeMinimumOuterHeight, osc) - margins.height());
  EXPECT_EQ(osc.minimumSize(), minimum);
  ASSERT_NE(osc.windowHandle(), nullptr);
  EXPECT_EQ(osc.windowHandle()->minimumSize(), minimum);
  // Below the minimum and back: the screen and the tools frame come back where they were.
  Resize(osc, 900, 700);
  const QRect screen = C<QWidget>(osc, "Grafico1")->geometry();
  const QRect tools = C<QWidget>(osc, "Frame1")->geometry();
  Resize(osc, 300, 200);
  EXPECT_LE(C<QWidget>(osc, "Grafico1")->geometry().bottom(),
            C<QWidget>(osc, "Frame1")->geometry().top());
  Resize(osc, 900, 700);
  EXPECT_EQ(C<QWidget>(osc, "Grafico1")->geometry(), screen);
  EXPECT_EQ(C<QWidget>(osc, "Frame1")->geometry(), tools);
}

TEST_F(OscilloscopeTest, LayoutFollowsTheWindowSizeAndTheScreenIsRedrawn) {
  Form2& osc = OpenAndRun();
  Resize(osc, 1000, 800);
  const OscilloscopeGeometry& g = osc.geometry_twips();
  const double W = C<QWidget>(osc, "client")->width() * TwipsPerPixelX(osc);
  const double H = C<QWidget>(osc, "client")->height() * TwipsPerPixelY(osc);
  EXPECT_DOUBLE_EQ(g.Grafico1.left, 0);
  EXPECT_DOUBLE_EQ(g.Grafico1.width, W);
  EXPECT_DOUBLE_EQ(g.Grafico1.height, H - g.Frame1.height - g.SB1Height);
  EXPECT_DOUBLE_EQ(g.Frame1.top, g.Grafico1.height);
  EXPECT_DOUBLE_EQ(g.Frame1.width, W);
  EXPECT_DOUBLE_EQ(g.cmdAgg.left, W - g.cmdAgg.width - 120);
  EXPECT_DOUBLE_EQ(g.cmdStop.left, g.cmdAgg.left);
  EXPECT_DOUBLE_EQ(g.Frame2.height, g.Grafico1.height);
  EXPECT_DOUBLE_EQ(g.lstPar.height, g.Frame2.height - g.lstPar.top - 120);
  EXPECT_DOUBLE_EQ(g.cmdHelp.top, H - g.cmdHelp.height + 8);
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  EXPECT_EQ(screen->geometry(), TwipRectToPixels(g.Grafico1, osc));
  // The resize asks for a redraw: the next tick draws the trace at the new size.
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen->image().size() == screen->size(); }, 1000));
  EXPECT_EQ(C<QWidget>(osc, "ShCur1")->height(), screen->height());
  EXPECT_EQ(C<QWidget>(osc, "cmdRep")->x() + C<QWidget>(osc, "cmdRep")->width(), screen->width());
}

TEST_F(OscilloscopeTest, SavesTheScreenAsABitmapAndReportsFailures) {
  Form2& osc = OpenAndRun();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    const char* name;
    QString path;
    bool written;
  };
  const Case cases[] = {
      {"a writable file", dir.filePath(QStringLiteral("scope.bmp")), true},
      {"a missing folder", dir.filePath(QStringLiteral("missing/scope.bmp")), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageBoxAnswer answer;
    EXPECT_EQ(osc.Screen().SaveScreenBitmap(c.path), c.written);
    EXPECT_EQ(answer.seen().shown, !c.written);
    if (c.written) {
      QImage saved(c.path, "BMP");
      EXPECT_EQ(saved.size(), C<GraphSurface>(osc, "Grafico1")->size());
      EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
                C<GraphSurface>(osc, "Grafico1")->image().convertToFormat(QImage::Format_RGB32));
    } else {
      EXPECT_FALSE(QFile::exists(c.path));
      EXPECT_EQ(answer.seen().title, QStringLiteral("Errore"));
      EXPECT_EQ(answer.seen().icon, QMessageBox::Critical);
      EXPECT_FALSE(answer.seen().text.isEmpty());
    }
  }
}

TEST_F(OscilloscopeTest, CopyPutsTheScreenOnTheClipboard) {
  Form2& osc = OpenAndRun();
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  C<QAction>(osc, "MenuEditCopia")->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  const QImage& screen = C<GraphSurface>(osc, "Grafico1")->image();
  ASSERT_FALSE(copied.isNull());
  EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
            screen.convertToFormat(QImage::Format_RGB32));
}

// "Salva grafico..." asks with the program's own dialog, titled "Salva".
TEST_F(OscilloscopeTest, SalvaGraficoAsksInTheProgramsOwnDialog) {
  Form2& osc = OpenAndRun();
  QString title;
  testing::ModalAnswers answers({[&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    EXPECT_NE(dialog->directory().absolutePath(), QCoreApplication::applicationDirPath());
    dialog->reject();
  }});
  C<QAction>(osc, "MenuFileSalvaGrafico")->trigger();
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_EQ(title, QStringLiteral("Salva"));
}

// Texts are whole and clear: the frames' captions and controls below their titles and clear of
// each other ("Frequenza iniziale:" keeps its colon), the help mode's hint whole at the window's
// first size, the report panel opaque.
TEST_F(OscilloscopeTest, TextsAreWholeAndClearOfEachOther) {
  Form2& osc = Open();
  C<QAction>(osc, "MenuToolsParF")->trigger();
  for (const char* frame : {"Frame1", "Frame2"})
    testing::ExpectFrameClear(*C<QGroupBox>(osc, frame));
  QTest::mouseClick(C<QToolButton>(osc, "cmdHelp"), Qt::LeftButton);
  const StatusPanels& sb = *C<StatusPanels>(osc, "SB1");
  ASSERT_EQ(sb.Text(2),
            QStringLiteral("Premere il tasto CTRL per visualizzare la guida contestuale"));
  testing::ExpectHintWhole(*sb.Panel(2), sb.Text(2));
  C<QAction>(osc, "MenuShowReport")->trigger();
  auto* report = C<QGroupBox>(osc, "fReport");
  ASSERT_TRUE(report->isVisible());
  auto* screen = C<GraphSurface>(osc, "Grafico1");
  ASSERT_TRUE(report->geometry().intersects(screen->geometry()));
  // Neither the screen's teal nor a red one shows through the panel's margins.
  EXPECT_TRUE(testing::HidesWhatIsUnder(*report, [screen](int picture) {
    QImage image(screen->size(), QImage::Format_RGB32);
    image.fill(picture == 0 ? QColor(0, 128, 128) : QColor(Qt::red));
    screen->SetImage(std::move(image));
  }));
  testing::ExpectChiudiOffTheEdge(*report);
}

// The parameter's input box speaks Italian: its title and its buttons.
TEST_F(OscilloscopeTest, TheParameterInputBoxSpeaksItalian) {
  Form2& osc = Open();
  C<QAction>(osc, "MenuToolsParF")->trigger();
  QString title;
  QStringList buttons;
  testing::ModalAnswers answers({[&](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr);
    title = input->windowTitle();
    for (QAbstractButton* button : input->findChild<QDialogButtonBox*>()->buttons()) {
      buttons << button->text().remove(QLatin1Char('&'));
    }
    input->reject();
  }});
  QTest::mouseClick(C<QPushButton>(osc, "cmdAddP"), Qt::LeftButton);
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_EQ(title, QStringLiteral("Defininizione parametro"));
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{QStringLiteral("Annulla"), QStringLiteral("OK")}));
}

}  // namespace
}  // namespace quorvel
