#include "widgets/progress_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "gui_test_support.h"

namespace quorvel {
namespace {

// An owner with the callback the progress window calls by name.
class Owner : public QWidget {
  Q_OBJECT
 public:
  Q_INVOKABLE void AsyncCallback(qint16& res) {
    ++calls;
    res = 1;
  }
  int calls = 0;
};

TEST(ProgressWindow, ShowsTheTitleStaysOnTopAndRefusesToClose) {
  Owner owner;
  frmStatus status(&owner);
  status.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  EXPECT_TRUE(status.isVisible());
  EXPECT_EQ(status.windowTitle(), QStringLiteral("Simulazione"));
  EXPECT_TRUE(status.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(status.PB1()->value(), 0);
  EXPECT_EQ(status.lblTime()->text(), QStringLiteral("stima in corso..."));

  EXPECT_FALSE(status.close());
  EXPECT_TRUE(status.isVisible());
  status.Unload2();
  EXPECT_FALSE(status.isVisible());
}

// The progress window opens centred on its owner, wherever the owner is, and leaves the focus
// where it was.
TEST(ProgressWindow, OpensCentredOnItsOwnerWithoutTakingTheFocus) {
  for (const QPoint at : {QPoint(40, 30), QPoint(700, 420)}) {
    Owner owner;
    owner.setGeometry(QRect(at, QSize(640, 480)));
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    frmStatus status(&owner);
    status.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&status));
    const QPoint offset = status.frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << at.x() << "," << at.y();
    EXPECT_TRUE(status.testAttribute(Qt::WA_ShowWithoutActivating));
    status.Unload2();
  }
}

TEST(ProgressWindow, UntitledRunsReadOperazioneInCorso) {
  Owner owner;
  frmStatus status(&owner);
  status.Show2(QStringLiteral("AsyncCallback"), QString());
  EXPECT_EQ(status.windowTitle(), QStringLiteral("Operazione in corso"));
  status.Unload2();
}

TEST(ProgressWindow, EstimateWaitsForAHigherPercentAndErrorsAreCounted) {
  Owner owner;
  frmStatus status(&owner);
  status.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  status.SetPB(0);
  // The estimate's timer has ticked once without a higher percent.
  QTimer* estimate = nullptr;
  for (QTimer* timer : status.findChildren<QTimer*>()) {
    if (timer->interval() == 500) estimate = timer;
  }
  ASSERT_NE(estimate, nullptr);
  QSignalSpy ticks(estimate, &QTimer::timeout);
  ASSERT_TRUE(ticks.wait(2000));
  EXPECT_EQ(status.lblTime()->text(), QStringLiteral("stima in corso..."));

  status.SetPB(50);
  EXPECT_EQ(status.PB1()->value(), 50);
  status.SetPB(40);
  EXPECT_EQ(status.PB1()->value(), 50);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return status.lblTime()->text().endsWith(QStringLiteral(" secondi")); }, 2000));

  EXPECT_FALSE(status.imgErr()->isVisible());
  status.AddErr();
  EXPECT_TRUE(status.imgErr()->isVisible());
  EXPECT_TRUE(status.lblErr()->isVisible());
  EXPECT_EQ(status.lblErr()->text(),
            QStringLiteral("Si è verificato un errore durante l'operazione"));
  status.AddErr();
  status.AddErr();
  const QString counted = QStringLiteral("Si sono verificati 3 errori durante l'operazione");
  EXPECT_TRUE(QTest::qWaitFor([&] { return status.lblErr()->text() == counted; }, 2000));
  EXPECT_EQ(status.lblErr()->text(), counted);
  status.Unload2();
}

TEST(ProgressWindow, DotsMoveAfterAnAdvance) {
  Owner owner;
  frmStatus status(&owner);
  status.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  const int start = status.Shape1()[0]->x();
  status.ShowAdv();
  EXPECT_TRUE(QTest::qWaitFor([&] { return status.Shape1()[0]->x() > start; }, 1000));
  EXPECT_EQ(status.state().dots()[0], 600);
  status.Unload2();
}

TEST(ProgressWindow, CancelCallsTheOwnerOnceByNameAndCloses) {
  Owner owner;
  frmStatus status(&owner);
  status.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  QTest::mouseClick(status.cmdCancel(), Qt::LeftButton);
  EXPECT_EQ(owner.calls, 1);
  EXPECT_FALSE(status.isVisible());
  status.Unload2();  // the run's own end: nothing more happens
  EXPECT_EQ(owner.calls, 1);
  EXPECT_FALSE(status.isVisible());
}

}  // namespace
}  // namespace quorvel

#include "progress_window_test.moc"
