#include "simulation/frequency_sweep.h"

#include <cmath>
#include <limits>
#include <optional>

#include "simulation/oscilloscope_run.h"
#include "simulation/run_guard.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

// A sweep as the tests describe it, converted to the run's settings by SweepTest::Sweep.
struct SweepCase {
  double start = 100;
  double end = 1000;
  std::int32_t samples = 3;
  std::int16_t oscillations = 1;
  QString parameters;
  QString functions = u"vo=vi\r\n"_qs;

  SweepCase Range(double from, double to) const {
    SweepCase s = *this;
    s.start = from;
    s.end = to;
    return s;
  }
  SweepCase Samples(std::int32_t n) const {
    SweepCase s = *this;
    s.samples = n;
    return s;
  }
  SweepCase Oscillations(std::int16_t n) const {
    SweepCase s = *this;
    s.oscillations = n;
    return s;
  }
  SweepCase Filter(const QString& parameters_text, const QString& functions_text) const {
    SweepCase s = *this;
    s.parameters = parameters_text;
    s.functions = functions_text;
    return s;
  }
};

class SweepTest : public RunTest {
 protected:
  std::optional<QString> Sweep(const SweepCase& s, SweepResult& result, RunObserver& observer,
                               const bool& cancel, FilterEngine* engine = nullptr) {
    const SweepSettings settings{s.start,        s.end,        s.samples,
                                 s.oscillations, s.parameters, s.functions};
    last_outcome_ = RunFrequencySweep(engine != nullptr ? *engine : *engine_, observer, settings,
                                      result, cancel);
    return ReportOf(last_outcome_);
  }
  QString Sweep(const SweepCase& s, SweepResult& result) {
    SilentObserver observer;
    const bool cancel = false;
    auto report = Sweep(s, result, observer, cancel);
    EXPECT_TRUE(report.has_value());
    return report.value_or(QString());
  }

  RunOutcome last_outcome_;
};

TEST_P(SweepTest, DefaultFilterHasUnityGainAndNoPhaseAtLogSpacedFrequencies) {
  SweepResult result;
  const QString report = Sweep(SweepCase().Range(10, 10000).Samples(5).Oscillations(2), result);
  ASSERT_EQ(result.count, 5);
  ASSERT_EQ(result.points.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const ResponsePoint& p = result.points[i];
    EXPECT_NEAR(p.frequency, 10 * std::pow(10.0, 0.75 * i), 1e-9 * p.frequency);
    EXPECT_EQ(p.amplitude, 1.0);
    EXPECT_LT(std::fabs(p.phase), 1.0);
  }
  EXPECT_EQ(result.points[0].frequency, 10.0);
  EXPECT_EQ(ReportLines(report)[0], u"Operazione completata"_qs);
  EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), 0);
}

TEST_P(SweepTest, ParametersThatAssignDtFixTheStepForTheWholeRun) {
  RecordingEngine recorder(*engine_);
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  const SweepCase settings = SweepCase().Range(100, 1000).Samples(2).Filter(
      u"dt=0.00001\r\ngain=2"_qs, u"vo=gain*vi\r\nsteps=steps+1"_qs);
  const auto report = Sweep(settings, result, observer, cancel, &recorder);
  ASSERT_TRUE(report);

  EXPECT_EQ(recorder.min_dt, 0.00001);
  EXPECT_EQ(recorder.max_dt, 0.00001);
  // The parameters once to read dt, then at each frequency the three statements twice.
  const QString p = settings.parameters;
  const std::vector<QString> frequency = {u"dt=1E-05"_qs, u"vo=0"_qs, p,
                                          u"dt=1E-05"_qs, u"vo=0"_qs, p};
  std::vector<QString> expected = {p};
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), frequency.begin(), frequency.end());
  EXPECT_EQ(recorder.executed, expected);
  EXPECT_EQ(recorder.state_names,
            (std::vector<QString>{u"dt"_qs, u"gain"_qs, u"steps"_qs, u"vi"_qs, u"vo"_qs}));
  EXPECT_EQ(recorder.begin_runs, 1);
  EXPECT_EQ(recorder.resets, 4);  // at each frequency: the start from rest, then the saved state
  EXPECT_EQ(recorder.end_runs, 1);

  ASSERT_EQ(result.count, 2);
  EXPECT_EQ(result.points[0].amplitude, 2.0);
  EXPECT_EQ(result.points[1].amplitude, 2.0);
  EXPECT_EQ(ReportCount(*report, u"Errori di timestep: "_qs), 0);
  EXPECT_EQ(ReportCount(*report, u"Errori totali: "_qs), 0);
  // No attempt is repeated: one period of 10 us steps at 1 kHz, the last frequency (each
  // frequency starts from rest, so the count starts again at 0), is 100 steps, one more if the
  // sum of the steps stays at or below the period.
  auto steps = engine_->EvaluateNumber(u"steps"_qs);
  ASSERT_TRUE(steps.ok());
  EXPECT_GE(*steps, 100);
  EXPECT_LE(*steps, 101);
}

