// The run launcher: one run at a time, and no exception out of a run into the event loop.
#include "widgets/run_launcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

#include "gui_test_support.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"
#include "widgets/progress_window.h"

namespace quorvel {
namespace {

bool AnyProgressWindowShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<frmStatus*>(widget) && widget->isVisible()) return true;
  }
  return false;
}

RunOutcome CompletedWith(const QString& report) {
  RunOutcome outcome;
  outcome.status = RunStatus::kCompleted;
  outcome.report = report;
  return outcome;
}

std::optional<QString> ReportOf(const std::optional<RunOutcome>& outcome) {
  if (!outcome) return std::nullopt;
  return outcome->report;
}

// A run that throws inside a button's handler: the exception stops at the launcher.
TEST(RunLauncherTest, ARunThatThrowsEndsWithAMessageAndNoExceptionLeavesTheHandler) {
  QWidget owner;
  owner.show();
  RunLauncher launcher;
  QSignalSpy changes(&launcher, &RunLauncher::RunningChanged);
  QPushButton button(QStringLiteral("Avvia"), &owner);
  button.show();
  std::optional<QString> report = QStringLiteral("not run");
  bool running_inside = false;
  QObject::connect(&button, &QPushButton::clicked, [&] {
    report = ReportOf(launcher.Launch(owner, [&](RunObserver& observer) -> RunOutcome {
      observer.Show2(QString(), QString());
      running_inside = launcher.running() && AnyProgressWindowShown();
      throw std::runtime_error("vector::reserve");
    }));
  });
  testing::MessageBoxAnswer answer;
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_TRUE(running_inside);
  EXPECT_FALSE(report.has_value());
  EXPECT_FALSE(launcher.running());
  ASSERT_TRUE(answer.seen().shown);
  EXPECT_EQ(answer.seen().title, QStringLiteral("Errore"));
  EXPECT_EQ(answer.seen().icon, QMessageBox::Critical);
  EXPECT_TRUE(answer.seen().text.endsWith(QStringLiteral("vector::reserve")));
  ASSERT_EQ(changes.size(), 2);
  EXPECT_EQ(changes[0][0].toBool(), true);
  EXPECT_EQ(changes[1][0].toBool(), false);
  EXPECT_TRUE(QTest::qWaitFor([] { return !AnyProgressWindowShown(); }, 1000));

  // The launcher is free for the next run.
  report = ReportOf(launcher.Launch(owner, [](RunObserver&) { return CompletedWith(u"ok"_qs); }));
  EXPECT_EQ(report, QStringLiteral("ok"));
}

// A run that refuses its settings says why in a warning and hands over nothing.
TEST(RunLauncherTest, ARefusedRunShowsItsMessageAndGivesNothing) {
  QWidget owner;
  owner.show();
  RunLauncher launcher;
  testing::MessageBoxAnswer answer;
  const std::optional<RunOutcome> outcome = launcher.Launch(owner, [](RunObserver&) {
    RunOutcome refused;
    refused.status = RunStatus::kRefused;
    refused.message = QString::fromUtf16(kBadFixedStepMessage);
    return refused;
  });
  EXPECT_FALSE(outcome.has_value());
  EXPECT_FALSE(launcher.running());
  ASSERT_TRUE(answer.seen().shown);
  EXPECT_EQ(answer.seen().icon, QMessageBox::Warning);
  EXPECT_EQ(answer.seen().text, QString::fromUtf16(kBadFixedStepMessage));
}

TEST(RunLauncherTest, ASecondRunWhileOneLastsIsRefused) {
  QWidget owner;
  RunLauncher launcher;
  std::optional<QString> inner = QStringLiteral("not run");
  bool inner_called = false;
  const std::optional<QString> outer = ReportOf(launcher.Launch(owner, [&](RunObserver&) {
    inner = ReportOf(launcher.Launch(owner, [&](RunObserver&) {
      inner_called = true;
      return CompletedWith(u"inner"_qs);
    }));
    return CompletedWith(u"outer"_qs);
  }));
  EXPECT_EQ(outer, QStringLiteral("outer"));
  EXPECT_FALSE(inner.has_value());
  EXPECT_FALSE(inner_called);
}

}  // namespace
}  // namespace quorvel
