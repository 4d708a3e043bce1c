#include "main_window/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <cmath>
#include <map>

#include "graphs/response_graph.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "widgets/graph_surface.h"
#include "widgets/progress_window.h"
#include "widgets/status_panels.h"
#include "widgets/window_support.h"
#include "window_core/twips.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::MessageBoxAnswer;

class MainWindowTest : public testing::MainWindowFixture {
 protected:
  QString Text(const char* label) { return C<QLabel>(label)->text(); }
  QWidget& client() { return *C<QWidget>("client"); }
  FrequencyRange& Range() { return *C<FrequencyRange>("range"); }
  double InnerWidth() { return client().width() * TwipsPerPixelX(w()); }
  double InnerHeight() { return client().height() * TwipsPerPixelY(w()); }
};

TEST_F(MainWindowTest, StartsWithTheDesignTextsAndTheDefaultSliders) {
  EXPECT_EQ(w().windowTitle(), QStringLiteral("Quorvel"));
  EXPECT_EQ(C<QGroupBox>("Frame1")->title(), QStringLiteral("Parametri del test"));
  EXPECT_EQ(C<QGroupBox>("Frame3")->title(), QStringLiteral("Parametri del filtro"));
  EXPECT_EQ(C<QGroupBox>("Frame2")->title(), QStringLiteral("Funzioni del filtro"));
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("1"));
  EXPECT_EQ(C<QLineEdit>("txtEnF")->text(), QStringLiteral("1"));
  EXPECT_EQ(w().ParametersText(), QString());
  EXPECT_EQ(w().FunctionsText(), QStringLiteral("vo=vi\r\n"));
  EXPECT_EQ(C<QPushButton>("cmdStart")->text(), QStringLiteral("Avvia"));
  EXPECT_EQ(C<QPushButton>("cmdStop")->text(), QStringLiteral("Ferma"));
  EXPECT_EQ(C<QCheckBox>("chkLogX")->text(), QStringLiteral("Freq"));
  EXPECT_EQ(C<QCheckBox>("chkLogY")->text(), QStringLiteral("Vo/Vi"));
  EXPECT_FALSE(C<QCheckBox>("chkLogX")->isChecked());

  // Sliders at their defaults, with the labels their change handling wrote.
  EXPECT_EQ(GetReversedValue(*C<QScrollBar>("SStFM")), 0);
  EXPECT_EQ(GetReversedValue(*C<QScrollBar>("SEnFM")), 1);
  EXPECT_EQ(Text("lblStFM"), QStringLiteral("Hz"));
  EXPECT_EQ(Text("lblEnFM"), QStringLiteral("KHz"));
  EXPECT_EQ(Range().StartMultiplier(), 1);
  EXPECT_EQ(Range().EndMultiplier(), 1000);
  EXPECT_EQ(Text("lblOsc"), QStringLiteral("2"));
  EXPECT_EQ(Text("lblCa"), QStringLiteral("20"));
  EXPECT_EQ(C<QSlider>("SLog")->value(), 10);
  EXPECT_DOUBLE_EQ(w().Graphs().LogFloor(), LogFloorForPosition(10));
  EXPECT_EQ(C<QScrollBar>("SCa")->singleStep(), 5);
  EXPECT_EQ(C<QScrollBar>("SCa")->pageStep(), 5);

  // First tab: the amplitude graph alone.
  EXPECT_EQ(C<QTabBar>("TS1")->currentIndex(), 0);
  EXPECT_EQ(C<QTabBar>("TS1")->count(), 4);
  EXPECT_EQ(C<QTabBar>("TS1")->tabText(3), QStringLiteral("Affianca o"));
  EXPECT_EQ(C<QTabBar>("TS1")->tabToolTip(1), QStringLiteral("Grafico della risposta in fase"));
  EXPECT_TRUE(C<GraphSurface>("Grafico1")->isVisible());
  EXPECT_FALSE(C<GraphSurface>("Grafico2")->isVisible());

  EXPECT_EQ(SB1().Text(2), QStringLiteral("Ombrat - Ferrolt"));
  for (int panel = 3; panel <= 5; ++panel) EXPECT_EQ(SB1().Text(panel), QStringLiteral("/"));
  EXPECT_EQ(SB1().Tag(4), QString());
  EXPECT_EQ(SB1().Tag(5), QStringLiteral("deg"));
  EXPECT_FALSE(w().Documents().TestModified());
  EXPECT_TRUE(w().Documents().TestPath().isEmpty());
  EXPECT_FALSE(w().MainClosing());
}

