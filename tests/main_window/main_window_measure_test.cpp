// How the main window measures: "Strumenti" > "Misura precisa" chooses the sweep's method (kept
// in the test file only when on), and a run's script errors show in the status bar and after
// the report, while a text that the engine would refuse at every step is refused before the run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "documents/record_codec.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "simulation/filter_text_check.h"
#include "widgets/report_panel.h"

namespace quorvel {
namespace {

using testing::ModalAnswers;

// A first-order low-pass at 100 Hz, swept from 10 Hz to 1 kHz: quick with either method.
const QString kRcParameters = QStringLiteral("RC = 1/(2*3.14159265358979*100)");
const QString kRcFunctions = QStringLiteral("vo = vo + (vi - vo) * dt / RC");
constexpr double kRcCutoff = 100;
constexpr char kPreciseLine[] = "Metodo di misura: precisa";

class MeasureTest : public testing::MainWindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    MainWindowFixture::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QAction* Precise() { return C<QAction>("MenuToolsPrecisa"); }
  QString Report() { return C<ReportPanel>("fReport")->Report(); }
  static QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // "Misura precisa" chosen as the user does: Alt+S opens "Strumenti", P picks the entry.
  void ChoosePrecise() {
    Activate();
    auto* tools = C<QMenu>("MenuTools");
    QTest::keyClick(&w(), Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tools->isVisible(); }));
    QTest::keyClick(tools, Qt::Key_P);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->isVisible(); }));
  }
  void RcSweep() {
    Type("txtStF", QStringLiteral("10"));
    Type("txtEnF", QStringLiteral("1"));  // KHz
    SetReversedValue(*C<QScrollBar>("SCa"), 5);
    SetReversedValue(*C<QScrollBar>("SOsc"), 2);
    TypeFilter("txtPar", kRcParameters);
    TypeFilter("txtFil", kRcFunctions);
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  }
  // The worst amplitude error (relative) and phase error (degrees) of the shown result against
  // the low-pass's analytic response.
  std::pair<double, double> RcErrors() {
    const SweepResult& result = w().Graphs().result();
    double amplitude = 0;
    double phase = 0;
    for (int i = 0; i < result.count; ++i) {
      const ResponsePoint& p = result.points[static_cast<std::size_t>(i)];
      const double x = p.frequency / kRcCutoff;
      amplitude = std::max(amplitude, std::abs(p.amplitude * std::sqrt(1 + x * x) - 1));
      phase = std::max(phase, std::abs(p.phase + std::atan(x) * 180 / std::numbers::pi));
    }
    return {amplitude, phase};
  }

  QTemporaryDir dir_;
};

TEST_F(MeasureTest, MisuraPrecisaSweepsWithThePreciseMethod) {
  EXPECT_EQ(Precise()->text(), QStringLiteral("Misura &precisa"));
  EXPECT_TRUE(Precise()->isCheckable());
  EXPECT_FALSE(Precise()->isChecked());
  EXPECT_TRUE(C<QMenu>("MenuTools")->actions().contains(Precise()));

  // The classic method, as before: no method line, and the start-up transient in the amplitude.
  RcSweep();
  ASSERT_EQ(w().Graphs().result().count, 5);
  EXPECT_FALSE(Report().contains(QLatin1String(kPreciseLine)));
  const auto [classic_amplitude, classic_phase] = RcErrors();
  EXPECT_GT(classic_amplitude, 0.01);

  w().Documents().SetTestModified(false);
  ChoosePrecise();
  EXPECT_TRUE(Precise()->isChecked());
  EXPECT_TRUE(w().Documents().TestModified());
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_EQ(w().Graphs().result().count, 5);
  const QString report = Report();
  EXPECT_TRUE(report.contains(QStringLiteral("Errori di overflow: 0\n") +
                              QLatin1String(kPreciseLine) + u'\n'))
      << report.toStdString();
  const auto [amplitude, phase] = RcErrors();
  EXPECT_LT(amplitude, 0.001);
  EXPECT_LT(phase, 0.2);

  // Chosen again: off, and the next sweep is classic again.
  ChoosePrecise();
  EXPECT_FALSE(Precise()->isChecked());
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  EXPECT_FALSE(Report().contains(QLatin1String(kPreciseLine)));
  EXPECT_DOUBLE_EQ(RcErrors().first, classic_amplitude);
  EXPECT_DOUBLE_EQ(RcErrors().second, classic_phase);
}

