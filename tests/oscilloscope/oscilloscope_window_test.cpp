#include "oscilloscope/oscilloscope_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <cmath>

#include "oscilloscope_test_support.h"
#include "simulation/run_outcome.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "window_core/twips.h"

namespace quorvel {
namespace {

using testing::BoxAnswers;
using testing::Child;
using testing::OscilloscopeTest;
using testing::OscilloscopeWithMainTest;
using testing::Texts;

QString Report(const Form2& osc) { return Child<ReportPanel>(osc, "fReport")->Report(); }

// The number on the report line that starts with `label`; -1 when there is none.
int ReportCount(const QString& report, const char* label) {
  for (const QString& line : report.split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1String(label))) {
      bool ok = false;
      const int value = line.mid(static_cast<int>(qstrlen(label))).toInt(&ok);
      return ok ? value : -1;
    }
  }
  return -1;
}

double LargestOutput(const TimeTrace& trace) {
  double largest = 0;
  for (int i = 0; i < trace.count; ++i) {
    largest = std::max(largest, std::fabs(trace.outputs[static_cast<std::size_t>(i)]));
  }
  return largest;
}

TEST_F(OscilloscopeTest, StartsWithItsCaptionsRangesAndDefaults) {
  Form2& osc = Open();
  EXPECT_EQ(osc.windowTitle(), QStringLiteral("Oscilloscopio"));
  EXPECT_TRUE(osc.isWindow());
  EXPECT_EQ(C<QGroupBox>(osc, "Frame1")->title(), QStringLiteral("Strumenti"));
  EXPECT_EQ(C<QGroupBox>(osc, "Frame2")->title(), QStringLiteral("Parametri del filtro"));
  EXPECT_FALSE(C<QGroupBox>(osc, "Frame2")->isVisible());
  auto* waveforms = C<QComboBox>(osc, "cmbWF");
  EXPECT_TRUE(waveforms->isEditable());
  ASSERT_EQ(waveforms->count(), 9);
  EXPECT_EQ(waveforms->itemText(8), QStringLiteral("rumore"));
  EXPECT_EQ(waveforms->currentText(), QStringLiteral("sinusoidale"));

  struct Bar {
    const char* name;
    int minimum;
    int maximum;
    int value;
  };
  const Bar bars[] = {{"SVDivI", 0, 12, 6}, {"SVDivO", 0, 12, 6}, {"SStFM", 0, 3, -1},
                      {"SEnFM", 0, 3, -1},  {"SOsc", 1, 100, -1}, {"SCa", 100, 2000, -1}};
  for (const Bar& b : bars) {
    SCOPED_TRACE(b.name);
    auto* bar = C<QScrollBar>(osc, b.name);
    EXPECT_EQ(bar->minimum(), b.minimum);
    EXPECT_EQ(bar->maximum(), b.maximum);
    if (b.value >= 0) {
      EXPECT_EQ(bar->value(), b.value);
    }
  }
  EXPECT_EQ(C<QScrollBar>(osc, "SCa")->singleStep(), 100);
  EXPECT_EQ(C<QScrollBar>(osc, "SCa")->pageStep(), 100);
  for (const char* name : {"SFF", "SPar"}) {
    SCOPED_TRACE(name);
    auto* slider = C<QSlider>(osc, name);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->tickInterval(), 10);
  }
  EXPECT_EQ(C<QSlider>(osc, "SFF")->value(), 0);
  EXPECT_EQ(C<QLineEdit>(osc, "txtVDivI")->text(), QStringLiteral("1"));
  EXPECT_EQ(C<QLineEdit>(osc, "txtVDivO")->text(), QStringLiteral("1"));
  EXPECT_EQ(C<QLineEdit>(osc, "txtStF")->text(), QStringLiteral("1"));
  EXPECT_EQ(C<QLineEdit>(osc, "txtEnF")->text(), QStringLiteral("1"));
  const std::pair<const char*, const char*> captions[] = {{"cmdAgg", "Aggiorna"},
                                                          {"cmdStop", "Ferma"},
                                                          {"cmdAddP", "Aggiungi"},
                                                          {"cmdRmvP", "Rimuovi"}};
  for (const auto& [name, caption] : captions) {
    EXPECT_EQ(C<QPushButton>(osc, name)->text(), QLatin1String(caption)) << name;
  }
  EXPECT_TRUE(C<QWidget>(osc, "cmdHelp")->isEnabled());

  StatusPanels& sb = *C<StatusPanels>(osc, "SB1");
  EXPECT_EQ(sb.Text(2), QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_EQ(sb.Tag(3), QStringLiteral("s"));
  const char* tips[] = {"Tempo", "vi", "vo"};
  for (int panel = 3; panel <= 5; ++panel) {
    EXPECT_EQ(sb.Text(panel), QStringLiteral("/"));
    EXPECT_EQ(sb.Panel(panel)->toolTip(), QLatin1String(tips[panel - 3]));
  }
}