// A file given at start opens once the window is on the screen (its preview's progress window
// then centres on the window's real place): not before the window shows, at once after.
TEST(MainWindowStart, AFileGivenAtStartOpensOnceTheWindowIsOnTheScreen) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("start.flt"));
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"7\"\r\n");
  }
  for (const bool shown_first : {false, true}) {
    SCOPED_TRACE(shown_first ? "shown first" : "shown after");
    Form1 window;
    if (shown_first) {
      window.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    window.OpenFileOnceShown(path);
    QCoreApplication::processEvents();
    if (!shown_first) {
      EXPECT_TRUE(window.Documents().TestPath().isEmpty()) << "opened before the window showed";
      window.show();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Documents().TestPath() == path; }));
    EXPECT_TRUE(window.windowHandle()->isExposed());
    EXPECT_EQ(Child<QLineEdit>(window, "txtStF")->text(), QStringLiteral("7"));
  }
}

// At construction the fixed controls get their design rectangles (below the frame's title) and
// nothing else is touched: the client area keeps a size of its own until the window is first
// shown.
TEST(MainWindowConstruction, PlacesTheFixedControlsAndLeavesTheClientArea) {
  Form1 window;
  EXPECT_FALSE(Child<QWidget>(window, "client")->size().isEmpty());
  const std::pair<const char*, TwipRect> fixed[] = {
      {"txtStF", {1680, 240, 855, 285}},  {"SStFM", {3000, 240, 255, 255}},
      {"txtEnF", {1680, 600, 855, 285}},  {"SEnFM", {3000, 600, 255, 255}},
      {"chkLogX", {1680, 960, 855, 255}}, {"chkLogY", {2640, 960, 855, 255}},
      {"SLog", {3480, 960, 1815, 255}},   {"SOsc", {5040, 240, 255, 255}},
      {"SCa", {5040, 600, 255, 255}},
  };
  for (const auto& [name, rect] : fixed) {
    const int below_title = FrameTitleOffset(Child<QWidget>(window, "Frame1"));
    EXPECT_EQ(Child<QWidget>(window, name)->geometry(),
              TwipRectToPixels(rect, window).translated(0, below_title))
        << name;
  }
  for (const char* label : {"Label1", "Label2", "Label3", "Label5", "Label6"}) {
    EXPECT_GT(Child<QWidget>(window, label)->width(), 0) << label;
  }
}

