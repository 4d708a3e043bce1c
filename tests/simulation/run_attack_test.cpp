// Both runs attacked as a hostile test file would attack them: numbers that are not numbers,
// outputs that turn infinite mid-run, scripts that change dt or t, fixed steps that freeze time,
// calls that a limit stops. For each: no invalid memory access (run under AddressSanitizer in
// CI), the run ends, the failure is counted, and the same host runs an innocent filter
// correctly right afterwards.

#include <QStringList>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"
#include "scripting/script_var_list.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/run_guard.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

enum class Run { kSweep, kScope };

const char* RunName(Run run) { return run == Run::kSweep ? "sweep" : "scope"; }

// What one run gave, whichever it was.
struct Attempted {
  RunOutcome outcome;
  std::int32_t count = 0;
  // Sweep: the amplitudes and phases of the points. Scope: the outputs of the samples.
  std::vector<double> amplitudes;
  std::vector<double> phases;
  std::vector<double> outputs;
  int show2 = 0;
  int unload2 = 0;
  int points_added = 0;
  bool overran = false;  // the run outlasted the time it may take and was cancelled for it
};

// An observer that cancels a run which outlasts `budget`: a run that would spin for ever then
// ends as cancelled, and the test fails on that instead of hanging.
class BudgetObserver : public HookedObserver {
 public:
  BudgetObserver(bool& cancel, std::chrono::seconds budget)
      : cancel_(cancel), deadline_(Clock::now() + budget) {}
  void PumpEvents() override {
    HookedObserver::PumpEvents();
    if (Clock::now() > deadline_) {
      overran = true;
      cancel_ = true;
    }
  }
  void PointAdded() override { ++points_added; }

  bool overran = false;
  int points_added = 0;

 private:
  bool& cancel_;
  Clock::time_point deadline_;
};

// 3 frequencies from 1 kHz to 4 kHz, one oscillation each; the scope at 1 kHz, two
// oscillations, 50 samples.
SweepSettings Sweep3(const QString& parameters, const QString& functions) {
  return SweepSettings{1000, 4000, 3, 1, parameters, functions};
}
ScopeSettings Scope50(const QString& parameters, const QString& functions) {
  return ScopeSettings{1000, 2, 50, u"sinusoidale"_qs, {}, parameters, functions};
}

Attempted RunOn(Run run, FilterEngine& engine, const QString& parameters,
                const QString& functions) {
  bool cancel = false;
  BudgetObserver observer(cancel, std::chrono::seconds(20));
  Attempted a;
  if (run == Run::kSweep) {
    SweepResult result;
    a.outcome = RunFrequencySweep(engine, observer, Sweep3(parameters, functions), result, cancel);
    a.count = result.count;
    for (std::int32_t i = 0; i < result.count; ++i) {
      a.amplitudes.push_back(result.points[static_cast<std::size_t>(i)].amplitude);
      a.phases.push_back(result.points[static_cast<std::size_t>(i)].phase);
    }
  } else {
    TimeTrace trace;
    a.outcome = SimulateTrace(engine, observer, Scope50(parameters, functions), trace, cancel);
    a.count = trace.count;
    a.outputs.assign(trace.outputs.begin(), trace.outputs.begin() + trace.count);
  }
  a.show2 = observer.show2;
  a.unload2 = observer.unload2;
  a.points_added = observer.points_added;
  a.overran = observer.overran;
  return a;
}

struct AttackParam {
  EngineCase engine;
  Run run;
};

std::string AttackName(const testing::TestParamInfo<AttackParam>& info) {
  return std::string(info.param.engine.name) + "_" + RunName(info.param.run);
}

class RunAttackTest : public testing::TestWithParam<AttackParam> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.LoadCode(PreludeText()).ok());
    engine_ = GetParam().engine.make(host_);
  }

  Attempted Attack(const QString& parameters, const QString& functions) {
    return RunOn(GetParam().run, *engine_, parameters, functions);
  }

  // The host still works, and its globals no longer disturb a filter that sets its own state:
  // vo = vi gives exactly the input, with no error.
  void ExpectAnInnocentRunAfterwards() {
    SCOPED_TRACE("an innocent filter right afterwards");
    EXPECT_FALSE(RunGuard::RunInProgress());
    const Attempted a = Attack(QString(), u"vo = vi"_qs);
    ASSERT_EQ(a.outcome.status, RunStatus::kCompleted);
    EXPECT_EQ(a.outcome.counts.total, 0);
    if (GetParam().run == Run::kSweep) {
      ASSERT_EQ(a.count, 3);
      for (const double amplitude : a.amplitudes) EXPECT_EQ(amplitude, 1.0);
    } else {
      EXPECT_GE(a.count, 50);
      for (const double vo : a.outputs) EXPECT_TRUE(std::isfinite(vo));
    }
  }

  ScriptHost host_;
  std::unique_ptr<FilterEngine> engine_;
};

