#pragma once

// Helpers of the oscilloscope tests: the window alone on a test host, or with a main window that
// opens it through the Tools menu; waiting for runs; answering the input boxes and message boxes
// of a command.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window/response_graphs.h"
#include "main_window/test_documents.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_host.h"
#include "oscilloscope/oscilloscope_window.h"
#include "oscilloscope/scope_pane.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "widgets/frequency_range.h"
#include "widgets/file_dialogs.h"
#include "widgets/run_launcher.h"
#include "window_core/twips.h"

namespace quorvel::testing {

// A list of texts from UTF-8 literals; nullptr gives a null text (an input box to cancel).
inline QStringList Texts(const std::vector<const char*>& texts) {
  QStringList list;
  for (const char* text : texts) list << (text ? QString::fromUtf8(text) : QString());
  return list;
}

// What a modal box showed: an input box (its prompt and the text it offered) or a message box.
struct SeenBox {
  bool input = false;
  QString title;
  QString text;
  QString offered;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the modal boxes that a command opens, in order: each input box gets the next answer
// typed over its text and Enter (a null QString cancels it); message boxes are closed with OK.
// Input boxes beyond the answers are cancelled, so a command never hangs a test.
class BoxAnswers {
 public:
  explicit BoxAnswers(QStringList answers)
      : state_(std::make_shared<State>()), timer_(std::make_unique<QTimer>()) {
    state_->answers = std::move(answers);
    timer_->setInterval(5);
    QObject::connect(timer_.get(), &QTimer::timeout, [state = state_] { Answer(*state); });
    timer_->start();
  }
  const std::vector<SeenBox>& seen() const { return state_->seen; }
  QStringList Messages() const {
    QStringList texts;
    for (const SeenBox& box : state_->seen) {
      if (!box.input) texts << box.text;
    }
    return texts;
  }
  QStringList Prompts() const {
    QStringList texts;
    for (const SeenBox& box : state_->seen) {
      if (box.input) texts << box.text;
    }
    return texts;
  }
  QStringList Offered() const {
    QStringList texts;
    for (const SeenBox& box : state_->seen) {
      if (box.input) texts << box.offered;
    }
    return texts;
  }

 private:
  struct State {
    QStringList answers;
    int next = 0;
    std::vector<SeenBox> seen;
    QPointer<QWidget> last;
  };

  static void Answer(State& state) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == state.last) return;
    if (auto* input = qobject_cast<QInputDialog*>(modal)) {
      state.last = modal;
      auto* edit = input->findChild<QLineEdit*>();
      state.seen.push_back({true, input->windowTitle(), input->labelText(),
                            edit ? edit->text() : QString(), QMessageBox::NoIcon});
      const QString answer =
          state.next < state.answers.size() ? state.answers[state.next] : QString();
      ++state.next;
      if (answer.isNull() || !edit) {
        input->reject();
        return;
      }
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_Backspace);
      QTest::keyClicks(edit, answer);
      QTest::keyClick(edit, Qt::Key_Enter);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      state.last = modal;
      state.seen.push_back({false, box->windowTitle(), box->text(), QString(), box->icon()});
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
      } else {
        box->reject();
      }
    }
  }

  std::shared_ptr<State> state_;
  std::unique_ptr<QTimer> timer_;
};

// What an oscilloscope alone runs on: a script host of its own with the prelude, a run launcher,
// and filter texts, a help folder and a closing state that the test sets.
class TestScopeHost : public OscilloscopeHost {
 public:
  TestScopeHost() {
    (void)script_.LoadCode(PreludeText());
    // Long script calls deliver events, so that "Ferma" reaches a spinning filter.
    script_.SetBusyHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  }
  ~TestScopeHost() override = default;

  QString ParametersText() const override { return parameters; }
  QString FunctionsText() const override { return functions; }
  ScriptHost& Script1() override { return script_; }
  RunLauncher& Launcher() override { return launcher_; }
  FileDialogs& Dialogs() override { return dialogs_; }
  QString HelpFile() const override { return help_folder; }
  void SaveTest() override { ++saves; }
  bool MainClosing() const override { return closing; }