TEST_F(OscilloscopeTest, MenusHoldEveryEntry) {
  Form2& osc = Open();
  struct Entry {
    const char* name;
    const char* caption;
    bool checkable;
    bool checked;
    bool enabled;
  };
  const Entry entries[] = {
      {"MenuFileSalva", "&Salva", false, false, true},
      {"MenuFileSalvaGrafico", "Salva &grafico...", false, false, true},
      {"MenuFileEsportaDati", "Esporta &dati...", false, false, true},
      {"MenuFileChiudi", "&Chiudi", false, false, true},
      {"MenuEditCopia", "&Copia", false, false, true},
      {"MenuEditCopiaDati", "Copia &dati", false, false, true},
      {"MenuShowSepSign", "&Separa segnali", true, false, true},
      {"MenuShowPD", "&Densità punti", true, false, true},
      {"MenuShowFil", "&Filtro", true, false, true},
      {"MenuShowUnitS", "&Secondi", true, true, true},
      {"MenuShowUnitDeg", "&Gradi", true, false, true},
      {"MenuShowReport", "&Report...", false, false, true},
      {"MenuToolsParF", "Filtro &parametrico", true, false, true},
      {"MenuHelpGuida", "&Guida...", false, false, true},
      {"MenuHelpInfo", "&Informazioni...", false, false, true},
      {"MenuHelpLogo", "&Logo...", false, false, true},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    QAction* action = C<QAction>(osc, e.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(e.caption));
    EXPECT_EQ(action->isCheckable(), e.checkable);
    EXPECT_EQ(action->isChecked(), e.checked);
    EXPECT_EQ(action->isEnabled(), e.enabled);
  }
  QStringList titles;
  for (QAction* menu : osc.menuBar()->actions()) titles << menu->text();
  EXPECT_EQ(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Modifica"),
                                 QStringLiteral("&Visualizza"), QStringLiteral("&Strumenti"),
                                 QStringLiteral("&?")}));
  EXPECT_EQ(C<QMenu>(osc, "MenuShowGraf")->title(), QStringLiteral("&Grafico"));
  EXPECT_EQ(C<QMenu>(osc, "MenuShowUnit")->title(), QStringLiteral("&Unità di misura"));
}