TEST_F(MainWindowTest, MenusHoldEveryEntryWithItsCaptionAndShortcut) {
  struct Entry {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    bool checked;
  };
  const Entry entries[] = {
      {"MenuFileNuovo", "&Nuovo", QKeySequence(Qt::CTRL | Qt::Key_N), false},
      {"MenuFileApri", "&Apri...", QKeySequence(Qt::CTRL | Qt::Key_A), false},
      {"MenuFileSalva", "&Salva", QKeySequence(Qt::CTRL | Qt::Key_S), false},
      {"MenuFileSalvaNome", "S&alva con nome...", {}, false},
      {"MenuFileSalvaGrafico", "Salva &grafico...", {}, false},
      {"MenuFileEsportaDati", "Esporta &dati...", {}, false},
      {"MenuFileEsci", "&Esci", {}, false},
      {"MenuEditCopiaFiltro", "&Filtro", {}, false},
      {"MenuEditCopiaGrafico", "&Grafico", {}, false},
      {"MenuEditCopiaDati", "&Dati", {}, false},
      {"MenuEditIncolla", "&Incolla", {}, false},
      {"MenuShowCF", "Frequenza di &taglio", {}, true},
      {"MenuShowTr", "&Valore traccia", {}, true},
      {"MenuShowFil", "&Filtro", {}, true},
      {"MenuShowUnitPura", "&Pura (Vo/Vi)", {}, true},
      {"MenuShowUnitDB", "&deciBel", {}, false},
      {"MenuShowUnitDeg", "&Gradi", {}, true},
      {"MenuShowUnitRad", "&Radianti", {}, false},
      {"MenuShowScale", "&Scale numeriche", {}, false},
      {"MenuShowReport", "&Report...", {}, false},
      {"MenuToolsOsc", "Oscilloscopio...", {}, false},
      {"MenuToolsConfronta", "&Confronta", {}, false},
      {"MenuToolsCancellaConfronti", "Ca&ncella confronti", {}, false},
      {"MenuHelpGuida", "&Guida...", QKeySequence(Qt::Key_F1), false},
      {"MenuHelpEsempi", "&Esempi...", {}, false},
      {"MenuHelpInfo", "&Informazioni...", QKeySequence(Qt::Key_F2), false},
      {"MenuHelpLogo", "&Logo...", {}, false},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    QAction* action = C<QAction>(e.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(e.caption));
    EXPECT_EQ(action->shortcut(), e.shortcut);
    EXPECT_EQ(action->isChecked(), e.checked);
  }
  QStringList titles;
  for (QAction* menu : w().menuBar()->actions()) titles << menu->text();
  EXPECT_EQ(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Modifica"),
                                 QStringLiteral("&Visualizza"), QStringLiteral("&Strumenti"),
                                 QStringLiteral("&?")}));
  EXPECT_EQ(C<QMenu>("MenuShowUnit")->title(), QStringLiteral("&Unità di misura"));
}

TEST_F(MainWindowTest, TabsArrangeTheGraphs) {
  Resize(700, 560);
  const double W = InnerWidth();
  const double H = InnerHeight();
  auto* g1 = C<GraphSurface>("Grafico1");
  auto* g2 = C<GraphSurface>("Grafico2");

  ClickTab(1);
  EXPECT_FALSE(g1->isVisible());
  EXPECT_TRUE(g2->isVisible());
  EXPECT_DOUBLE_EQ(w().geometry_twips().Grafico2.width, W);
  EXPECT_DOUBLE_EQ(w().geometry_twips().Grafico2.left, 0);

  ClickTab(2);
  const MainWindowGeometry& g = w().geometry_twips();
  const double free = H - g.Grafico1.top - g.SB1Height;
  EXPECT_TRUE(g1->isVisible());
  EXPECT_TRUE(g2->isVisible());
  EXPECT_DOUBLE_EQ(g.Grafico1.height, free / 2);
  EXPECT_DOUBLE_EQ(g.Grafico2.top, g.Grafico1.top + free / 2);

  ClickTab(3);
  EXPECT_DOUBLE_EQ(g.Grafico1.width, W / 2);
  EXPECT_DOUBLE_EQ(g.Grafico2.left, W / 2);
  EXPECT_EQ(g1->geometry(), TwipRectToPixels(g.Grafico1, w()));
  EXPECT_EQ(g2->geometry(), TwipRectToPixels(g.Grafico2, w()));
  EXPECT_EQ(g1->geometry().right() + 1, g2->geometry().left());

  ClickTab(0);
  EXPECT_TRUE(g1->isVisible());
  EXPECT_FALSE(g2->isVisible());
  EXPECT_DOUBLE_EQ(g.Grafico1.width, W);
}

TEST_F(MainWindowTest, SnapsBackToTheMinimumSize) {
  w().resize(100, 100);
  EXPECT_TRUE(QTest::qWaitFor([this] {
    return w().frameGeometry().width() * TwipsPerPixelX(w()) >= kMinimumOuterWidth - 15 &&
           w().frameGeometry().height() * TwipsPerPixelY(w()) >= kMinimumOuterHeight - 15;
  }));
}

// Where every named control of the window is, in the window's coordinates.
std::map<QString, QRect> ControlRectangles(const QWidget& window) {
  std::map<QString, QRect> rectangles;
  for (const QWidget* child : window.findChildren<QWidget*>()) {
    if (child->objectName().isEmpty() || !child->isVisibleTo(&window)) continue;
    rectangles[child->objectName()] = QRect(child->mapTo(&window, QPoint(0, 0)), child->size());
  }
  return rectangles;
}