  QString parameters;
  QString functions = QStringLiteral("vo=vi\r\n");
  QString help_folder = QStringLiteral(QUORVEL_HELP_SOURCE_DIR);
  bool closing = false;
  int saves = 0;

 private:
  ScriptHost script_;
  RunLauncher launcher_;
  FileDialogs dialogs_;
};

// What both oscilloscope fixtures offer.
class ScopeTestBase : public ::testing::Test {
 protected:
  // Waits until `count` runs have reported and no run is due or running.
  static bool WaitForRuns(const Form2& osc, int count, int timeout_ms = 30000) {
    return QTest::qWaitFor(
        [&] { return osc.run_count() >= count && !osc.RunRequested() && !osc.running(); },
        timeout_ms);
  }
  template <typename T>
  static T* C(const Form2& osc, const char* name) {
    return Child<T>(osc, name);
  }
  // Waits for the next tick of the window's timer, after which the requests made before it are
  // served (or, for a run, started and over).
  static void WaitForTick(const Form2& osc) {
    QSignalSpy ticks(Child<QTimer>(osc, "Timer1"), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.running(); }));
  }
  // Resizes the window and waits until it has laid itself out for its new size (or for its
  // minimum, when the size asked for is below it).
  static void Resize(Form2& osc, int width, int height) {
    osc.resize(width, height);
    const QWidget* client = Child<QWidget>(osc, "client");
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const double inner_width = client->width() * TwipsPerPixelX(osc);
      return (osc.size() == QSize(width, height) || width < osc.width() || height < osc.height()) &&
             std::abs(osc.geometry_twips().Frame1.width - inner_width) < 1e-6;
    }));
  }
  // Runs are kept short: one oscillation and 100 samples unless a test asks for more.
  static void ShortRuns(Form2& osc) {
    SetReversedValue(*Child<QScrollBar>(osc, "SOsc"), 1);
    SetReversedValue(*Child<QScrollBar>(osc, "SCa"), 100);
  }
};

// An oscilloscope window alone, on a test host.
class OscilloscopeTest : public ScopeTestBase {
 protected:
  void SetUp() override { host_ = std::make_unique<TestScopeHost>(); }
  void TearDown() override {
    host_->closing = true;
    osc_.reset();
  }

  // Creates and shows the window; `before_first_tick` runs before its first run can start.
  Form2& Open(const std::function<void(Form2&)>& before_first_tick = {}) {
    osc_ = std::make_unique<Form2>(*host_);
    ShortRuns(*osc_);
    if (before_first_tick) before_first_tick(*osc_);
    osc_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(osc_.get()));
    return *osc_;
  }
  // Opens and waits for the run that opening asks for.
  Form2& OpenAndRun() {
    Form2& osc = Open();
    EXPECT_TRUE(WaitForRuns(osc, 1));
    return osc;
  }

  TestScopeHost& host() { return *host_; }

  std::unique_ptr<TestScopeHost> host_;
  std::unique_ptr<Form2> osc_;
};

// A main window and its oscilloscope, opened through "Oscilloscopio...".
class OscilloscopeWithMainTest : public ScopeTestBase {
 protected:
  void SetUp() override {
    main_ = std::make_unique<Form1>();
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
    // Out of the oscilloscope's way: a pointer moved without buttons goes to the topmost window
    // under it, and both windows open at the same corner.
    main_->move(3000, 0);
  }

  // Opens the oscilloscope; `before_first_tick` runs before its first run can start.
  Form2& Open(const std::function<void(Form2&)>& before_first_tick = {}) {
    Child<QAction>(*main_, "MenuToolsOsc")->trigger();
    Form2* osc = main_->oscilloscope();
    EXPECT_NE(osc, nullptr);
    ShortRuns(*osc);
    if (before_first_tick) before_first_tick(*osc);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(osc));
    return *osc;
  }
  Form2& OpenAndRun() {
    Form2& osc = Open();
    EXPECT_TRUE(WaitForRuns(osc, 1));
    return osc;
  }

  Form1& main() { return *main_; }

  std::unique_ptr<Form1> main_;
};

}  // namespace quorvel::testing