TEST_F(OscilloscopeWithMainTest, OpeningCopiesTheFrequencySettingsAndReopeningKeepsEverything) {
  SetReversedValue(*Child<QScrollBar>(main(), "SStFM"), 1);
  SetReversedValue(*Child<QScrollBar>(main(), "SEnFM"), 2);
  SetReversedValue(*Child<QScrollBar>(main(), "SOsc"), 7);
  SetReversedValue(*Child<QScrollBar>(main(), "SCa"), 45);
  Child<QLineEdit>(main(), "txtStF")->setText(QStringLiteral("2"));
  Child<QLineEdit>(main(), "txtEnF")->setText(QStringLiteral("3"));
  Child<QAction>(main(), "MenuToolsOsc")->trigger();
  Form2* osc = main().oscilloscope();
  ASSERT_NE(osc, nullptr);
  EXPECT_TRUE(IsFormLoaded(QStringLiteral("Form2")));
  EXPECT_EQ(C<QLabel>(*osc, "lblStFM")->text(), QStringLiteral("KHz"));
  EXPECT_EQ(C<QLabel>(*osc, "lblEnFM")->text(), QStringLiteral("MHz"));
  EXPECT_EQ(osc->StartMultiplier(), 1000);
  EXPECT_EQ(C<QLabel>(*osc, "lblOsc")->text(), QStringLiteral("7"));
  EXPECT_EQ(C<QLabel>(*osc, "lblCa")->text(), QStringLiteral("1000"));  // not copied
  EXPECT_EQ(C<QLineEdit>(*osc, "txtStF")->text(), QStringLiteral("2"));
  EXPECT_EQ(C<QLineEdit>(*osc, "txtEnF")->text(), QStringLiteral("3"));
  // Keep the run short, then let it run.
  SetReversedValue(*C<QScrollBar>(*osc, "SOsc"), 1);
  SetReversedValue(*C<QScrollBar>(*osc, "SCa"), 100);
  ASSERT_TRUE(WaitForRuns(*osc, 1));
  EXPECT_DOUBLE_EQ(osc->last_run().frequency, 2000);
  const int samples = osc->trace().count;
  ASSERT_GT(samples, 0);
  const QString report = Report(*osc);
  EXPECT_TRUE(report.startsWith(QStringLiteral("Operazione completata\n")));
  QTest::keyClick(C<QScrollBar>(*osc, "SVDivO"), Qt::Key_Right);

  // Closing only hides; the next opening shows the same window as it was.
  osc->close();
  EXPECT_FALSE(osc->isVisible());
  EXPECT_TRUE(osc->StopRequested());
  Child<QLineEdit>(main(), "txtStF")->setText(QStringLiteral("5"));
  Child<QAction>(main(), "MenuToolsOsc")->trigger();
  EXPECT_EQ(main().oscilloscope(), osc);
  EXPECT_TRUE(osc->isVisible());
  EXPECT_EQ(C<QLineEdit>(*osc, "txtStF")->text(), QStringLiteral("2"));
  EXPECT_EQ(C<QLineEdit>(*osc, "txtVDivO")->text(), QStringLiteral("2"));
  EXPECT_EQ(osc->trace().count, samples);
  EXPECT_EQ(Report(*osc), report);
  EXPECT_EQ(osc->run_count(), 1);
}

TEST_F(OscilloscopeTest, ClosingForGoodOnceTheMainWindowCloses) {
  Form2& osc = Open();
  host().closing = true;
  EXPECT_TRUE(osc.close());
  EXPECT_FALSE(osc.isVisible());
}