TEST_P(RunAttackTest, OutputsThatAreNotFiniteNumbersAreCountedAndNotComputable) {
  struct Case {
    const char* name;
    const char16_t* functions;
  };
  const Case cases[] = {
      {"NaN", u"vo = NaN"},
      {"+Infinity", u"vo = Infinity"},
      {"-Infinity", u"vo = -Infinity"},
      {"a division by zero", u"vo = vi / 0"},
      {"an overflow in the script", u"vo = Number.MAX_VALUE * (1 + vi * vi + 1)"},
      {"an invalid operation", u"vo = Math.sqrt(-1 - vi * vi)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Attempted a = Attack(QString(), QString::fromUtf16(c.functions));
    ASSERT_FALSE(a.overran) << "the run did not end";
    ASSERT_EQ(a.outcome.status, RunStatus::kCompleted);
    EXPECT_GT(a.outcome.counts.overflow, 0);
    EXPECT_GE(a.outcome.counts.total, a.outcome.counts.overflow);
    if (GetParam().run == Run::kSweep) {
      ASSERT_EQ(a.count, 3);
      for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isnan(a.amplitudes[i])) << i;
        EXPECT_TRUE(std::isnan(a.phases[i])) << i;
      }
      EXPECT_EQ(ReportCount(a.outcome.report, u"Errori di overflow: "_qs),
                a.outcome.counts.overflow);
    } else {
      EXPECT_GE(a.count, 50);
      for (const double vo : a.outputs) EXPECT_FALSE(std::isfinite(vo));
    }
  }
  ExpectAnInnocentRunAfterwards();
}

TEST_P(RunAttackTest, AnOutputThatTurnsInfiniteMidRunStillLetsTimeAdvance) {
  // Before the fix the step shrank to exactly 0 (dt / (Inf / tol + 1)) and the run spun.
  RecordingEngine recorder(*engine_);
  bool cancel = false;
  BudgetObserver observer(cancel, std::chrono::seconds(20));
  const QString functions = u"vo = (t > 0.0002) ? 1/0 : vi"_qs;
  RunOutcome outcome;
  std::vector<double> amplitudes;
  std::int32_t count = 0;
  if (GetParam().run == Run::kSweep) {
    SweepResult result;
    outcome = RunFrequencySweep(recorder, observer, Sweep3(QString(), functions), result, cancel);
    count = result.count;
    for (std::int32_t i = 0; i < count; ++i) amplitudes.push_back(result.points[i].amplitude);
  } else {
    TimeTrace trace;
    outcome = SimulateTrace(recorder, observer, Scope50(QString(), functions), trace, cancel);
    count = trace.count;
    // Samples before 0.2 ms follow the input; the rest are infinite.
    ASSERT_GT(count, 5);
    EXPECT_TRUE(std::isfinite(trace.outputs[0]));
    EXPECT_TRUE(std::isinf(trace.outputs[static_cast<std::size_t>(count - 1)]));
  }
  ASSERT_FALSE(observer.overran) << "the run did not end";
  EXPECT_EQ(outcome.status, RunStatus::kCompleted);
  EXPECT_GT(recorder.min_dt, 0.0) << "every attempt moves time on";
  EXPECT_GT(outcome.counts.overflow, 0);
  if (GetParam().run == Run::kSweep) {
    ASSERT_EQ(count, 3);
    for (const double amplitude : amplitudes) EXPECT_TRUE(std::isnan(amplitude));
  }
  ExpectAnInnocentRunAfterwards();
}

