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
#include "widgets/progress_window.h"

namespace quorvel {
namespace {

bool AnyProgressWindowShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<frmStatus*>(widget) && widget->isVisible()) return true;
  }
  return false;
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
    report = launcher.Launch(owner, [&](RunObserver& observer) -> std::optional<QString> {
      observer.Show2(QString(), QString());
      running_inside = launcher.running() && AnyProgressWindowShown();
      throw std::runtime_error("vector::reserve");
    });
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
  report = launcher.Launch(owner, [](RunObserver&) { return std::optional(QStringLiteral("ok")); });
  EXPECT_EQ(report, QStringLiteral("ok"));
}

TEST(RunLauncherTest, ASecondRunWhileOneLastsIsRefused) {
  QWidget owner;
  RunLauncher launcher;
  std::optional<QString> inner = QStringLiteral("not run");
  bool inner_called = false;
  const std::optional<QString> outer = launcher.Launch(owner, [&](RunObserver&) {
    inner = launcher.Launch(owner, [&](RunObserver&) {
      inner_called = true;
      return std::optional(QStringLiteral("inner"));
    });
    return std::optional(QStringLiteral("outer"));
  });
  EXPECT_EQ(outer, QStringLiteral("outer"));
  EXPECT_FALSE(inner.has_value());
  EXPECT_FALSE(inner_called);
}

}  // namespace
}  // namespace quorvel