TEST_F(OscilloscopeTest, ValueLabelClicksAddOrSubtractAndClamp) {
  Form2& osc = Open();
  struct Case {
    const char* bar;
    const char* label;
    int start;
    Qt::MouseButton button;
    const char* shown;
  };
  const Case cases[] = {
      {"SCa", "lblCa", 1900, Qt::LeftButton, "2000"},
      {"SCa", "lblCa", 1000, Qt::RightButton, "500"},
      {"SCa", "lblCa", 300, Qt::RightButton, "100"},
      {"SCa", "lblCa", 300, Qt::MiddleButton, "300"},
      {"SOsc", "lblOsc", 95, Qt::LeftButton, "100"},
      {"SOsc", "lblOsc", 5, Qt::RightButton, "1"},
      {"SOsc", "lblOsc", 5, Qt::LeftButton, "15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " from " + std::to_string(c.start));
    SetReversedValue(*C<QScrollBar>(osc, c.bar), c.start);
    osc.DropRequests();
    QTest::mouseClick(C<QLabel>(osc, c.label), c.button);
    EXPECT_EQ(C<QLabel>(osc, c.label)->text(), QLatin1String(c.shown));
    EXPECT_FALSE(osc.RunRequested());
  }
}

TEST_F(OscilloscopeTest, SettingsAskForRunsAndRedrawsAsThey) {
  Form2& osc = OpenAndRun();
  struct Case {
    const char* control;
    Qt::Key key;
    bool run;
    bool redraw;
    const char* label;
    const char* text;
  };
  const Case cases[] = {
      {"SFF", Qt::Key_PageUp, true, false, nullptr, nullptr},
      {"SStFM", Qt::Key_Up, false, false, "lblStFM", "KHz"},
      {"SEnFM", Qt::Key_Down, false, false, "lblEnFM", "Hz"},
      {"SOsc", Qt::Key_Up, false, false, "lblOsc", "2"},
      {"SCa", Qt::Key_Up, false, false, "lblCa", "200"},
      {"SVDivI", Qt::Key_Home, false, true, nullptr, nullptr},
      {"SVDivO", Qt::Key_End, false, true, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    osc.DropRequests();
    QTest::keyClick(C<QWidget>(osc, c.control), c.key);
    EXPECT_EQ(osc.RunRequested(), c.run);
    EXPECT_EQ(osc.RedrawRequested(), c.redraw);
    if (c.label) {
      EXPECT_EQ(C<QLabel>(osc, c.label)->text(), QLatin1String(c.text));
    }
  }
  EXPECT_EQ(C<QLineEdit>(osc, "txtVDivI")->text(), QStringLiteral("0,01"));
  EXPECT_EQ(C<QLineEdit>(osc, "txtVDivO")->text(), QStringLiteral("100"));
  EXPECT_EQ(osc.StartMultiplier(), 1000);
  EXPECT_EQ(osc.EndMultiplier(), 1);
  osc.DropRequests();
  QTest::mouseClick(C<QPushButton>(osc, "cmdAgg"), Qt::LeftButton);
  EXPECT_TRUE(osc.RunRequested());
}

TEST_F(OscilloscopeTest, EachWaveformRunsThroughTheWindow) {
  Form2& osc = OpenAndRun();
  auto* waveforms = C<QComboBox>(osc, "cmbWF");
  const QStringList names = WaveformNames();
  for (int i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i].toStdString());
    if (i > 0) {
      QTest::keyClick(waveforms, Qt::Key_Down);  // picks the next entry; the release asks
      ASSERT_TRUE(WaitForRuns(osc, i + 1));
    }
    EXPECT_EQ(waveforms->currentText(), names[i]);
    EXPECT_GT(osc.trace().count, 90);
    const QString report = Report(osc);
    // Jumps of the input shrink the step below its minimum, which counts time-step errors;
    // any other error is a failing statement.
    EXPECT_EQ(ReportCount(report, "Errori totali: "), ReportCount(report, "Errori di timestep: "))
        << report.toStdString();
    EXPECT_EQ(ReportCount(report, "Errori di overflow: "), 0);
    EXPECT_TRUE(report.contains(QStringLiteral("Segnale in ingresso (f = 1 Hz):\n") + names[i]));
  }
  // A typed statement runs on Enter only.
  waveforms->lineEdit()->selectAll();
  QTest::keyClicks(waveforms->lineEdit(), QStringLiteral("vi = 0.5"));
  WaitForTick(osc);
  EXPECT_EQ(osc.run_count(), names.size());
  QTest::keyClick(waveforms->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(WaitForRuns(osc, static_cast<int>(names.size()) + 1));
  EXPECT_EQ(waveforms->count(), 9);  // a typed statement is not added to the list
  ASSERT_GT(osc.trace().count, 0);
  EXPECT_DOUBLE_EQ(osc.trace().inputs[0], 0.5);
  EXPECT_DOUBLE_EQ(osc.trace().outputs[0], 0.5);
  EXPECT_TRUE(Report(osc).contains(QStringLiteral("(f = 1 Hz):\nvi = 0.5")));
}

constexpr const char* kNotAName =
    "Il nome del parametro può contenere solo lettere, cifre e \"_\" e non può iniziare con "
    "una cifra";

TEST_F(OscilloscopeTest, AddingAParameterAsksThreeQuestions) {
  struct Case {
    const char* name;
    std::vector<const char*> answers;
    std::vector<const char*> messages;
    std::vector<const char*> items;
  };
  const QString max_prompt_5 = QStringLiteral("Inserire il valore massimo (>=5):");
  const Case cases[] = {
      {"equal bounds", {"p", "5", "5"}, {}, {"p 50% [5;5]"}},
      {"maximum below minimum",
       {"p", "5", "4", "6"},
       {"Il valore massimo deve essere maggiore del minimo (5)"},
       {"p 50% [5;6]"}},
      {"point as decimal separator", {"a", "0.5", "1.25"}, {}, {"a 50% [0,5;1,25]"}},
      {"name with a blank",
       {"a b", "ab", "0", "1"},
       {"Il nome del parametro non deve contenere spazi"},
       {"ab 50% [0;1]"}},
      {"minimum not a number",
       {"a", "x", "-1", "1"},
       {"Il valore minimo deve essere un numero"},
       {"a 50% [-1;1]"}},
      {"maximum not a number",
       {"a", "0", "y", "2"},
       {"Il valore massimo deve essere un numero"},
       {"a 50% [0;2]"}},
      {"name that is not an identifier",
       {"Math.random", "_k2", "0", "1"},
       {"Il nome del parametro può contenere solo lettere, cifre e \"_\" e non può iniziare "
        "con una cifra"},
       {"_k2 50% [0;1]"}},
      {"name starting with a digit", {"2k", "", "0"}, {kNotAName}, {}},
      {"name with a dollar sign", {"k$", nullptr}, {kNotAName}, {}},
      {"name with an operator", {"a=b;c", "x(", nullptr}, {kNotAName, kNotAName}, {}},
      {"empty answer", {"a", ""}, {}, {}},
      {"cancelled box", {"a", "0", nullptr}, {}, {}},
  };
  Form2& osc = Open();
  auto* list = C<QListWidget>(osc, "lstPar");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list->clear();
    osc.DropRequests();
    BoxAnswers answers(Texts(c.answers));
    QTest::mouseClick(C<QPushButton>(osc, "cmdAddP"), Qt::LeftButton);
    EXPECT_EQ(answers.Messages(), Texts(c.messages));
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    EXPECT_EQ(items, Texts(c.items));
    EXPECT_FALSE(osc.RunRequested());
    for (const testing::SeenBox& box : answers.seen()) {
      EXPECT_EQ(box.title,
                box.input ? QStringLiteral("Defininizione parametro") : QStringLiteral("Errore"));
      if (!box.input) {
        EXPECT_EQ(box.icon, QMessageBox::Warning);
      }
    }
  }
  // The questions, and the maximum's naming the minimum.
  list->clear();
  BoxAnswers answers(Texts({"p", "5", "4", "5"}));
  QTest::mouseClick(C<QPushButton>(osc, "cmdAddP"), Qt::LeftButton);
  EXPECT_EQ(answers.Prompts(), (QStringList{QStringLiteral("Inserire il nome del parametro:"),
                                            QStringLiteral("Inserire il valore minimo:"),
                                            max_prompt_5, max_prompt_5}));
}

