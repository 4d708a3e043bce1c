// The main window while a sweep runs: commands that would change the test or start another run
// are unavailable, a file to open waits for the end of the run, closing stops the run first, and
// the result on show stays whole until the run hands its own over.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "scripting/script_host.h"
#include "simulation/run_outcome.h"
#include "widgets/progress_window.h"
#include "widgets/report_panel.h"

namespace quorvel {
namespace {

using testing::ModalAnswers;

// A low-pass filter slowed down by a loop at every step: a sweep of 20 frequencies lasts a few
// seconds.
const QString kSlowFilter =
    QStringLiteral("vo = vo + (vi - vo) * dt / RC; for (var k = 0; k < 20000; k++) {}");
const QString kRc = QStringLiteral("RC = 1/(2*3.14159265358979*100)");

frmStatus* ShownProgressWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* status = qobject_cast<frmStatus*>(widget);
    if (status && status->isVisible()) return status;
  }
  return nullptr;
}

bool AnyProgressWindowShown() { return ShownProgressWindow() != nullptr; }

class RunsTest : public testing::MainWindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    MainWindowFixture::SetUp();
  }
  QAction* Action(const char* name) { return C<QAction>(name); }
  void SlowSweepSettings() {
    Type("txtStF", QStringLiteral("10"));
    Type("txtEnF", QStringLiteral("1"));  // KHz
    SetReversedValue(*C<QScrollBar>("SCa"), 20);
    SetReversedValue(*C<QScrollBar>("SOsc"), 2);
    TypeFilter("txtPar", kRc);
    TypeFilter("txtFil", kSlowFilter);
  }
  // Runs `check` once, as soon as the sweep that the next click starts has measured a few
  // points; the sweep still runs then.
  void WhileRunning(std::function<void()> check) {
    auto* poll = new QTimer(&w());
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, &w(), [this, poll, check = std::move(check)] {
      const frmStatus* status = ShownProgressWindow();
      if (!w().running() || !status || status->PB1()->value() < 10) return;
      poll->stop();
      poll->deleteLater();
      ran_during_run_ = true;
      check();
    });
    poll->start();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  QTemporaryDir dir_;
  bool ran_during_run_ = false;
};