TEST_F(MainWindowTest, ATooSmallResizeAndBackRestoresEveryControl) {
  Resize(800, 600);
  const std::map<QString, QRect> before = ControlRectangles(w());
  // Below the minimum: the window keeps its minimum, and its controls are laid out for it.
  w().resize(300, 200);
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return std::abs(w().geometry_twips().Frame1.width - InnerWidth()) < 1e-6; }));
  EXPECT_GE(w().frameGeometry().width() * TwipsPerPixelX(w()), kMinimumOuterWidth - 15);
  for (const char* box : {"txtPar", "txtFil"}) {
    EXPECT_FALSE(C<QWidget>(box)->size().isEmpty()) << box;
  }
  const QRect frame1 = C<QWidget>("Frame1")->geometry();
  EXPECT_LE(frame1.bottom(), C<QWidget>("TS1")->geometry().top());
  EXPECT_LE(C<QWidget>("Grafico1")->geometry().bottom(), C<QWidget>("SB1")->geometry().top());
  EXPECT_LE(C<QWidget>("cmdStop")->geometry().right(), frame1.width());

  Resize(800, 600);
  const std::map<QString, QRect> after = ControlRectangles(w());
  for (const auto& [name, rect] : before) {
    ASSERT_TRUE(after.count(name)) << name.toStdString();
    EXPECT_EQ(after.at(name), rect) << name.toStdString();
  }
}

TEST_F(MainWindowTest, TheWindowSystemKnowsTheMinimumSize) {
  const QSize margins = w().frameGeometry().size() - w().geometry().size();
  const QSize minimum(TwipsToPixelsX(kMinimumOuterWidth, w()) - margins.width(),
                      TwipsToPixelsY(kMinimumOuterHeight, w()) - margins.height());
  EXPECT_EQ(w().minimumSize(), minimum);
  ASSERT_NE(w().windowHandle(), nullptr);
  EXPECT_EQ(w().windowHandle()->minimumSize(), minimum);
}

TEST_F(MainWindowTest, SplittersFollowTheMouseWithinTheirLimits) {
  Resize(700, 560);
  auto* mx = C<QLabel>("lblMX");
  const QPoint grip(mx->width() / 2, mx->height() / 2);
  QTest::mousePress(mx, Qt::LeftButton, {}, grip);
  QTest::mouseMove(mx, grip + QPoint(30, 7));
  QTest::mouseRelease(mx, Qt::LeftButton, {}, grip + QPoint(30, 7));
  const MainWindowGeometry& g = w().geometry_twips();
  EXPECT_DOUBLE_EQ(g.lblMX.left, 2400 + 30 * TwipsPerPixelX(w()));
  EXPECT_DOUBLE_EQ(g.lblMX.top, 1320);
  EXPECT_DOUBLE_EQ(g.Frame2.left, g.lblMX.left + g.lblMX.width);
  EXPECT_DOUBLE_EQ(g.Frame3.width, g.lblMX.left);

  // The horizontal splitter cannot go above 2760: it stays where it was.
  auto* my = C<QLabel>("lblMY");
  const QPoint grip_y(my->width() / 2, my->height() / 2);
  QTest::mousePress(my, Qt::LeftButton, {}, grip_y);
  QTest::mouseMove(my, grip_y + QPoint(0, -40));
  QTest::mouseRelease(my, Qt::LeftButton, {}, grip_y + QPoint(0, -40));
  EXPECT_DOUBLE_EQ(g.lblMY.top, 2760);
  QTest::mousePress(my, Qt::LeftButton, {}, grip_y);
  QTest::mouseMove(my, grip_y + QPoint(0, 20));
  QTest::mouseRelease(my, Qt::LeftButton, {}, grip_y + QPoint(0, 20));
  EXPECT_DOUBLE_EQ(g.lblMY.top, 2760 + 20 * TwipsPerPixelY(w()));
  EXPECT_DOUBLE_EQ(g.TS1.top, g.lblMY.top + g.lblMY.height);

  // Shrinking the window pulls the vertical splitter back to W - 2400.
  Resize(500, 560);
  EXPECT_DOUBLE_EQ(g.lblMX.left, std::min(2400 + 30 * TwipsPerPixelX(w()), InnerWidth() - 2400));
}