QPoint ItemCentre(QListWidget& list, int row) {
  return list.visualItemRect(list.item(row)).center();
}

TEST_F(OscilloscopeTest, RightClickEditsTheItemAndAnyClickMovesTheSlider) {
  Form2& osc = Open();
  auto* list = C<QListWidget>(osc, "lstPar");
  auto* slider = C<QSlider>(osc, "SPar");
  list->addItem(QStringLiteral("k 30% [0;10]"));
  list->setCurrentRow(0);
  ASSERT_EQ(slider->value(), 0);
  {
    BoxAnswers answers(Texts({"k", "0", "20"}));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, ItemCentre(*list, 0));
    EXPECT_EQ(answers.Offered(),
              (QStringList{QStringLiteral("k"), QStringLiteral("0"), QStringLiteral("10")}));
  }
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("k 30% [0;20]"));
  EXPECT_EQ(slider->value(), 30);
  EXPECT_TRUE(osc.RunRequested());

  // A cancelled edit changes nothing but still moves the slider to the item's percent.
  list->item(0)->setText(QStringLiteral("k 70% [0;20]"));
  {
    BoxAnswers answers(Texts({nullptr}));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, ItemCentre(*list, 0));
    EXPECT_EQ(answers.seen().size(), 1u);
  }
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("k 70% [0;20]"));
  EXPECT_EQ(slider->value(), 70);

  // A left click asks nothing.
  list->item(0)->setText(QStringLiteral("k 40% [0;20]"));
  {
    BoxAnswers none(QStringList{});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, ItemCentre(*list, 0));
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(slider->value(), 40);

  // An edit that offers a name that is not an identifier is refused; cancelling the question
  // asked again leaves the item as it was.
  {
    BoxAnswers answers(Texts({"Math.random", nullptr}));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, ItemCentre(*list, 0));
    EXPECT_EQ(answers.Messages(), Texts({kNotAName}));
  }
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("k 40% [0;20]"));
}

