// A run's script errors in the oscilloscope window: the first one in the status bar, all of them
// after the report; the next clean run clears the status.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "oscilloscope_test_support.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::OscilloscopeTest;

TEST_F(OscilloscopeTest, ASyntaxErrorIsShownWithItsLineAfterTheRun) {
  host().functions = QStringLiteral("vo = vi\r\nvo = (vi * )\r\n");
  Form2& osc = OpenAndRun();
  const StatusPanels& status = *Child<StatusPanels>(osc, "SB1");
  const QString text = status.Text(2);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Errore: SyntaxError: "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("(Funzioni del filtro, riga 2)"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral(" volte)"))) << text.toStdString();
  // The report's own lines end with the input signal; the list follows them.
  const QString report = Child<ReportPanel>(osc, "fReport")->Report();
  EXPECT_TRUE(report.endsWith(QStringLiteral("(f = 1 Hz):\nsinusoidale\n\nElenco degli errori:\n") +
                              text.mid(8) + u'\n'))
      << report.toStdString();

  host().functions = QStringLiteral("vo = vi\r\n");
  QTest::mouseClick(Child<QPushButton>(osc, "cmdAgg"), Qt::LeftButton);
  ASSERT_TRUE(WaitForRuns(osc, 2));
  EXPECT_EQ(status.Text(2), QStringLiteral("Ombrat - Ferrolt"));
  const QString clean = Child<ReportPanel>(osc, "fReport")->Report();
  EXPECT_FALSE(clean.contains(QStringLiteral("Elenco degli errori"))) << clean.toStdString();
  EXPECT_TRUE(clean.endsWith(QStringLiteral("(f = 1 Hz):\nsinusoidale\n"))) << clean.toStdString();
}

}  // namespace
}  // namespace quorvel