TEST_F(MainWindowTest, ScrollBarsWriteTheirLabelsAndMultipliers) {
  auto* start = C<QScrollBar>("SStFM");
  const char* expected[] = {"KHz", "MHz", "GHz", "GHz"};
  for (const char* label : expected) {
    QTest::keyClick(start, Qt::Key_Up);
    EXPECT_EQ(Text("lblStFM"), QLatin1String(label));
  }
  EXPECT_EQ(Range().StartMultiplier(), 1e9);
  QTest::keyClick(C<QScrollBar>("SEnFM"), Qt::Key_Down);
  EXPECT_EQ(Text("lblEnFM"), QStringLiteral("Hz"));
  EXPECT_EQ(Range().EndMultiplier(), 1);
  QTest::keyClick(C<QScrollBar>("SOsc"), Qt::Key_Up);
  EXPECT_EQ(Text("lblOsc"), QStringLiteral("3"));
  QTest::keyClick(C<QScrollBar>("SCa"), Qt::Key_Up);
  EXPECT_EQ(Text("lblCa"), QStringLiteral("25"));
}

TEST_F(MainWindowTest, ValueLabelClicksAddOrSubtractAndClamp) {
  struct Case {
    const char* bar;
    const char* label;
    int start;
    Qt::MouseButton button;
    const char* shown;
  };
  const Case cases[] = {
      {"SOsc", "lblOsc", 5, Qt::RightButton, "1"},   {"SOsc", "lblOsc", 5, Qt::LeftButton, "15"},
      {"SOsc", "lblOsc", 95, Qt::LeftButton, "100"}, {"SOsc", "lblOsc", 5, Qt::MiddleButton, "5"},
      {"SCa", "lblCa", 450, Qt::LeftButton, "500"},  {"SCa", "lblCa", 450, Qt::RightButton, "350"},
      {"SCa", "lblCa", 50, Qt::RightButton, "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " from " + std::to_string(c.start));
    SetReversedValue(*C<QScrollBar>(c.bar), c.start);
    QTest::mouseClick(C<QLabel>(c.label), c.button);
    EXPECT_EQ(Text(c.label), QLatin1String(c.shown));
  }
}

TEST_F(MainWindowTest, SeveralChangesWithinATickGiveOneRedraw) {
  WaitForRedraw();  // the start-up redraw is served
  const int before = w().Graphs().redraw_count();
  auto* slider = C<QSlider>("SLog");
  for (int i = 0; i < 3; ++i) QTest::keyClick(slider, Qt::Key_Right);
  EXPECT_EQ(slider->value(), 13);
  EXPECT_DOUBLE_EQ(w().Graphs().LogFloor(), LogFloorForPosition(13));
  EXPECT_EQ(w().Graphs().redraw_count(), before);  // nothing is drawn before the timer's tick
  WaitForRedraw();
  EXPECT_EQ(w().Graphs().redraw_count(), before + 1);
  EXPECT_EQ(w().Graphs().RedrawPending(), 0);
}

TEST_F(MainWindowTest, AvviaValidatesTheFrequencies) {
  struct Case {
    const char* box;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"txtStF", "abc", "La frequenza iniziale deve essere un numero"},
      {"txtStF", "0", "La frequenza iniziale deve essere maggiore o uguale a 0,001"},
      {"txtEnF", "100001", "La frequenza finale deve essere minore o uguale a 100000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Type("txtStF", QStringLiteral("1"));
    Type("txtEnF", QStringLiteral("1"));
    Type(c.box, QLatin1String(c.text));
    C<QPushButton>("cmdStop")->setFocus();
    MessageBoxAnswer answer;
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    EXPECT_TRUE(answer.seen().shown);
    EXPECT_EQ(answer.seen().title, QStringLiteral("Quorvel"));
    EXPECT_EQ(answer.seen().text, QString::fromUtf8(c.message));
    EXPECT_EQ(answer.seen().icon, QMessageBox::Warning);
    EXPECT_EQ(w().focusWidget(), C<QWidget>(c.box));
    EXPECT_EQ(w().Graphs().result().count, 0);
    EXPECT_FALSE(w().Documents().TestModified());
  }
}

// The column of the first pixel of a colour, scanning rows in the middle of the image.
std::optional<int> ColumnOf(const QImage& image, QRgb colour) {
  for (int x = 0; x < image.width(); ++x) {
    for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return x;
    }
  }
  return std::nullopt;
}