TEST_F(OscilloscopeTest, RemovingSelectsTheItemAtTheSamePlace) {
  struct Case {
    const char* name;
    std::vector<const char*> items;
    int selected;
    std::vector<const char*> left;
    int now_selected;
  };
  const Case cases[] = {
      {"middle",
       {"a 50% [0;1]", "b 50% [0;1]", "c 50% [0;1]"},
       1,
       {"a 50% [0;1]", "c 50% [0;1]"},
       1},
      {"last", {"a 50% [0;1]", "b 50% [0;1]"}, 1, {"a 50% [0;1]"}, 0},
      {"only", {"a 50% [0;1]"}, 0, {}, -1},
      {"none selected", {"a 50% [0;1]"}, -1, {"a 50% [0;1]"}, -1},
  };
  Form2& osc = Open();
  auto* list = C<QListWidget>(osc, "lstPar");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list->clear();
    list->addItems(Texts(c.items));
    list->setCurrentRow(c.selected);
    osc.DropRequests();
    QTest::mouseClick(C<QPushButton>(osc, "cmdRmvP"), Qt::LeftButton);
    QStringList left;
    for (int i = 0; i < list->count(); ++i) left << list->item(i)->text();
    EXPECT_EQ(left, Texts(c.left));
    EXPECT_EQ(list->currentRow(), c.now_selected);
    EXPECT_EQ(list->selectedItems().size(), c.now_selected >= 0 ? 1 : 0);
    EXPECT_FALSE(osc.RunRequested());
  }
}