TEST_F(MeasureTest, TheMethodIsSavedOnlyWhenPreciseAndOpenedWithItsPreview) {
  TypeFilter("txtPar", kRcParameters);
  TypeFilter("txtFil", kRcFunctions);
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("classic.flt")));
  const QByteArray classic = Bytes(Path("classic.flt"));
  EXPECT_FALSE(classic.contains("MetPrec"));

  ChoosePrecise();
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("precise.flt")));
  const auto records = DecodeRecords(Bytes(Path("precise.flt")));
  ASSERT_TRUE(records.ok());
  ASSERT_EQ(records.value().size(), 23u);  // the header, 21 records, then "MetPrec"
  EXPECT_EQ(records.value()[22].key, QStringLiteral("MetPrec"));
  EXPECT_EQ(records.value()[22].value, BooleanValue(true));

  // Off again: the same bytes as a test that never had it.
  ChoosePrecise();
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("off-again.flt")));
  EXPECT_EQ(Bytes(Path("off-again.flt")), classic);

  // Opened in a new window: the entry is on, and the preview sweep measures with it.
  OpenWindow();
  w().OpenFile(Path("precise.flt"));
  ASSERT_EQ(w().Documents().TestPath(), Path("precise.flt"));
  EXPECT_TRUE(Precise()->isChecked());
  EXPECT_FALSE(w().Documents().TestModified());
  EXPECT_EQ(w().Graphs().result().count, 7);
  EXPECT_TRUE(Report().contains(QLatin1String(kPreciseLine)));
  EXPECT_TRUE(w().Documents().CollectTestDocument().precise_method);

  // A file without the record opens with the classic method, whatever was on before.
  w().OpenFile(Path("classic.flt"));
  ASSERT_EQ(w().Documents().TestPath(), Path("classic.flt"));
  EXPECT_FALSE(Precise()->isChecked());
  EXPECT_FALSE(Report().contains(QLatin1String(kPreciseLine)));
}

TEST_F(MeasureTest, NuovoTurnsThePreciseMethodOff) {
  ChoosePrecise();
  ASSERT_TRUE(Precise()->isChecked());
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::No)});
  Activate();
  QTest::keyClick(C<QPushButton>("cmdStop"), Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(answers.answered(), 1u);  // the entry had made the test modified
  EXPECT_EQ(answers.messages()[0].text, QStringLiteral("Salvare il test?"));
  EXPECT_FALSE(Precise()->isChecked());
  EXPECT_FALSE(w().Documents().TestModified());
  EXPECT_FALSE(w().Documents().CollectTestDocument().precise_method);
}