TEST_F(RunsTest, CommandsThatWouldChangeTheTestWaitForTheEndOfASweep) {
  // A first, quick sweep: the result the slow one must leave alone until it ends.
  TypeFilter("txtFil", QStringLiteral("vo = vi"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_EQ(w().Graphs().result().count, 20);
  const SweepResult first = w().Graphs().result();

  // A file to open while the sweep runs.
  {
    QFile file(Path("other.flt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"42\"\r\n\"Fil\",\"vo = vi/2\r\n\"\r\n");
  }
  QApplication::clipboard()->setText(
      QStringLiteral("Parametri del filtro:\r\nk = 3\r\n\r\nFunzioni del filtro:\r\nvo = k*vi"));

  SlowSweepSettings();
  bool disabled = false;
  bool shortcuts_reach_window = false;
  bool result_kept = false;
  bool texts_kept = false;
  ModalAnswers during({ModalAnswers::Press(QMessageBox::No), ModalAnswers::Cancel()});
  WhileRunning([&] {
    disabled = !Action("MenuFileNuovo")->isEnabled() && !Action("MenuFileApri")->isEnabled() &&
               !Action("MenuEditIncolla")->isEnabled() && !C<QPushButton>("cmdStart")->isEnabled();
    // Ctrl+N and Ctrl+A as the user types them in the main window, "Incolla" from its menu
    // entry, a file from the command line, and another "Avvia".
    Activate();
    shortcuts_reach_window = w().isActiveWindow();
    QTest::keyClick(C<QPushButton>("cmdStop"), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(C<QPushButton>("cmdStop"), Qt::Key_A, Qt::ControlModifier);
    Action("MenuEditIncolla")->trigger();
    w().OpenFile(Path("other.flt"));
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    texts_kept = w().FunctionsText() == kSlowFilter && w().ParametersText() == kRc &&
                 C<QLineEdit>("txtStF")->text() == QStringLiteral("10");
    result_kept = w().Graphs().result().count == first.count &&
                  w().Graphs().result().points[5].amplitude == first.points[5].amplitude;
  });
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(ran_during_run_) << "the sweep ended before the commands were tried";
  EXPECT_TRUE(disabled);
  EXPECT_TRUE(shortcuts_reach_window);
  EXPECT_TRUE(texts_kept);
  EXPECT_TRUE(result_kept);
  EXPECT_EQ(during.answered(), 0u) << "no question and no file dialog while the sweep ran";

  // The sweep's own, complete result: a low-pass at 100 Hz.
  ASSERT_EQ(w().Graphs().result().count, 20);
  EXPECT_GT(w().Graphs().result().points[0].amplitude, 0.9);
  EXPECT_LT(w().Graphs().result().points[19].amplitude, 0.2);
  EXPECT_TRUE(
      C<ReportPanel>("fReport")->Report().startsWith(QStringLiteral("Operazione completata\n")));

  // Then the commands are back, and the file waits no longer: it asks about the modified test
  // (answered No) and opens with its preview.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return w().Documents().TestPath() == Path("other.flt"); }, 10000));
  EXPECT_EQ(during.answered(), 1u);
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("42"));
  EXPECT_EQ(w().Graphs().result().count, 7);
  for (const char* name : {"MenuFileNuovo", "MenuFileApri", "MenuEditIncolla"}) {
    EXPECT_TRUE(Action(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(C<QPushButton>("cmdStart")->isEnabled());
}

TEST_F(RunsTest, ClosingDuringASweepStopsItAndThenAsksToSave) {
  SlowSweepSettings();
  SetReversedValue(*C<QScrollBar>("SCa"), 500);
  bool close_refused = false;
  bool asked_after_run = false;
  ModalAnswers answers({[&](QWidget* modal) {
                          asked_after_run = !w().running() && !AnyProgressWindowShown();
                          ModalAnswers::Press(QMessageBox::Cancel)(modal);
                        },
                        ModalAnswers::Press(QMessageBox::No)});
  WhileRunning([&] { close_refused = !w().close(); });
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(ran_during_run_);
  EXPECT_TRUE(close_refused);
  EXPECT_LT(w().Graphs().result().count, 500);
  EXPECT_TRUE(
      C<ReportPanel>("fReport")->Report().startsWith(QStringLiteral("Operazione annullata\n")));

  // The close resumes once the run has returned: "Salvare il test?", answered Cancel, keeps the
  // window; a second close answered No closes it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers.answered() == 1; }, 5000));
  EXPECT_TRUE(asked_after_run);
  EXPECT_EQ(answers.messages()[0].text, QStringLiteral("Salvare il test?"));
  EXPECT_TRUE(w().isVisible());
  EXPECT_FALSE(w().MainClosing());
  EXPECT_TRUE(w().close());
  EXPECT_EQ(answers.answered(), 2u);
  EXPECT_FALSE(w().isVisible());
  EXPECT_TRUE(w().MainClosing());
}

// A fixed dt from the parameters that cannot make time advance is refused before the run, with
// its message; nothing of the run's is handed over.
TEST_F(RunsTest, ABadFixedStepIsRefusedWithItsMessage) {
  TypeFilter("txtFil", QStringLiteral("vo = vi"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_EQ(w().Graphs().result().count, 20);
  const QString report = C<ReportPanel>("fReport")->Report();
  for (const char* dt : {"dt = 0", "dt = -1", "dt = \"abc\"", "dt = 1/0"}) {
    SCOPED_TRACE(dt);
    TypeFilter("txtPar", QLatin1String(dt));
    testing::MessageBoxAnswer answer;
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    ASSERT_TRUE(answer.seen().shown);
    EXPECT_EQ(answer.seen().text, QString::fromUtf16(kBadFixedStepMessage));
    EXPECT_EQ(answer.seen().icon, QMessageBox::Warning);
    EXPECT_EQ(w().Graphs().result().count, 20);
    EXPECT_EQ(C<ReportPanel>("fReport")->Report(), report);
    EXPECT_TRUE(C<QPushButton>("cmdStart")->isEnabled());
  }
}

// A test that tampers with the engine's globals does not reach the next test: "Nuovo" and
// opening a file start on a fresh global scope with the prelude loaded again.
TEST_F(RunsTest, ANewOrOpenedTestStartsOnAFreshGlobalScope) {
  {
    QFile file(Path("innocent.flt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"10\"\r\n\"EnF\",\"1\"\r\n"
        "\"Fil\",\"vo = vi * sgn(1)\r\n\"\r\n");
  }
  for (const char* how : {"Nuovo", "Apri"}) {
    SCOPED_TRACE(how);
    // The malicious test: the prelude's sgn replaced, the global object frozen.
    TypeFilter("txtPar", QStringLiteral("sgn = function (x) { return 0.25 }; vo = 0; "
                                        "Object.freeze(globalThis)"));
    TypeFilter("txtFil", QStringLiteral("vo = vi * sgn(1)"));
    Type("txtStF", QStringLiteral("10"));
    ModalAnswers answers({ModalAnswers::Press(QMessageBox::No)});
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    ASSERT_TRUE(w().Script1().Evaluate(QStringLiteral("Object.isFrozen(globalThis)")).ok());
    ASSERT_EQ(w().Script1().Evaluate(QStringLiteral("sgn(1)"))->number(), 0.25);

    if (QByteArray(how) == "Nuovo") {
      Activate();
      QTest::keyClick(C<QPushButton>("cmdStop"), Qt::Key_N, Qt::ControlModifier);
      ASSERT_EQ(answers.answered(), 1u);
      TypeFilter("txtFil", QStringLiteral("vo = vi * sgn(1)"));
      Type("txtStF", QStringLiteral("10"));
      QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    } else {
      w().OpenFile(Path("innocent.flt"));  // its preview sweep runs
      ASSERT_EQ(answers.answered(), 1u);
      ASSERT_EQ(w().Documents().TestPath(), Path("innocent.flt"));
    }
    EXPECT_EQ(w().Script1().Evaluate(QStringLiteral("Object.isFrozen(globalThis)"))->boolean(),
              false);
    const SweepResult& result = w().Graphs().result();
    ASSERT_GT(result.count, 0);
    for (int i = 0; i < result.count; ++i) {
      EXPECT_NEAR(result.points[static_cast<std::size_t>(i)].amplitude, 1, 1e-9) << i;
    }
    EXPECT_TRUE(C<ReportPanel>("fReport")->Report().contains(QStringLiteral("Errori totali: 0")));
  }
}

}  // namespace
}  // namespace quorvel