TEST_P(RunAttackTest, ValuesThatAreNumbersButOddKeepTheRunSound) {
  struct Case {
    const char* name;
    const char16_t* functions;
  };
  const Case cases[] = {
      {"-0", u"vo = -0"},
      {"huge", u"vo = 1e308 * vi"},
      {"huge jumps", u"vo = (vi > 0) ? 1.7e308 : -1.7e308"},
      {"denormal", u"vo = 5e-324 * vi"},
      {"a text", u"vo = 'abc'"},
      {"a text of a number too large", u"vo = '1e999'"},
      {"an object", u"vo = {valueOf: function() { return 1 }}"},
      {"an array", u"vo = [1, 2]"},
      {"a symbol", u"vo = Symbol('x')"},
      {"a script that sets dt to 0", u"dt = 0; vo = vi"},
      {"a script that sets dt to NaN", u"dt = NaN; vo = vi"},
      {"a script that sets dt to -1", u"dt = -1; vo = vi"},
      {"a script that sets t back", u"t = -1; vo = vi"},
      {"a script that sets t to NaN", u"t = NaN; vo = vi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Attempted a = Attack(QString(), QString::fromUtf16(c.functions));
    ASSERT_FALSE(a.overran) << "the run did not end";
    EXPECT_EQ(a.outcome.status, RunStatus::kCompleted);
    EXPECT_EQ(a.show2, 1);
    EXPECT_EQ(a.unload2, 1);
    if (GetParam().run == Run::kSweep) {
      EXPECT_EQ(a.count, 3);
      EXPECT_EQ(a.points_added, 3);
    } else {
      EXPECT_GE(a.count, 50);
      EXPECT_EQ(a.points_added, a.count);
    }
  }
  // dt and t belong to the run: what a script writes into them changes nothing.
  for (const char16_t* functions : {u"dt = 0; vo = vi", u"t = -1; vo = vi"}) {
    SCOPED_TRACE(QString::fromUtf16(functions).toStdString());
    const Attempted a = Attack(QString(), QString::fromUtf16(functions));
    EXPECT_EQ(a.outcome.counts.total, 0);
    if (GetParam().run == Run::kSweep) {
      for (const double amplitude : a.amplitudes) EXPECT_EQ(amplitude, 1.0);
    }
  }
  ExpectAnInnocentRunAfterwards();
}

TEST_P(RunAttackTest, AFixedStepThatIsNotANumberAboveZeroIsRefusedBeforeTheLoop) {
  struct Case {
    const char* name;
    const char16_t* parameters;
    const char16_t* message;
  };
  const Case cases[] = {
      {"zero", u"dt=0", kBadFixedStepMessage},
      {"negative", u"dt=-1", kBadFixedStepMessage},
      {"minus zero", u"dt=-0", kBadFixedStepMessage},
      {"a text", u"dt=\"abc\"", kBadFixedStepMessage},
      {"NaN", u"dt=NaN", kBadFixedStepMessage},
      {"infinite", u"dt=Infinity", kBadFixedStepMessage},
      {"an object", u"dt={}", kBadFixedStepMessage},
      {"denormal: steps without end", u"dt=5e-324", kTooManyStepsMessage},
      {"more steps than a run counts", u"dt=1e-15", kTooManyStepsMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingEngine recorder(*engine_);
    bool cancel = false;
    BudgetObserver observer(cancel, std::chrono::seconds(20));
    RunOutcome outcome;
    if (GetParam().run == Run::kSweep) {
      SweepResult result{.points = {}, .count = 5};
      outcome =
          RunFrequencySweep(recorder, observer,
                            Sweep3(QString::fromUtf16(c.parameters), u"vo=vi"_qs), result, cancel);
      EXPECT_EQ(result.count, 0);
    } else {
      TimeTrace trace;
      outcome =
          SimulateTrace(recorder, observer, Scope50(QString::fromUtf16(c.parameters), u"vo=vi"_qs),
                        trace, cancel);
      EXPECT_EQ(trace.count, 0);
    }
    EXPECT_FALSE(observer.overran);
    EXPECT_EQ(outcome.status, RunStatus::kRefused);
    EXPECT_EQ(outcome.message, QString::fromUtf16(c.message));
    EXPECT_FALSE(outcome.started());
    EXPECT_TRUE(outcome.report.isEmpty());
    EXPECT_EQ(recorder.functions_runs, 0) << "refused before the time loop";
    EXPECT_EQ(recorder.end_runs, recorder.begin_runs);
    EXPECT_EQ(observer.show2, 1);
    EXPECT_EQ(observer.unload2, 1);
  }
  ExpectAnInnocentRunAfterwards();
}

TEST_P(RunAttackTest, AFixedStepThatIsANumberAboveZeroRuns) {
  // The edge of the refusal: the smallest step still counted in 32 bits runs (a short one).
  for (const char16_t* parameters : {u"dt=0.00001", u"dt='0.00001'", u"dt=1e300"}) {
    SCOPED_TRACE(QString::fromUtf16(parameters).toStdString());
    const Attempted a = Attack(QString::fromUtf16(parameters), u"vo=vi"_qs);
    EXPECT_EQ(a.outcome.status, RunStatus::kCompleted) << a.outcome.message.toStdString();
    EXPECT_GT(a.count, 0);
  }
}

// Forwards to another engine, but the functions fail with `error` from the `fail_at`-th call on.
class FailingEngine : public RecordingEngine {
 public:
  FailingEngine(FilterEngine& inner, ScriptError error, int fail_at)
      : RecordingEngine(inner), error_(std::move(error)), fail_at_(fail_at) {}
  ScriptStatus RunFunctions() override {
    ++calls;
    if (calls >= fail_at_) return error_;
    return RecordingEngine::RunFunctions();
  }
  int calls = 0;

 private:
  ScriptError error_;
  int fail_at_;
};

TEST_P(RunAttackTest, ACallStoppedByTheTimeLimitOrTheMemoryGuardEndsTheRunAsACancel) {
  struct Case {
    const char* name;
    int number;
    bool ends;
  };
  const Case cases[] = {
      {"time limit", script_errors::kTimeout, true},
      {"memory guard", script_errors::kOutOfMemory, true},
      {"an ordinary error goes on", script_errors::kRuntime, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ScriptError error{c.number, u"the description (Funzioni del filtro, riga 1)"_qs};
    FailingEngine failing(*engine_, error, 20);
    const Attempted a = RunOn(GetParam().run, failing, QString(), u"vo=vi"_qs);
    if (c.ends) {
      EXPECT_EQ(failing.calls, 20) << "no call after the one that was stopped";
      EXPECT_EQ(a.outcome.status, RunStatus::kCancelled);
      EXPECT_EQ(ReportLines(a.outcome.report)[0], u"Operazione annullata"_qs);
      EXPECT_EQ(a.outcome.counts.total, 1);
      EXPECT_EQ(ReportCount(a.outcome.report, u"Errori totali: "_qs), 1);
      ASSERT_TRUE(a.outcome.stop_error.has_value());
      EXPECT_EQ(a.outcome.stop_error->number, c.number);
      EXPECT_EQ(a.outcome.stop_error->description, error.description);
    } else {
      EXPECT_GT(failing.calls, 20);
      EXPECT_EQ(a.outcome.status, RunStatus::kCompleted);
      EXPECT_GT(a.outcome.counts.total, 1);
      EXPECT_FALSE(a.outcome.stop_error.has_value());
    }
    EXPECT_EQ(failing.end_runs, 1);
  }
  ExpectAnInnocentRunAfterwards();
}

// With a host of its own, whose time limit is short (one host may exist at a time).
class RealLimitTest : public testing::TestWithParam<AttackParam> {};

TEST_P(RealLimitTest, AnEndlessLoopStoppedByTheTimeLimitEndsTheRun) {
  ScriptHost host(ScriptLimits{.call_time_limit = std::chrono::milliseconds(300)});
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  const auto engine = GetParam().engine.make(host);
  const Clock::time_point start = Clock::now();
  const Attempted a = RunOn(GetParam().run, *engine, QString(), u"while (true) {}"_qs);
  const auto took = Clock::now() - start;
  EXPECT_EQ(a.outcome.status, RunStatus::kCancelled);
  EXPECT_EQ(ReportLines(a.outcome.report)[0], u"Operazione annullata"_qs);
  // The scope's report also counts its averages, which cannot be computed without a frame.
  EXPECT_EQ(ReportCount(a.outcome.report, u"Errori totali: "_qs), a.outcome.counts.total);
  EXPECT_EQ(a.outcome.counts.total, GetParam().run == Run::kSweep ? 1 : 3);
  ASSERT_TRUE(a.outcome.stop_error.has_value());
  EXPECT_EQ(a.outcome.stop_error->number, script_errors::kTimeout);
  EXPECT_LT(took, std::chrono::seconds(5)) << "one stopped call, not one per attempt";
}

std::vector<AttackParam> AttackParams() {
  std::vector<AttackParam> params;
  for (const EngineCase& engine : Engines()) {
    for (const Run run : {Run::kSweep, Run::kScope}) params.push_back({engine, run});
  }
  return params;
}

INSTANTIATE_TEST_SUITE_P(Runs, RunAttackTest, testing::ValuesIn(AttackParams()), AttackName);
INSTANTIATE_TEST_SUITE_P(Runs, RealLimitTest, testing::ValuesIn(AttackParams()), AttackName);

// A frequency without an amplitude or a phase reads "/" under the cursor, and the curve leaves
// it out rather than drawing to a NaN.
TEST(NotComputablePoints, ReadAsNoValueInTheReadout) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(AmplitudeText(nan, QString()), u"/"_qs);
  EXPECT_EQ(AmplitudeText(nan, u"db"_qs), u"/"_qs);
  EXPECT_EQ(PhaseText(nan, u"deg"_qs), u"/"_qs);
  EXPECT_EQ(PhaseText(nan, u"rad"_qs), u"/"_qs);
  SweepResult result{.points = {{100, 0, 1}, {1000, nan, nan}, {10000, -45, 0.7}}, .count = 3};
  EXPECT_TRUE(std::isnan(CurveAmplitude(result, 500)));
  EXPECT_TRUE(std::isnan(CurveAmplitude(result, 5000)));
  EXPECT_TRUE(CutoffFrequencies(result).empty()) << "no cutoff drawn across a missing point";
}

TEST(IsParameterName, TakesIdentifiersOnly) {
  struct Case {
    const char16_t* name;
    bool accepted;
  };
  const Case cases[] = {
      {u"k", true},    {u"RC", true},       {u"_gain2", true},       {u"R1", true},
      {u"", false},    {u"1k", false},      {u"Math.random", false}, {u"a b", false},
      {u"x;y", false}, {u"a=1", false},     {u"k[0]", false},        {u"è", false},
      {u"(k)", false}, {u"k\r\nvo", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
    EXPECT_EQ(IsParameterName(QString::fromUtf16(c.name)), c.accepted);
  }
}

TEST(IsParameterName, AgreesWithIsIdentCharOnEveryCharacter) {
  for (int u = 0; u <= 0xFFFF; ++u) {
    const QChar c(static_cast<char16_t>(u));
    const QString after_letter = QStringLiteral("a") + c;
    ASSERT_EQ(IsParameterName(after_letter), IsIdentChar(c)) << u;
  }
}

TEST(ParseParameterItem, RefusesAnItemWhoseNameWouldRunAsCode) {
  EXPECT_TRUE(ParseParameterItem(u"k 50% [0;2]"_qs).has_value());
  EXPECT_FALSE(ParseParameterItem(u"Math.random 50% [0;2]"_qs).has_value());
  EXPECT_FALSE(ParseParameterItem(u"9k 50% [0;2]"_qs).has_value());
  EXPECT_FALSE(ParseParameterItem(u"a;b 50% [0;2]"_qs).has_value());
}

class ParameterNameRunTest : public RunTest {};

TEST_P(ParameterNameRunTest, AnItemWithABadNameIsSkippedAndCountedAndRunsNothing) {
  const QStringList items = {u"Math.random 50% [0;2]"_qs, u"k 50% [0;4]"_qs, u"x;vo 10% [0;1]"_qs};
  SilentObserver observer;
  const bool stop = false;
  TimeTrace trace;
  const RunOutcome outcome = SimulateTrace(
      *engine_, observer,
      ScopeSettings{1000, 1, 10, u"sinusoidale"_qs, items, QString(),
                    u"vo = k * vi + ((typeof Math.random == 'function') ? 0 : 100)"_qs},
      trace, stop);
  ASSERT_EQ(outcome.status, RunStatus::kCompleted);
  EXPECT_EQ(outcome.counts.total, 2) << "each bad item counted once, as a malformed item is";
  ASSERT_GT(trace.count, 2);
  for (std::int32_t i = 0; i < trace.count; ++i) {
    EXPECT_NEAR(trace.outputs[i], 2 * trace.inputs[i], 1e-12);
  }
  auto random = host_.Evaluate(u"typeof Math.random"_qs);
  ASSERT_TRUE(random.ok());
  EXPECT_EQ(random->text(), u"function"_qs);
}

INSTANTIATE_TEST_SUITE_P(Engines, ParameterNameRunTest, testing::ValuesIn(Engines()), EngineName);

}  // namespace
}  // namespace quorvel
