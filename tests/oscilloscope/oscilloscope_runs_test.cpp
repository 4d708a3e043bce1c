// The oscilloscope and the main window take turns: a run of one window waits for the run of the
// other, the main window's commands that would change the test wait for an oscilloscope run, and
// closing the main window stops the oscilloscope's run first.
#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>

#include "oscilloscope_test_support.h"
#include "widgets/progress_window.h"
#include "widgets/report_panel.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::ModalAnswers;
using testing::OscilloscopeWithMainTest;

frmStatus* ShownProgressWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* status = qobject_cast<frmStatus*>(widget);
    if (status && status->isVisible()) return status;
  }
  return nullptr;
}

// Runs `check` once, as soon as `running` holds and a progress window is shown.
void WhenRunning(QObject& context, std::function<bool()> running, std::function<void()> check) {
  auto* poll = new QTimer(&context);
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, &context, [=] {
    if (!running() || !ShownProgressWindow()) return;
    poll->stop();
    poll->deleteLater();
    check();
  });
  poll->start();
}

void TypeFilter(Form1& main, const char* box, const QString& text) {
  auto* edit = Child<QPlainTextEdit>(main, box);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

TEST_F(OscilloscopeWithMainTest, OpenedDuringASweepItRunsOnlyOnceTheSweepHasEnded) {
  TypeFilter(main(), "txtPar", QStringLiteral("RC = 1/(2*3.14159265358979*100)"));
  TypeFilter(main(), "txtFil",
             QStringLiteral("vo = vo + (vi - vo) * dt / RC; for (var k = 0; k < 20000; k++) {}"));
  SetReversedValue(*Child<QScrollBar>(main(), "SCa"), 20);
  Form2* osc = nullptr;
  WhenRunning(
      main(), [this] { return main().running(); },
      [&] {
        Child<QAction>(main(), "MenuToolsOsc")->trigger();
        osc = main().oscilloscope();
        SetReversedValue(*C<QScrollBar>(*osc, "SOsc"), 1);
        SetReversedValue(*C<QScrollBar>(*osc, "SCa"), 100);
      });
  QTest::mouseClick(Child<QPushButton>(main(), "cmdStart"), Qt::LeftButton);
  ASSERT_NE(osc, nullptr) << "the sweep ended before the oscilloscope was opened";
  EXPECT_EQ(osc->run_count(), 0);
  EXPECT_EQ(main().Graphs().result().count, 20);
  EXPECT_TRUE(osc->RunRequested());
  ASSERT_TRUE(WaitForRuns(*osc, 1));
  EXPECT_TRUE(Child<ReportPanel>(*osc, "fReport")
                  ->Report()
                  .startsWith(QStringLiteral("Operazione completata\n")));
  EXPECT_EQ(main().Graphs().result().count, 20);
}

TEST_F(OscilloscopeWithMainTest, ClosingTheMainWindowDuringAnOscilloscopeRunStopsItFirst) {
  TypeFilter(main(), "txtFil", QStringLiteral("while(true){}"));
  Form2& osc = Open();
  bool commands_unavailable = false;
  bool close_refused = false;
  bool asked_after_run = false;
  ModalAnswers answers({[&](QWidget* modal) {
    asked_after_run = !osc.running() && !ShownProgressWindow();
    ModalAnswers::Press(QMessageBox::No)(modal);
  }});
  WhenRunning(
      main(), [&osc] { return osc.running(); },
      [&] {
        commands_unavailable = !Child<QAction>(main(), "MenuFileNuovo")->isEnabled() &&
                               !Child<QAction>(main(), "MenuFileApri")->isEnabled() &&
                               !Child<QAction>(main(), "MenuEditIncolla")->isEnabled() &&
                               !Child<QPushButton>(main(), "cmdStart")->isEnabled();
        close_refused = !main().close();
      });
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers.answered() == 1; }, 10000));
  EXPECT_TRUE(commands_unavailable);
  EXPECT_TRUE(close_refused);
  EXPECT_TRUE(asked_after_run);
  EXPECT_EQ(answers.messages()[0].text, QStringLiteral("Salvare il test?"));
  EXPECT_TRUE(Child<ReportPanel>(osc, "fReport")
                  ->Report()
                  .startsWith(QStringLiteral("Operazione annullata\n")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main().isVisible(); }, 2000));
  EXPECT_TRUE(main().MainClosing());
  EXPECT_FALSE(osc.isVisible());
}

}  // namespace
}  // namespace quorvel
