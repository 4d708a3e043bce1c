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
  bool result_kept = false;
  bool texts_kept = false;
  ModalAnswers during({ModalAnswers::Press(QMessageBox::No), ModalAnswers::Cancel()});
  WhileRunning([&] {
    disabled = !Action("MenuFileNuovo")->isEnabled() && !Action("MenuFileApri")->isEnabled() &&
               !Action("MenuEditIncolla")->isEnabled() && !C<QPushButton>("cmdStart")->isEnabled();
    // Ctrl+N and Ctrl+A as the user types them, "Incolla" from its menu entry, a file from
    // the command line, and another "Avvia".
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

}  // namespace
}  // namespace quorvel