TEST_P(SweepTest, AnOutputThatNeverGoesNegativeCopiesThePreviousPhase) {
  {
    SCOPED_TRACE("rectifier from the first point: 0 everywhere");
    SweepResult result;
    Sweep(SweepCase().Range(10, 1000).Filter(QString(), u"vo=Math.abs(vi)"_qs), result);
    ASSERT_EQ(result.count, 3);
    for (const ResponsePoint& p : result.points) EXPECT_EQ(p.phase, 0.0);
  }
  {
    SCOPED_TRACE("inverter at 10 Hz, rectifier above: the inverter's phase is copied");
    // The parameters run with dt = 1 / (5000 f), so w0 = 5000 f tells the frequencies apart.
    SweepResult result;
    Sweep(SweepCase().Range(10, 1000).Filter(u"w0 = 1 / dt"_qs,
                                             u"vo = (w0 < 60000) ? -vi : Math.abs(vi)"_qs),
          result);
    ASSERT_EQ(result.count, 3);
    EXPECT_NEAR(std::fabs(result.points[0].phase), 180, 1);
    EXPECT_EQ(result.points[1].phase, result.points[0].phase);
    EXPECT_EQ(result.points[2].phase, result.points[0].phase);
    EXPECT_EQ(result.points[2].amplitude, 1.0);
  }
}

