// Every run starts from rest: each frequency of a sweep and each oscilloscope run sets every
// state variable to 0 before its parameters run, so a measurement never depends on what ran
// before it, in the same run or in an earlier one on the same host.

#include <QStringList>

#include <cmath>
#include <cstring>
#include <vector>

#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

std::uint64_t Bits(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

class RunStartTest : public RunTest {
 protected:
  double Global(const char16_t* name) {
    const auto value = engine_->EvaluateNumber(QString::fromUtf16(name));
    EXPECT_TRUE(value.ok());
    return value.ok() ? *value : -1;
  }
};

// A counter (n = n + 1) shapes the output's start: with any carry-over the second frequency, or
// the second run, would read more (the classic method averages the start in), and the counter
// left after the run would differ.
TEST_P(RunStartTest, ACounterSweptAtOneFrequencyReadsTheSameEachTimeAndAcrossRuns) {
  for (const SweepMethod method : {SweepMethod::kClassic, SweepMethod::kPrecise}) {
    SCOPED_TRACE(method == SweepMethod::kClassic ? "classic" : "precise");
    const SweepSettings settings{
        1000,  1000, 3, 2, u"dt = 0.00001"_qs, u"n = n + 1\r\nvo = vi * Math.min(n, 500)"_qs,
        method};
    SilentObserver observer;
    const bool cancel = false;
    std::vector<SweepResult> runs(2);
    std::vector<double> counters;
    for (SweepResult& result : runs) {
      ASSERT_EQ(RunFrequencySweep(*engine_, observer, settings, result, cancel).status,
                RunStatus::kCompleted);
      counters.push_back(Global(u"n"));
    }
    for (const SweepResult& result : runs) {
      ASSERT_EQ(result.count, 3);
      for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Bits(result.points[i].amplitude), Bits(runs[0].points[0].amplitude));
        EXPECT_EQ(Bits(result.points[i].phase), Bits(runs[0].points[0].phase));
      }
    }
    // The counter counted the steps of the last frequency only, the same in both runs.
    EXPECT_EQ(counters[0], counters[1]);
    if (method == SweepMethod::kClassic) {
      EXPECT_GE(counters[0], 200);  // two periods of 100 steps
      EXPECT_LE(counters[0], 201);
    }
  }
}

TEST_P(RunStartTest, StateNotSetByTheParametersStartsAtZeroAndTheParametersStillSetTheirs) {
  // "k" is set by the parameters; "m" is not, and whatever an earlier run left in it makes no
  // difference.
  const SweepSettings settings{1000, 1000, 1, 1, u"k = 3"_qs, u"m = m + 1\r\nvo = k * vi"_qs};
  SilentObserver observer;
  const bool cancel = false;
  std::vector<double> counts;
  for (const char16_t* left_over : {u"m = 50; n = 7", u"m = 1e6; n = 7"}) {
    ASSERT_TRUE(engine_->Execute(QString::fromUtf16(left_over), QString()).ok());
    SweepResult result;
    ASSERT_EQ(RunFrequencySweep(*engine_, observer, settings, result, cancel).status,
              RunStatus::kCompleted);
    EXPECT_NEAR(result.points[0].amplitude, 3.0, 1e-12);
    counts.push_back(Global(u"m"));
    EXPECT_EQ(Global(u"n"), 7) << "a global that is not state is not touched";
  }
  EXPECT_EQ(counts[0], counts[1]) << "m counted the steps from 0 both times";
  EXPECT_LT(counts[0], 1e5);
}

TEST_P(RunStartTest, TheOscilloscopeStartsFromRestAtEachRun) {
  const ScopeSettings settings{1000,
                               2,
                               50,
                               u"sinusoidale"_qs,
                               {u"g 50% [0;4]"_qs},
                               u"dt = 0.00001"_qs,
                               u"n = n + 1\r\nvo = g * n"_qs};
  SilentObserver observer;
  const bool stop = false;
  std::vector<TimeTrace> traces(2);
  std::vector<double> counters;
  for (TimeTrace& trace : traces) {
    ASSERT_EQ(SimulateTrace(*engine_, observer, settings, trace, stop).status,
              RunStatus::kCompleted);
    counters.push_back(Global(u"n"));
  }
  ASSERT_GT(traces[0].count, 10);
  ASSERT_EQ(traces[1].count, traces[0].count);
  for (std::int32_t i = 0; i < traces[0].count; ++i) {
    EXPECT_EQ(Bits(traces[1].outputs[i]), Bits(traces[0].outputs[i])) << i;
  }
  EXPECT_EQ(traces[0].outputs[0], 2.0) << "the first step counts 1, times the parameter's 2";
  EXPECT_EQ(counters[0], counters[1]);
}

INSTANTIATE_TEST_SUITE_P(Engines, RunStartTest, testing::ValuesIn(Engines()), EngineName);

}  // namespace
}  // namespace quorvel
