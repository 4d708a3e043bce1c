#include "cli/cli_progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>

namespace quorvel::cli {
namespace {

TEST(ProgressEstimateTest, EndTickIsTheProgressWindowsExtrapolation) {
  struct Case {
    std::int64_t start, now;
    int percent;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {0, 999, 10, 10000},     // 10 % after 1000 ms: 10 s in all
      {1000, 1499, 50, 2000},  // half-way after 500 ms
      {0, 0, 100, 1},          // the "+ 1" keeps the division finite at once
      {0, 2, 3, 100},          // 3 ms for 3 %: 100 ms, rounded
      {0, 5000, 0, std::nullopt},
      {0, 5000, -1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " " << c.now << " " << c.percent);
    EXPECT_EQ(EstimatedEndTick(c.start, c.now, c.percent), c.expected);
  }
}

TEST(ProgressEstimateTest, RemainingSecondsRoundHalvesToEvenAndNeverGoNegative) {
  struct Case {
    std::int64_t end, now, expected;
  };
  const Case cases[] = {
      {2500, 0, 2}, {3500, 0, 4}, {1501, 0, 2},  {1499, 0, 1},
      {500, 0, 0},  {0, 0, 0},    {100, 900, 0}, {12000, 1000, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.end << " - " << c.now);
    EXPECT_EQ(RemainingSeconds(c.end, c.now), c.expected);
  }
}

TEST(ProgressTextTest, ShowsPercentRemainingTimeAndErrors) {
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 42, 12, 3, '|'),
            "Simulazione | 42%  tempo residuo: 12 secondi  errori: 3");
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 0, std::nullopt, 0, '/'),
            "Simulazione / 0%  tempo residuo: stima in corso...  errori: 0");
  // The bar runs from 0 to 100 whatever a run reports.
  EXPECT_EQ(ProgressText(QStringLiteral("Simulazione"), 255, 0, 0, '-'),
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