TEST_F(MainWindowTest, AvviaSweepsAnRcLowPassAndDrawsBothGraphs) {
  w().resize(800, 600);
  ClickTab(3);  // side by side: both graphs have the same width
  Type("txtStF", QStringLiteral("10"));
  Type("txtEnF", QStringLiteral("10"));  // KHz
  TypeFilter("txtPar", QStringLiteral("RC = 1/(2*3.14159265358979*1000)"));
  TypeFilter("txtFil", QStringLiteral("vo = vo + (vi - vo) * dt / RC"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);

  const SweepResult& result = w().Graphs().result();
  ASSERT_EQ(result.count, 20);
  EXPECT_NEAR(result.points[0].frequency, 10, 1e-9);
  EXPECT_NEAR(result.points[19].frequency, 10000, 1e-6);
  EXPECT_GT(result.points[0].amplitude, 0.95);
  EXPECT_LT(result.points[19].amplitude, 0.2);
  const std::vector<double> cutoffs = CutoffFrequencies(result);
  ASSERT_EQ(cutoffs.size(), 1u);
  EXPECT_NEAR(cutoffs[0], 1000, 150);
  EXPECT_TRUE(w().Documents().TestModified());
  EXPECT_TRUE(C<QPlainTextEdit>("txtRep")->toPlainText().startsWith(
      QStringLiteral("Operazione completata\nDurata simulazione: ")));

  // One cutoff marker on each graph, at the same place.
  const QImage& amplitude = C<GraphSurface>("Grafico1")->image();
  const QImage& phase = C<GraphSurface>("Grafico2")->image();
  ASSERT_EQ(amplitude.size(), phase.size());
  const QRgb marker = qRgb(0, 190, 0);
  const auto x1 = ColumnOf(amplitude, marker);
  const auto x2 = ColumnOf(phase, marker);
  ASSERT_TRUE(x1 && x2);
  EXPECT_EQ(*x1, *x2);
  EXPECT_NEAR(*x1, *FrequencyX(cutoffs[0], 10, 10000, false, amplitude.width()), 1.5);
  EXPECT_TRUE(ColumnOf(amplitude, qRgb(255, 0, 0)).has_value());  // the curve
}

// Presses a button of the running sweep's window after `ms`, and notes when it did.
struct LatePress {
  QElapsedTimer pressed;
  void At(int ms, std::function<QAbstractButton*()> find) {
    QTimer::singleShot(ms, [this, find = std::move(find)] {
      if (QAbstractButton* button = find()) {
        pressed.start();
        QTest::mouseClick(button, Qt::LeftButton);
      }
    });
  }
};

frmStatus* RunningStatusWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* status = qobject_cast<frmStatus*>(widget); status && status->isVisible()) {
      return status;
    }
  }
  return nullptr;
}

TEST_F(MainWindowTest, FermaStopsASpinningFilterWithinHalfASecond) {
  TypeFilter("txtFil", QStringLiteral("while(true){}"));
  LatePress press;
  press.At(300, [this] { return C<QPushButton>("cmdStop"); });
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(press.pressed.isValid());
  EXPECT_LT(press.pressed.elapsed(), 500);
  EXPECT_EQ(w().Graphs().result().count, 0);
  EXPECT_EQ(SB1().Text(2), QStringLiteral("Operazione annullata"));
  EXPECT_TRUE(C<QPlainTextEdit>("txtRep")->toPlainText().startsWith(
      QStringLiteral("Operazione annullata\n")));
  EXPECT_TRUE(C<QPushButton>("cmdStart")->isEnabled());
}

