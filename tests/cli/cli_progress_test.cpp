#include "cli/cli_progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>

namespace quorvel::cli {
namespace {

TEST(ProgressTextTest, ShowsTheProgressWindowsEstimate) {
  // The line shows the remaining time that the progress window's state computes: 25 % after
  // 1000 ms is 4000 ms in all, so 3 s remain at 1000 ms and 2 s (2.5, halves to even) at 1500.
  ProgressState state(0);
  state.Timer1(0);
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 0, state.time_text(), 0, '|'),
            "Simulazione | 0%  tempo residuo: stima in corso...  errori: 0");
  state.SetPB(25, 999);
  state.Timer1(1000);
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 25, state.time_text(), 0, '|'),
            "Simulazione | 25%  tempo residuo: 3 secondi  errori: 0");
  state.Timer1(1500);
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 25, state.time_text(), 0, '|'),
            "Simulazione | 25%  tempo residuo: 2 secondi  errori: 0");
  state.Timer1(9000);
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 25, state.time_text(), 0, '|'),
            "Simulazione | 25%  tempo residuo: 0 secondi  errori: 0");
}

TEST(ProgressTextTest, ShowsPercentRemainingTimeAndErrors) {
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 42, u"12 secondi"_qs, 3, '|'),
            "Simulazione | 42%  tempo residuo: 12 secondi  errori: 3");
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 0, u"stima in corso..."_qs, 0, '/'),
            "Simulazione / 0%  tempo residuo: stima in corso...  errori: 0");
  // The bar runs from 0 to 100 whatever a run reports.
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 255, u"0 secondi"_qs, 0, '-'),
            "Simulazione - 100%  tempo residuo: 0 secondi  errori: 0");
}

TEST(CliRunObserverTest, CopiesTheInterruptIntoTheRunsFlagWhenEventsAreDelivered) {
  std::atomic<bool> interrupt{false};
  bool cancel = false;
  CliRunObserver observer(interrupt, cancel, nullptr);
  observer.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  observer.PumpEvents();
  EXPECT_FALSE(cancel);
  interrupt = true;
  EXPECT_FALSE(cancel) << "only the run's thread writes the flag";
  observer.PumpEvents();
  EXPECT_TRUE(cancel);

  bool cancel2 = false;
  CliRunObserver polled(interrupt, cancel2, nullptr);
  polled.Poll();  // the busy hook's path
  EXPECT_TRUE(cancel2);
}

TEST(CliRunObserverTest, DrawsALineWithCarriageReturnAndClearsItAtTheEnd) {
  std::atomic<bool> interrupt{false};
  bool cancel = false;
  std::ostringstream out;
  CliRunObserver observer(interrupt, cancel, &out);
  observer.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  const std::string first = out.str();
  EXPECT_EQ(first, "\rSimulazione | 0%  tempo residuo: stima in corso...  errori: 0");
  observer.AddErr();
  observer.AddErr();
  EXPECT_EQ(observer.errors(), 2);
  observer.Unload2();
  const std::string all = out.str();
  // Whatever was drawn in between, the end blanks the last line and returns to its start.
  ASSERT_GE(all.size(), first.size() + 2);
  EXPECT_EQ(all.back(), '\r');
  const std::size_t clear = all.rfind('\r', all.size() - 2);
  ASSERT_NE(clear, std::string::npos);
  EXPECT_EQ(all.substr(clear + 1, all.size() - clear - 2), std::string(first.size() - 1, ' '));
}

}  // namespace
}  // namespace quorvel::cli