TEST_P(SweepTest, FrequenciesRunDownwardOrStayWhenTheEndsAreEqual) {
  struct Case {
    double start, end;
    std::vector<double> frequencies;
  };
  const Case cases[] = {
      {1000, 10, {1000, 100, 10}},
      {100, 100, {100, 100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " to " << c.end);
    SweepResult result;
    Sweep(SweepCase().Range(c.start, c.end), result);
    ASSERT_EQ(result.count, 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(result.points[i].frequency, c.frequencies[i], 1e-9 * c.frequencies[i]);
      EXPECT_EQ(result.points[i].amplitude, 1.0);
    }
    EXPECT_EQ(result.points[0].frequency, c.start);
    if (c.start == c.end) {
      EXPECT_EQ(result.points[2].frequency, c.end);
    }
  }
}

TEST_P(SweepTest, OneSampleStaysAtTheStartFrequencyAndNoSamplesMeasureNothing) {
  SweepResult one;
  Sweep(SweepCase().Range(1000, 5000).Samples(1), one);
  ASSERT_EQ(one.count, 1);
  EXPECT_EQ(one.points[0].frequency, 1000);
  EXPECT_EQ(one.points[0].amplitude, 1.0);

  SweepResult none{.points = {ResponsePoint{}}, .count = 1};
  const QString report = Sweep(SweepCase().Samples(0), none);
  EXPECT_EQ(none.count, 0);
  EXPECT_TRUE(none.points.empty());
  EXPECT_EQ(ReportLines(report)[0], u"Operazione completata"_qs);
}

TEST_P(SweepTest, CancelKeepsThePointsOfTheFrequenciesAlreadyDone) {
  enum class Where { kBeforeStart, kAfterFrequency, kAtAPacingPoint, kInEventDelivery };
  struct Case {
    const char* name;
    Where where;
    int expected_count;
  };
  constexpr int k = 2;
  const Case cases[] = {
      {"set before the run", Where::kBeforeStart, 0},
      {"set when frequency k ends", Where::kAfterFrequency, k + 1},
      {"set at a pacing point of frequency k", Where::kAtAPacingPoint, k},
      {"set by an event delivered during frequency k", Where::kInEventDelivery, k},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HookedObserver observer;
    bool cancel = c.where == Where::kBeforeStart;
    int cancelled_during = -1;  // frequencies done when the flag was set
    auto set_cancel = [&] {
      if (!cancel) cancelled_during = observer.set_pb;
      cancel = true;
    };
    switch (c.where) {
      case Where::kBeforeStart:
        break;
      case Where::kAfterFrequency:
        observer.on_set_pb = [&] {
          if (observer.set_pb == k + 1) set_cancel();
        };
        break;
      case Where::kAtAPacingPoint:
        observer.on_show_adv = [&] {
          if (observer.set_pb == k) set_cancel();
        };
        break;
      case Where::kInEventDelivery:
        observer.on_pump_events = [&] {
          if (observer.set_pb >= k) set_cancel();
        };
        // A fast engine can finish a frequency within the 15 ms between deliveries: slow the
        // pacing points from frequency k on, so that events are delivered there.
        observer.on_show_adv = [&] {
          if (observer.set_pb >= k) std::this_thread::sleep_for(std::chrono::milliseconds(16));
        };
        break;
    }
    SweepResult result;
    const auto report =
        Sweep(SweepCase().Range(100, 1000).Samples(5).Oscillations(2), result, observer, cancel);
    ASSERT_TRUE(report);
    EXPECT_EQ(ReportLines(*report)[0], u"Operazione annullata"_qs);
    EXPECT_EQ(result.points.size(), 5u);
    if (c.where == Where::kInEventDelivery) {
      // Events are delivered at most every 15 ms, so the flag may come in a later frequency;
      // whichever it was, that frequency gets no point.
      EXPECT_GE(cancelled_during, k);
      EXPECT_EQ(result.count, cancelled_during);
    } else {
      EXPECT_EQ(result.count, c.expected_count);
    }
    EXPECT_EQ(observer.show2, 1);
    EXPECT_EQ(observer.unload2, 1);
  }
}

TEST_P(SweepTest, AFailingCallAfterACancelEndsTheRunAtOnce) {
  // A filter that the engine stops (cancel or time-out) fails; the run must not go on to the
  // next pacing point.
  HookedObserver observer;
  bool cancel = false;
  observer.on_add_err = [&] { cancel = true; };
  SweepResult result;
  const auto report =
      Sweep(SweepCase().Filter(QString(), u"vo=vi\r\nbroken("_qs), result, observer, cancel);
  ASSERT_TRUE(report);
  EXPECT_EQ(observer.add_err, 1);
  EXPECT_EQ(result.count, 0);
  EXPECT_EQ(ReportLines(*report)[0], u"Operazione annullata"_qs);
  EXPECT_EQ(ReportCount(*report, u"Errori totali: "_qs), 1);
}

TEST_P(SweepTest, AJumpingOutputCountsTimeStepErrors) {
  HookedObserver observer;
  const bool cancel = false;
  SweepResult result;
  const auto report =
      Sweep(SweepCase().Range(100, 200).Samples(2).Filter(QString(), u"vo = (vi > 0) ? 1 : -1"_qs),
            result, observer, cancel);
  ASSERT_TRUE(report);
  const int timestep = ReportCount(*report, u"Errori di timestep: "_qs);
  // Two jumps a period, each driving dt below dt0 for a few frames.
  EXPECT_GE(timestep, 4);
  EXPECT_EQ(ReportCount(*report, u"Errori totali: "_qs), timestep);
  EXPECT_EQ(ReportCount(*report, u"Errori di overflow: "_qs), 0);
  EXPECT_EQ(observer.add_err, timestep);
  EXPECT_EQ(result.count, 2);
}

TEST_P(SweepTest, AnOverflowingOutputIsCountedAndTheRunGoesOn) {
  // At each jump the step shrink dvo / tol overflows; the attempt is then accepted rather than
  // repeated with the same step for ever.
  SweepResult result;
  const QString report = Sweep(SweepCase()
                                   .Range(1000, 1000)
                                   .Samples(2)
                                   .Filter(QString(), u"vo = (vi > 0) ? 1e307 : -1e307"_qs),
                               result);
  ASSERT_EQ(result.count, 2);
  const int overflow = ReportCount(report, u"Errori di overflow: "_qs);
  EXPECT_GE(overflow, 2);
  EXPECT_GE(ReportCount(report, u"Errori totali: "_qs), overflow);
}

TEST_P(SweepTest, TheReportListsTheCountsAndBothTexts) {
  // Fixed step, and a parameters text that fails at its end: once to read dt, then twice at
  // each of the two frequencies.
  SweepResult result;
  const QString report = Sweep(SweepCase()
                                   .Range(1000, 2000)
                                   .Samples(2)
                                   .Filter(u"dt=0.0001\r\nx=nowhere"_qs, u"vo=vi\r\n"_qs),
                               result);
  EXPECT_EQ(report,
            u"Operazione completata\r\n"
            "Durata simulazione: 0 s\r\n"
            "Errori totali: 5\r\n"
            "Errori di timestep: 0\r\n"
            "Errori di overflow: 0\r\n"
            "\r\n"
            "Funzioni del filtro:\r\n"
            "vo=vi\r\n"
            "\r\n"
            "\r\n"
            "Parametri del filtro:\r\n"
            "dt=0.0001\r\n"
            "x=nowhere\r\n"_qs);
  EXPECT_EQ(result.count, 2);
}

TEST_P(SweepTest, RcLowPassHasItsCutoffAndPhaseAtOneKilohertz) {
  // A long run: the statement-text engine gives the same points (the engines are proven equal
  // elsewhere) at fifty times the cost.
  if (std::string(GetParam().name) == "Text") GTEST_SKIP() << "long run, fast engine only";
  SweepResult result;
  Sweep(SweepCase()
            .Range(10, 100000)
            .Samples(40)
            .Oscillations(10)
            .Filter(u"RC=1/(2*3.14159265358979*1000)"_qs, u"vo=vo+(vi-vo)*dt/RC"_qs),
        result);
  ASSERT_EQ(result.count, 40);
  const auto& p = result.points;
  EXPECT_NEAR(p[0].amplitude, 1, 0.01);
  EXPECT_LT(p[39].amplitude, 0.05);

  std::optional<double> cutoff;
  std::optional<double> phase_at_1k;
  for (int i = 0; i + 1 < 40; ++i) {
    const double l0 = std::log10(p[i].frequency);
    const double l1 = std::log10(p[i + 1].frequency);
    if (!cutoff && p[i].amplitude >= 0.71 && p[i + 1].amplitude < 0.71) {
      const double x = (0.71 - p[i].amplitude) / (p[i + 1].amplitude - p[i].amplitude);
      cutoff = std::pow(10.0, l0 + x * (l1 - l0));
    }
    if (!phase_at_1k && p[i].frequency <= 1000 && p[i + 1].frequency > 1000) {
      const double x = (3 - l0) / (l1 - l0);
      phase_at_1k = p[i].phase + x * (p[i + 1].phase - p[i].phase);
    }
  }
  ASSERT_TRUE(cutoff);
  ASSERT_TRUE(phase_at_1k);
  EXPECT_NEAR(*cutoff, 990, 0.05 * 990);
  EXPECT_NEAR(*phase_at_1k, -45, 5);
}

TEST_P(SweepTest, ARunStartedWhileAnotherRunsIsRefused) {
  const SweepCase settings = SweepCase().Range(100, 1000).Samples(2).Filter(
      u"RC=1/(2*3.14159265358979*300)"_qs, u"vo=vo+(vi-vo)*dt/RC"_qs);
  HookedObserver observer;
  HookedObserver nested_observer;
  const bool cancel = false;
  SweepResult nested_result{.points = {ResponsePoint{1, 2, 3}}, .count = 7};
  TimeTrace nested_trace;
  nested_trace.count = 9;
  std::optional<QString> nested_sweep = u"not called"_qs;
  std::optional<QString> nested_trace_report = u"not called"_qs;
  observer.on_pump_events = [&] {
    if (observer.pump_events != 1) return;
    nested_sweep = Sweep(settings, nested_result, nested_observer, cancel);
    nested_trace_report = ReportOf(
        SimulateTrace(*engine_, nested_observer,
                      ScopeSettings{1000, 1, 10, u"sinusoidale"_qs, {}, QString(), u"vo=vi"_qs},
                      nested_trace, cancel));
  };
  SweepResult result;
  ASSERT_TRUE(Sweep(settings, result, observer, cancel));

  EXPECT_FALSE(nested_sweep.has_value());
  EXPECT_FALSE(nested_trace_report.has_value());
  EXPECT_EQ(nested_observer.calls(), 0);
  EXPECT_EQ(nested_result.count, 7);
  ASSERT_EQ(nested_result.points.size(), 1u);
  EXPECT_EQ(nested_result.points[0].phase, 2);
  EXPECT_EQ(nested_trace.count, 9);
  EXPECT_TRUE(nested_trace.times.empty());

  // The same sweep again, now that nothing runs, gives the same points bit for bit.
  EXPECT_FALSE(RunGuard::RunInProgress());
  SweepResult again;
  Sweep(settings, again);
  ASSERT_EQ(result.count, 2);
  ASSERT_EQ(again.count, 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(result.points[i].frequency, again.points[i].frequency);
    EXPECT_EQ(result.points[i].amplitude, again.points[i].amplitude);
    EXPECT_EQ(result.points[i].phase, again.points[i].phase);
  }
}

TEST_P(SweepTest, FrequenciesThatAreNotPositiveNumbersAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double bad[][2] = {
      {0, 1000}, {-5, 1000}, {100, 0}, {nan, 1000}, {100, std::numeric_limits<double>::infinity()}};
  for (const auto& f : bad) {
    SCOPED_TRACE(testing::Message() << f[0] << " to " << f[1]);
    HookedObserver observer;
    const bool cancel = false;
    SweepResult result{.points = {}, .count = 3};
    EXPECT_FALSE(Sweep(SweepCase().Range(f[0], f[1]), result, observer, cancel));
    EXPECT_EQ(observer.calls(), 0);
    EXPECT_EQ(result.count, 3);
  }
}

TEST_P(SweepTest, TheProgressWindowOpensWithTheCallbackAndReachesOneHundred) {
  HookedObserver observer;
  const bool cancel = false;
  SweepResult result;
  ASSERT_TRUE(Sweep(SweepCase().Samples(3), result, observer, cancel));
  EXPECT_EQ(observer.callback_name, u"AsyncCallback"_qs);
  EXPECT_EQ(observer.title, u"Simulazione"_qs);
  EXPECT_EQ(observer.set_pb, 3);
  EXPECT_EQ(observer.last_percent, 100);
  EXPECT_GE(observer.pump_events, 1);
  EXPECT_EQ(observer.unload2, 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, SweepTest, testing::ValuesIn(Engines()), EngineName);

}  // namespace
}  // namespace quorvel
