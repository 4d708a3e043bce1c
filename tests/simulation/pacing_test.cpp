#include "simulation/pacing.h"
#include "simulation/guarded_math.h"
#include "simulation/run_errors.h"
#include "simulation/run_guard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "simulation/run_observer.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class CountingObserver : public SilentObserver {
 public:
  int pumps = 0;
  int errors = 0;
  void PumpEvents() override { ++pumps; }
  void AddErr() override { ++errors; }
};

// Calls EveryNthCall(n) until it is true: the shared counter is then a multiple of n.
void SyncCounter(int n) {
  for (int i = 0; i < n; ++i) {
    if (EveryNthCall(n)) return;
  }
  FAIL() << "EveryNthCall(" << n << ") was not true within " << n << " calls";
}

TEST(EveryNthCall, IsTrueOnEveryNthCallOfTheSharedCounter) {
  SyncCounter(7);
  for (int i = 1; i <= 21; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(EveryNthCall(7), i % 7 == 0);
  }
  // Every call counts, whatever its n: a call with another n moves the cadence along.
  SyncCounter(7);
  EXPECT_FALSE(EveryNthCall(0));
  EXPECT_FALSE(EveryNthCall(-3));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(EveryNthCall(7));
  EXPECT_TRUE(EveryNthCall(7));
  EXPECT_TRUE(EveryNthCall(1));
}

TEST(PumpEventsFor, DeliversEventsUntilTheTimeHasPassed) {
  CountingObserver observer;
  const auto start = Clock::now();
  PumpEventsFor(20, 1, observer);
  EXPECT_GE(Clock::now() - start, 20ms);
  EXPECT_GE(observer.pumps, 2);

  CountingObserver once;
  PumpEventsFor(0, 0, once);
  EXPECT_GE(once.pumps, 1);
}

TEST(RunPacer, PumpsOnlyWhenTheIntervalHasPassedAndNeverSleeps) {
  CountingObserver observer;
  RunPacer every_time(0ms);
  EXPECT_TRUE(every_time.MaybePump(observer));
  EXPECT_TRUE(every_time.MaybePump(observer));
  EXPECT_EQ(observer.pumps, 2);

  RunPacer hourly(std::chrono::hours(1));
  const auto start = Clock::now();
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(hourly.MaybePump(observer));
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_EQ(observer.pumps, 2);

  RunPacer pacer;  // 15 ms
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(pacer.MaybePump(observer));
  EXPECT_FALSE(pacer.MaybePump(observer));  // just pumped
  EXPECT_EQ(observer.pumps, 3);
}

TEST(RunGuard, OnlyTheOutermostGuardIsAcquired) {
  EXPECT_FALSE(RunGuard::RunInProgress());
  {
    const RunGuard outer;
    EXPECT_TRUE(outer.acquired());
    EXPECT_TRUE(RunGuard::RunInProgress());
    {
      const RunGuard nested;
      EXPECT_FALSE(nested.acquired());
    }
    // The refused guard does not release the outer one.
    EXPECT_TRUE(RunGuard::RunInProgress());
  }
  EXPECT_FALSE(RunGuard::RunInProgress());
  const RunGuard next;
  EXPECT_TRUE(next.acquired());
}

TEST(Fp, FailsOnlyWhenFiniteOperandsGiveANonFiniteResult) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    Fp value;
    int error;
  };
  const Case cases[] = {
      {"1 / 4", Fp(1) / 4, 0},
      {"overflowing product", Fp(1e308) * 10, run_errors::kOverflow},
      {"overflowing sum", Fp(1e308) + 1e308, run_errors::kOverflow},
      {"overflowing difference", Fp(-1e308) - 1e308, run_errors::kOverflow},
      {"overflowing quotient", Fp(1e300) / 1e-300, run_errors::kOverflow},
      {"overflowing power", Pow(10.0, Fp(400)), run_errors::kOverflow},
      {"1 / 0", Fp(1) / 0, run_errors::kDivisionByZero},
      {"-2 / 0", Fp(-2) / 0, run_errors::kDivisionByZero},
      {"0 / 0 (invalid)", Fp(0) / 0, run_errors::kOverflow},
      {"a failure passes through", Abs(Fp(1) / 0 + 5) * 2, run_errors::kDivisionByZero},
      {"NaN from the filter propagates", Fp(nan) + 1, 0},
      {"infinity from the filter propagates", Fp(inf) - 1, 0},
      {"infinity over zero propagates", Fp(inf) / 0, 0},
      {"sine of infinity propagates", Sin(Fp(inf)), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.value.error(), c.error);
  }
  EXPECT_EQ((Fp(1) / 4).value(), 0.25);
  EXPECT_TRUE(std::isnan((Fp(nan) + 1).value()));
}

TEST(RunErrors, CountsEveryErrorAndSortsOverflowAndTimeStep) {
  CountingObserver observer;
  RunErrors errors(observer);
  errors.Count(run_errors::kOverflow);
  errors.Count(run_errors::kTimestepTooSmall, 2);
  errors.Count(run_errors::kDivisionByZero);
  errors.Count(1002);
  EXPECT_EQ(errors.counts().total, 5);
  EXPECT_EQ(errors.counts().overflow, 1);
  EXPECT_EQ(errors.counts().timestep, 2);
  EXPECT_EQ(observer.errors, 5);

  // A failed computation leaves its target alone.
  double target = 3;
  EXPECT_TRUE(errors.Store(target, Fp(1) / 2));
  EXPECT_EQ(target, 0.5);
  EXPECT_FALSE(errors.Store(target, Fp(1e308) * 1e308));
  EXPECT_EQ(target, 0.5);
  EXPECT_EQ(errors.counts().overflow, 2);

  std::int32_t counter = std::numeric_limits<std::int32_t>::max() - 1;
  EXPECT_TRUE(errors.Increment(counter));
  EXPECT_FALSE(errors.Increment(counter));
  EXPECT_EQ(counter, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(errors.counts().overflow, 3);
  EXPECT_EQ(errors.counts().total, 7);
}

}  // namespace
}  // namespace quorvel