TEST_F(OscilloscopeTest, AParametricFilterFollowsItsSlider) {
  host().functions = QStringLiteral("vo = vi * g");
  Form2& osc = OpenAndRun();
  // Without the parameter panel the list takes no part: g is unknown, and the run says so.
  EXPECT_GT(ReportCount(Report(osc), "Errori totali: "), 0);

  Child<QAction>(osc, "MenuToolsParF")->trigger();
  EXPECT_TRUE(Child<QAction>(osc, "MenuToolsParF")->isChecked());
  EXPECT_TRUE(C<QGroupBox>(osc, "Frame2")->isVisible());
  EXPECT_DOUBLE_EQ(osc.geometry_twips().Grafico1.left, osc.geometry_twips().Frame2.width);
  {
    BoxAnswers answers(Texts({"g", "0", "2"}));
    QTest::mouseClick(C<QPushButton>(osc, "cmdAddP"), Qt::LeftButton);
  }
  auto* list = C<QListWidget>(osc, "lstPar");
  ASSERT_EQ(list->count(), 1);
  auto* slider = C<QSlider>(osc, "SPar");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, ItemCentre(*list, 0));
  EXPECT_EQ(slider->value(), 50);  // a change: the item is rewritten and a run asked for
  ASSERT_TRUE(WaitForRuns(osc, 2));
  EXPECT_EQ(ReportCount(Report(osc), "Errori totali: "), 0);
  EXPECT_NEAR(LargestOutput(osc.trace()), 1, 0.01);

  struct Step {
    Qt::Key key;
    const char* item;
    double amplitude;
  };
  const Step steps[] = {{Qt::Key_End, "g 100% [0;2]", 2},
                        {Qt::Key_Home, "g 0% [0;2]", 0},
                        {Qt::Key_PageUp, "g 10% [0;2]", 0.2}};
  int runs = osc.run_count();
  for (const Step& s : steps) {
    SCOPED_TRACE(s.item);
    QTest::keyClick(slider, s.key);
    EXPECT_EQ(list->item(0)->text(), QLatin1String(s.item));
    ASSERT_TRUE(WaitForRuns(osc, ++runs));
    EXPECT_NEAR(LargestOutput(osc.trace()), s.amplitude, 0.01);
  }

  // Unmarked, the panel goes and the screen takes the whole width again.
  Child<QAction>(osc, "MenuToolsParF")->trigger();
  EXPECT_FALSE(C<QGroupBox>(osc, "Frame2")->isVisible());
  EXPECT_DOUBLE_EQ(osc.geometry_twips().Grafico1.left, 0);
}

// Presses a button after `ms`, noting when.
struct LatePress {
  QElapsedTimer pressed;
  void At(int ms, QAbstractButton* button, std::function<void()> before = {}) {
    QTimer::singleShot(ms, [this, button, before = std::move(before)] {
      if (before) before();
      pressed.start();
      QTest::mouseClick(button, Qt::LeftButton);
    });
  }
};

TEST_F(OscilloscopeTest, FermaStopsASpinningFilter) {
  host().functions = QStringLiteral("while(true){}");
  Form2& osc = Open();
  LatePress press;
  press.At(400, C<QPushButton>(osc, "cmdStop"));
  ASSERT_TRUE(WaitForRuns(osc, 1, 5000));
  ASSERT_TRUE(press.pressed.isValid());
  EXPECT_LT(press.pressed.elapsed(), 1000);
  EXPECT_TRUE(Report(osc).startsWith(QStringLiteral("Operazione annullata\n")));
  EXPECT_TRUE(osc.StopRequested());
}

TEST_F(OscilloscopeTest, ARequestMadeDuringARunIsServedAfterIt) {
  host().functions = QStringLiteral("while(true){}");
  Form2& osc = Open();
  LatePress again;
  LatePress stop;
  again.At(300, C<QPushButton>(osc, "cmdAgg"));
  // The next run sees a filter that ends.
  stop.At(600, C<QPushButton>(osc, "cmdStop"),
          [this] { host().functions = QStringLiteral("vo=vi"); });
  ASSERT_TRUE(WaitForRuns(osc, 2, 10000));
  EXPECT_EQ(osc.run_count(), 2);
  EXPECT_TRUE(Report(osc).startsWith(QStringLiteral("Operazione completata\n")));
}

TEST_F(OscilloscopeTest, InvalidFrequencyTextsPreventTheRunSilently) {
  Form2& osc =
      Open([](Form2& o) { Child<QLineEdit>(o, "txtStF")->setText(QStringLiteral("0,0001")); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RunRequested(); }));
  EXPECT_EQ(osc.run_count(), 0);
  EXPECT_EQ(osc.trace().count, 0);
  EXPECT_FALSE(osc.RunRequested());
  Child<QLineEdit>(osc, "txtStF")->setText(QStringLiteral("1"));
  Child<QLineEdit>(osc, "txtEnF")->setText(QStringLiteral("abc"));
  QTest::mouseClick(C<QPushButton>(osc, "cmdAgg"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RunRequested(); }));
  EXPECT_EQ(osc.run_count(), 0);
}