// A syntax error fails at every step: the status bar names it with its text and line at once,
// the report keeps its own lines and lists the error after them; the next clean run clears the
// status.
TEST_F(MeasureTest, ASyntaxErrorIsShownWithItsLineAfterTheRun) {
  EXPECT_EQ(Panel(2), QStringLiteral("Ombrat - Ferrolt"));
  TypeFilter("txtFil", QStringLiteral("vo = vi"));
  QTest::keyClick(C<QPlainTextEdit>("txtFil"), Qt::Key_Return);
  QTest::keyClicks(C<QPlainTextEdit>("txtFil"), QStringLiteral("vo = (vi * )"));
  SetReversedValue(*C<QScrollBar>("SCa"), 5);
  {
    ModalAnswers none({});
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    EXPECT_EQ(none.answered(), 0u) << "no message box for errors in a run";
  }
  ASSERT_EQ(w().Graphs().result().count, 5);

  const QString status = Panel(2);
  EXPECT_TRUE(status.startsWith(QStringLiteral("Errore: SyntaxError: "))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("(Funzioni del filtro, riga 2)")))
      << status.toStdString();
  const QString report = Report();
  const QStringList lines = report.split(u'\n');
  const int total =
      static_cast<int>(lines.indexOf(QRegularExpression(QStringLiteral("^Errori totali: \\d+$"))));
  ASSERT_GE(total, 0) << report.toStdString();
  const int count = lines[total].mid(15).toInt();
  EXPECT_GT(count, 0);
  EXPECT_TRUE(status.endsWith(QStringLiteral(" (%1 volte)").arg(count))) << status.toStdString();
  // The list comes after the report's last line (the functions and parameters texts).
  const QString list = QStringLiteral("\n\nElenco degli errori:\n") + status.mid(8) + u'\n';
  EXPECT_TRUE(report.endsWith(list)) << report.toStdString();
  EXPECT_TRUE(report.chopped(list.size()).endsWith(QStringLiteral("Parametri del filtro:\n")))
      << report.toStdString();

  // In the window's first size the text does not fit its panel: the pointer over the panel shows
  // it whole, and the readout panels keep their places.
  QLabel* panel = SB1().Panel(2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return SB1().Panel(5)->geometry().right() < SB1().width(); }));
  EXPECT_GT(panel->fontMetrics().horizontalAdvance(status), panel->width());
  Activate();  // tool tips show over the active window
  QTest::mouseMove(panel, panel->rect().center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return QToolTip::isVisible(); }));
  EXPECT_EQ(QToolTip::text(), status);

  TypeFilter("txtFil", QStringLiteral("vo = vi"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  EXPECT_EQ(Panel(2), QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_FALSE(Report().contains(QStringLiteral("Elenco degli errori")));
  EXPECT_TRUE(Report().contains(QStringLiteral("Errori totali: 0\n")));
}

// A top-level let would be declared again at every step: the run is refused before it starts,
// with a message naming the text and the line, and what the window shows stays.
TEST_F(MeasureTest, ATopLevelLetIsRefusedWithItsMessage) {
  TypeFilter("txtFil", QStringLiteral("vo = vi"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_EQ(w().Graphs().result().count, 20);
  const QString report = Report();

  TypeFilter("txtFil", QStringLiteral("vo = 0"));
  QTest::keyClick(C<QPlainTextEdit>("txtFil"), Qt::Key_Return);
  QTest::keyClicks(C<QPlainTextEdit>("txtFil"), QStringLiteral("let g = 2; vo = g * vi"));
  testing::MessageBoxAnswer answer;
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(answer.seen().shown);
  EXPECT_EQ(answer.seen().icon, QMessageBox::Warning);
  EXPECT_EQ(answer.seen().title, QStringLiteral("Errore"));
  EXPECT_TRUE(answer.seen().text.startsWith(
      QStringLiteral("Funzioni del filtro, riga 2: la dichiarazione let ")))
      << answer.seen().text.toStdString();
  EXPECT_EQ(
      answer.seen().text,
      TopLevelDeclarationProblem(w().ParametersText(), w().FunctionsText()).value_or(QString()));
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(w().Graphs().result().count, 20);
  EXPECT_EQ(Panel(2), QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_TRUE(C<QPushButton>("cmdStart")->isEnabled());

  // In a block it is fresh at each step, and runs.
  TypeFilter("txtFil", QStringLiteral("{ let g = 2; vo = g * vi }"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  EXPECT_TRUE(Report().contains(QStringLiteral("Errori totali: 0\n")));
  EXPECT_NEAR(w().Graphs().result().points[0].amplitude, 2, 1e-9);
}

}  // namespace
}  // namespace quorvel