TEST_F(MainWindowTest, AnnullaEndsALongSweepAndTheWindowAnswersMeanwhile) {
  Type("txtStF", QStringLiteral("10"));
  Type("txtEnF", QStringLiteral("100"));
  SetReversedValue(*C<QScrollBar>("SOsc"), 100);
  SetReversedValue(*C<QScrollBar>("SCa"), 500);
  LatePress press;
  bool start_disabled_during_run = false;
  QTimer::singleShot(200, [&] {
    start_disabled_during_run = !C<QPushButton>("cmdStart")->isEnabled();
    w().resize(w().width() + 40, w().height());  // the window still lays itself out
  });
  press.At(400, [] {
    frmStatus* status = RunningStatusWindow();
    return status ? status->cmdCancel() : nullptr;
  });
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(press.pressed.isValid());
  EXPECT_LT(press.pressed.elapsed(), 500);
  EXPECT_TRUE(start_disabled_during_run);
  EXPECT_LT(w().Graphs().result().count, 500);
  EXPECT_TRUE(C<QPlainTextEdit>("txtRep")->toPlainText().startsWith(
      QStringLiteral("Operazione annullata\n")));
  EXPECT_EQ(RunningStatusWindow(), nullptr);
}

TEST_F(MainWindowTest, AsyncCallbackIsCallableByName) {
  qint16 res = 0;
  EXPECT_TRUE(
      QMetaObject::invokeMethod(&w(), "AsyncCallback", Qt::DirectConnection, Q_ARG(qint16&, res)));
}

// Tab reaches the unit arrows and the arrows of "Oscillazioni" and "Campioni"; the arrow keys
// set them.
TEST_F(MainWindowTest, TabReachesEveryArrowAndTheKeysSetIt) {
  C<QLineEdit>("txtStF")->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([this] { return C<QLineEdit>("txtStF")->hasFocus(); }));
  QStringList reached;
  for (int i = 0; i < 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached << QApplication::focusWidget()->objectName();
  }
  for (const char* bar : {"SStFM", "SEnFM", "SOsc", "SCa"}) {
    EXPECT_TRUE(reached.contains(QLatin1String(bar))) << bar;
  }
  EXPECT_LT(reached.indexOf(QStringLiteral("SStFM")), reached.indexOf(QStringLiteral("txtEnF")));
  struct Case {
    const char* bar;
    const char* label;
    const char* shown;
  };
  const Case cases[] = {
      {"SStFM", "lblStFM", "KHz"}, {"SOsc", "lblOsc", "3"}, {"SCa", "lblCa", "25"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bar);
    auto* bar = C<QScrollBar>(c.bar);
    bar->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(Text(c.label), QLatin1String(c.shown));
  }
}

// Texts are whole and clear: the frames' captions and controls below their titles and clear of
// each other, the tab captions whole, the help mode's hint whole at the window's first size, the
// report panel opaque with "Chiudi" off its right edge.
TEST_F(MainWindowTest, TextsAreWholeAndClearOfEachOther) {
  for (const char* frame : {"Frame1", "Frame2", "Frame3"}) {
    testing::ExpectFrameClear(*C<QGroupBox>(frame));
  }
  auto* tabs = C<QTabBar>("TS1");
  EXPECT_EQ(tabs->elideMode(), Qt::ElideNone);
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_GE(tabs->tabRect(i).width(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)))
        << tabs->tabText(i).toStdString();
  }
  QTest::mouseClick(C<QToolButton>("cmdHelp"), Qt::LeftButton);
  ASSERT_EQ(Panel(2),
            QStringLiteral("Premere il tasto CTRL per visualizzare la guida contestuale"));
  testing::ExpectHintWhole(*SB1().Panel(2), Panel(2));

  C<QAction>("MenuShowReport")->trigger();
  auto* report = C<QGroupBox>("fReport");
  ASSERT_TRUE(report->isVisible());
  auto* graph = C<GraphSurface>("Grafico1");
  ASSERT_TRUE(report->geometry().intersects(graph->geometry()));
  // Neither the graph's white nor a red one shows through the panel's margins.
  EXPECT_TRUE(testing::HidesWhatIsUnder(*report, [graph](int picture) {
    QImage image(graph->size(), QImage::Format_RGB32);
    image.fill(picture == 0 ? QColor(Qt::white) : QColor(Qt::red));
    graph->SetImage(std::move(image));
  }));
  testing::ExpectChiudiOffTheEdge(*report);
}

}  // namespace
}  // namespace quorvel