// A fixed dt from the parameters that cannot make time advance is refused before the run, with
// its message; the screen keeps what it showed.
TEST_F(OscilloscopeTest, ABadFixedStepIsRefusedWithItsMessage) {
  host().parameters = QStringLiteral("dt = -1");
  BoxAnswers answers(QStringList{});
  Form2& osc = Open();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.Messages().isEmpty(); }, 5000));
  EXPECT_EQ(answers.Messages(), QStringList{QString::fromUtf16(kBadFixedStepMessage)});
  EXPECT_EQ(answers.seen().back().icon, QMessageBox::Warning);
  EXPECT_EQ(osc.run_count(), 0);
  EXPECT_EQ(osc.trace().count, 0);
  EXPECT_FALSE(osc.running());
}

// A minimized oscilloscope comes back on "Oscilloscopio...".
TEST_F(OscilloscopeWithMainTest, AMinimizedOscilloscopeIsRestoredByTheToolsMenu) {
  Form2& osc = Open();
  osc.showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&osc] { return osc.isMinimized(); }));
  Child<QAction>(main(), "MenuToolsOsc")->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&osc] { return !osc.isMinimized() && osc.isVisible(); }));
  EXPECT_EQ(main().oscilloscope(), &osc);
}

// A click in the trough of a V/Div bar moves one position, as an arrow does.
TEST_F(OscilloscopeTest, AClickInTheVoltsPerDivisionTroughMovesOnePosition) {
  Form2& osc = Open();
  for (const auto& [bar_name, box] :
       {std::pair{"SVDivI", "txtVDivI"}, std::pair{"SVDivO", "txtVDivO"}}) {
    SCOPED_TRACE(bar_name);
    auto* bar = C<QScrollBar>(osc, bar_name);
    ASSERT_EQ(bar->value(), 6);
    EXPECT_EQ(bar->pageStep(), 1);
    // Between the handle (in the middle) and the right arrow.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    EXPECT_EQ(bar->value(), 7);
    EXPECT_EQ(C<QLineEdit>(osc, box)->text(), QStringLiteral("2"));
  }
}

// Tab reaches every arrow of the tools frame (the units, "Oscillazioni", "Campioni", both V/Div
// bars), and the arrow keys set it.
TEST_F(OscilloscopeTest, TabReachesEveryArrowAndTheKeysSetIt) {
  Form2& osc = Open();
  osc.activateWindow();
  QApplication::setActiveWindow(&osc);
  auto* start = C<QLineEdit>(osc, "txtStF");
  start->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([start] { return start->hasFocus(); }));
  QStringList reached;
  for (int i = 0; i < 30; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached << QApplication::focusWidget()->objectName();
  }
  const struct {
    const char* bar;
    const char* shows;  // the label or box that shows its value
  } cases[] = {{"SStFM", "lblStFM"}, {"SEnFM", "lblEnFM"},   {"SOsc", "lblOsc"},
               {"SCa", "lblCa"},     {"SVDivI", "txtVDivI"}, {"SVDivO", "txtVDivO"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bar);
    EXPECT_TRUE(reached.contains(QLatin1String(c.bar))) << reached.join(u' ').toStdString();
    auto* bar = C<QScrollBar>(osc, c.bar);
    bar->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->hasFocus(); }));
    auto shown = [&osc, &c] {
      if (auto* label = osc.findChild<QLabel*>(QLatin1String(c.shows))) return label->text();
      return C<QLineEdit>(osc, c.shows)->text();
    };
    const QString before = shown();
    // One arrow, or the other one at the end of the range.
    const bool horizontal = bar->orientation() == Qt::Horizontal;
    QTest::keyClick(bar, horizontal ? Qt::Key_Right : Qt::Key_Up);
    if (shown() == before) QTest::keyClick(bar, horizontal ? Qt::Key_Left : Qt::Key_Down);
    EXPECT_NE(shown(), before);
  }
}

}  // namespace
}  // namespace quorvel
