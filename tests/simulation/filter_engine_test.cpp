// The fast engine must do exactly what the statement texts do: same engine state after every
// call, same failures, same values read. Each scenario runs once on each engine and each way of
// making the calls (one by one; each attempt in one engine call; the whole run inside one call),
// in a fresh host, and the transcripts must be identical.
#include <gtest/gtest.h>

#include <QStringList>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <type_traits>
#include <utility>

#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "scripting/script_var_list.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/script_filter_engine.h"
#include "simulation/text_filter_engine.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

struct Scenario {
  const char* name;
  QString parameters;
  QString functions;
  QString input;  // empty: the program sets vi
  QStringList extra_names;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

QString Bits(double x) {
  uint64_t u = 0;
  std::memcpy(&u, &x, sizeof u);
  return QString::number(u, 16);
}

QString Describe(const Expected<double>& v) {
  return v.ok() ? u"ok:"_qs + Bits(*v) : QStringLiteral("err:%1").arg(v.error().number);
}

// Every listed name's kind and exact value, read as global code would read it.
QString Probe(ScriptHost& host, const std::vector<QString>& names) {
  QString list;
  for (const QString& n : names) list += u'"' + n + u"\","_qs;
  auto r = host.Evaluate(
      u"(function(){var out=[];for(var nm of ["_qs + list +
      u"]){try{var v=(0,eval)(nm);out.push(typeof v+':'+(typeof v==='number'&&Object.is(v,-0)?"
      "'-0':String(v)))}catch(e){out.push('ERR:'+e.name)}}return out.join('|')})()"_qs);
  return r.ok() ? r->text() : u"probe failed"_qs;
}

// Runs the scenario's parameters and begins its run; gives the state list.
ScriptVarList BeginScenario(FilterEngine& engine, const Scenario& s, QStringList& out) {
  out << (engine.Execute(s.parameters, ParametersSourceName()).ok() ? u"params ok"_qs
                                                                    : u"params failed"_qs);
  ScriptVarList list;
  CollectAssignedNames(s.parameters, list);
  CollectAssignedNames(s.functions, list);
  for (const char* n : {"dt", "vi", "vo"}) SetVar(list, QString::fromLatin1(n), u"0"_qs);
  for (const QString& n : s.extra_names) SetVar(list, n, u"0"_qs);
  engine.BeginRun(list.names, s.functions, s.input);
  return list;
}

template <typename Engine>
QStringList Transcript(const Scenario& s) {
  ScriptHost host;
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  Engine engine(host);
  QStringList out;
  const ScriptVarList list = BeginScenario(engine, s, out);
  double t = 0;
  double dt = 1e-4;
  for (int step = 0; step < 40; ++step) {
    if (step == 20) engine.ResetSavedState();
    engine.SaveState();
    out << u"saved "_qs + Probe(host, list.names);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const double t_try = t + dt / (attempt + 1);
      const double vi = std::sin(t_try * 6283.18530717958);
      const int failures = engine.RestoreAndSet(dt, t_try, s.input.isEmpty() ? &vi : nullptr);
      out << QStringLiteral("restore %1 ").arg(failures) + Probe(host, list.names);
      if (!s.input.isEmpty()) out << u"input "_qs + Describe(engine.RunInput());
      out << (engine.RunFunctions().ok() ? u"functions ok"_qs : u"functions failed"_qs);
      out << u"vo "_qs + Describe(engine.ReadOutput());
    }
    t += dt;
    dt *= 1.1;
  }
  engine.EndRun();
  return out;
}

// How the calls are made: one by one (the statement-text engine always does so), each attempt in
// one engine call, or that and the whole transcript inside one call.
enum class Way { kOneByOne, kWholeAttempts, kInsideOneCall };

// A value read, or the error with its description (the text and line it names).
QString DescribeFully(const Expected<double>& v) {
  return v.ok() ? u"ok:"_qs + Bits(*v)
                : QStringLiteral("err:%1 %2").arg(v.error().number).arg(v.error().description);
}

// Records each part of an attempt, errors with their descriptions.
class RecordingSink final : public AttemptSink {
 public:
  explicit RecordingSink(QStringList& out) : out_(out) {}
  bool Restored(const Expected<int>& failures) override {
    out_ << (failures ? QStringLiteral("restore %1").arg(*failures)
                      : QStringLiteral("restore err:%1").arg(failures.error().number));
    return true;
  }
  bool Input(const Expected<double>& vi) override {
    out_ << u"input "_qs + DescribeFully(vi);
    return true;
  }
  bool Functions(const ScriptStatus& status) override {
    out_ << (status.ok() ? u"functions ok"_qs
                         : QStringLiteral("functions failed %1 %2")
                               .arg(status.error().number)
                               .arg(status.error().description));
    return true;
  }
  bool Output(const Expected<double>& vo) override {
    out_ << u"vo "_qs + DescribeFully(vo);
    return true;
  }

 private:
  QStringList& out_;
};

// The scenario's steps through FilterEngine::Attempt: every part's result, and the state after
// each attempt. `limits` and `hook` let a scenario run away and be stopped.
template <typename Engine>
QStringList AttemptTranscript(const Scenario& s, Way way, ScriptLimits limits = {},
                              bool cancel_in_hook = false) {
  ScriptHost host(limits);
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  if (cancel_in_hook) host.SetBusyHook([&host] { host.CancelRunningCall(); });
  Engine engine(host);
  if constexpr (std::is_same_v<Engine, ScriptFilterEngine>) {
    engine.SetWholeAttempts(way != Way::kOneByOne);
    engine.SetEnterOnce(way == Way::kInsideOneCall);
  }
  QStringList out;
  engine.RunInside([&] {
    const ScriptVarList list = BeginScenario(engine, s, out);
    RecordingSink sink(out);
    double t = 0;
    double dt = 1e-4;
    for (int step = 0; step < 40; ++step) {
      if (step == 20) engine.ResetSavedState();
      out << (engine.SetNumber(u"dt"_qs, dt * 3).ok() ? u"dt set"_qs : u"dt not set"_qs);
      engine.SaveState();
      out << u"saved "_qs + Probe(host, list.names);
      for (int attempt = 0; attempt < 2; ++attempt) {
        const double t_try = t + dt / (attempt + 1);
        const double vi = RoundTo15Digits(std::sin(t_try * 6283.18530717958));
        out << (engine.Attempt(dt, t_try, s.input.isEmpty() ? &vi : nullptr, sink)
                    ? u"attempt through"_qs
                    : u"attempt ended"_qs);
        out << u"state "_qs + Probe(host, list.names);
      }
      t += dt;
      dt *= 1.1;
    }
    engine.EndRun();
  });
  return out;
}

void ExpectSameLines(const QStringList& expected, const QStringList& actual) {
  ASSERT_EQ(actual.size(), expected.size());
  for (qsizetype i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(actual[i].toStdString(), expected[i].toStdString()) << "line " << i;
  }
}

class FilterEngineEquivalence : public ::testing::TestWithParam<Scenario> {};

TEST_P(FilterEngineEquivalence, WholeAttemptsMatchTheStatementTexts) {
  const QStringList text = AttemptTranscript<TextFilterEngine>(GetParam(), Way::kOneByOne);
  for (Way way : {Way::kOneByOne, Way::kWholeAttempts, Way::kInsideOneCall}) {
    SCOPED_TRACE(static_cast<int>(way));
    ExpectSameLines(text, AttemptTranscript<ScriptFilterEngine>(GetParam(), way));
  }
}

// Runaway scripts in each part of an attempt, stopped by the per-call time limit and by a cancel
// from the busy hook: every way must stop at the same part of the same attempt, report the same
// error there and after, and leave the same state.
TEST(FilterEngineRunaways, EveryWayStopsAtTheSamePlace) {
  const Scenario runaways[] = {
      {"in_the_functions",
       u"n = 0"_qs,
       u"n = n + 1; if (n == 7) while (true) {}; vo = n\r\n"_qs,
       QString(),
       {}},
      {"in_the_input",
       u"m = 0"_qs,
       u"vo = vi * 2\r\n"_qs,
       u"m = m + 1; vi = m == 9 ? (function () { for (;;) {} })() : t"_qs,
       {u"m"_qs}},
      {"in_a_plain_input",
       u"spin = function () { for (;;) {} }"_qs,
       u"vo = vi * 2\r\n"_qs,
       u"vi = t > 0.0007 ? spin() : t"_qs,
       {}},
      {"in_a_state_setter",
       u"(function (g) { var once = 0; Object.defineProperty(g, 'q', {get: function () "
       "{ return 0.5 }, set: function (v) { if (t > 0.0006 && once++ == 0) for (;;) {} }}) })(this)"_qs,
       u"q = 1; vo = vi\r\n"_qs,
       QString(),
       {}},
      {"in_the_read_of_vo",
       u"(function (g) { var once = 0; Object.defineProperty(g, 'vo', {get: function () "
       "{ if (t > 0.0008 && once++ == 0) for (;;) {} return t }, set: function (v) {}}) })(this)"_qs,
       u"x = vi\r\n"_qs,
       QString(),
       {}},
  };
  ScriptLimits short_limit;
  short_limit.call_time_limit = std::chrono::milliseconds(150);
  for (const Scenario& s : runaways) {
    for (bool cancel : {false, true}) {
      SCOPED_TRACE(std::string(s.name) + (cancel ? " cancelled" : " timed out"));
      const QStringList text =
          AttemptTranscript<TextFilterEngine>(s, Way::kOneByOne, short_limit, cancel);
      ASSERT_TRUE(text.join(u'\n').contains(QStringLiteral("err:%1").arg(
          cancel ? script_errors::kCancelled : script_errors::kTimeout)))
          << text.join(u'\n').toStdString();
      for (Way way : {Way::kOneByOne, Way::kWholeAttempts, Way::kInsideOneCall}) {
        SCOPED_TRACE(static_cast<int>(way));
        ExpectSameLines(text, AttemptTranscript<ScriptFilterEngine>(s, way, short_limit, cancel));
      }
    }
  }
}

TEST_P(FilterEngineEquivalence, FastEngineMatchesTheStatementTexts) {
  const QStringList text = Transcript<TextFilterEngine>(GetParam());
  const QStringList fast = Transcript<ScriptFilterEngine>(GetParam());
  ASSERT_EQ(text.size(), fast.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    ASSERT_EQ(fast[i].toStdString(), text[i].toStdString()) << "line " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FilterEngineEquivalence,
    ::testing::Values(
        Scenario{"rc_lowpass",
                 u"RC = 1/(2*3.14159265358979*1000)"_qs,
                 u"vo = vo + (vi - vo) * dt / RC\r\n"_qs,
                 QString(),
                 {}},
        Scenario{"state_of_every_kind",
                 u"k = 2; flag = false; s = 'a,b'; arr = [1]; nul = null; u = undefined"_qs,
                 u"vo = vo + (vi - vo) * dt * k * 1000; flag = !flag; s = s + 'x\"\\n';\r\n"
                 "arr.push(1); nul = null; x1 = vo / 3; big = 1e300 * 1e10; nan1 = 0/0;\r\n"
                 "u = undefined; Vo = -0; r2 = mod(t, 0.0003)\r\n"_qs,
                 QString(),
                 {u"5"_qs, u"if"_qs, u"never_set"_qs, u"arguments"_qs}},
        Scenario{"oscilloscope_input",
                 u"w = 6283.18530717958"_qs,
                 u"y1 = y1 + (vi - y1) * 0.1; vo = y1\r\n"_qs,
                 u"vi = Math.sin(t * w)"_qs,
                 {}},
        Scenario{"const_step_and_lexical_state",
                 u"const dt = 0.001; let lx = 1"_qs,
                 u"lx = lx + 1; vo = lx * vi\r\n"_qs,
                 QString(),
                 {}},
        Scenario{"broken_texts", u"a = (1"_qs, u"vo = vo +\r\n"_qs, u"vi = nosuch"_qs, {}},
        // Input statements that the whole attempt calls as a function (one plain expression)
        // and that it runs as a script (anything else): errors, thrown values and `this`.
        Scenario{"plain_input_that_fails",
                 u"w = 6283.18530717958; boom = function () { throw 42 }"_qs,
                 u"y1 = y1 + (vi - y1) * 0.1; vo = y1\r\n"_qs,
                 u"vi = t > 0.0005 ? (t > 0.001 ? boom() : nosuch * 2) : Math.sin(t * w)"_qs,
                 {}},
        Scenario{"plain_input_that_throws_errors",
                 u"w = 6283.18530717958"_qs,
                 u"vo = vi\r\n"_qs,
                 u"vi = t > 0.0007 ? Math.sin.call.call(1) : (t > 0.0004 ? w.x.y : w * t)"_qs,
                 {}},
        Scenario{"input_that_is_not_plain",
                 u"w2 = 3000"_qs,
                 u"vo = vi\r\n"_qs,
                 u"vi = this.w2 * t + (typeof arguments === 'undefined' ? 0 : 1)"_qs,
                 {}},
        // Functions texts that the whole attempt calls as a function (plain code): errors on
        // their lines, thrown values, a loop.
        Scenario{"plain_functions_that_throw",
                 u"n = 0"_qs,
                 u"n = n + 1\r\nif (n % 5 == 0) throw n\r\nif (n % 7 == 0) nosuch.x = 1\r\n"
                 "if (n % 11 == 0) n.f()\r\nfor (k = 0; k < 3; k++) { vo = n / 100 + k }\r\n"_qs,
                 QString(),
                 {}},
        Scenario{"functions_throw_sometimes",
                 u"n = 0"_qs,
                 u"n = n + 1; if (n % 3 == 0) throw 'x'; vo = n\r\n"_qs,
                 QString(),
                 {}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Whole runs, each in a fresh host (a run's globals outlive it): the points and samples must be
// the same bits, and the reports the same apart from the duration line.
template <typename Engine>
std::pair<SweepResult, QString> SweepOn(const QString& parameters, const QString& functions) {
  ScriptHost host;
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  Engine engine(host);
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  auto report = ReportOf(RunFrequencySweep(
      engine, observer, SweepSettings{50, 5000, 5, 3, parameters, functions}, result, cancel));
  return {result, report.value_or(QString()).section(u"\r\n"_qs, 2)};
}

template <typename Engine>
std::pair<TimeTrace, QString> ScopeOn(const QString& parameters, const QString& functions,
                                      const QString& waveform) {
  ScriptHost host;
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  Engine engine(host);
  SilentObserver observer;
  const bool stop = false;
  TimeTrace trace;
  const QStringList items{u"k 30% [0,5;4]"_qs};
  auto report = ReportOf(SimulateTrace(
      engine, observer, ScopeSettings{700, 3, 200, waveform, items, parameters, functions}, trace,
      stop));
  return {trace, report.value_or(QString()).section(u"\r\n"_qs, 2)};
}

TEST(FilterEngineRuns, SweepsGiveTheSamePointsOnBothEngines) {
  const QString filters[][2] = {
      {u"w0=6283.18530717958; z=0.5"_qs,
       u"x1 = x1 + x2 * dt\r\nx2 = x2 + (w0 * w0 * (vi - x1) - 2 * z * w0 * x2) * dt\r\n"
       "vo = x1\r\n"_qs},
      {u"high = false"_qs,
       u"if (vi > 0.5) high = true; if (vi < -0.5) high = false\r\n"
       "vo = high ? 1 : -1\r\n"_qs},
      {QString(), u"vo = pows(vi, 3) + mod(t, 0.0001) * 1000\r\n"_qs},
  };
  for (const auto& f : filters) {
    SCOPED_TRACE(f[1].toStdString());
    const auto [text, text_report] = SweepOn<TextFilterEngine>(f[0], f[1]);
    const auto [fast, fast_report] = SweepOn<ScriptFilterEngine>(f[0], f[1]);
    ASSERT_EQ(fast.count, text.count);
    for (int i = 0; i < text.count; ++i) {
      const auto& a = text.points[size_t(i)];
      const auto& b = fast.points[size_t(i)];
      EXPECT_EQ(Bits(a.amplitude), Bits(b.amplitude)) << i;
      EXPECT_EQ(Bits(a.phase), Bits(b.phase)) << i;
      EXPECT_EQ(Bits(a.frequency), Bits(b.frequency)) << i;
    }
    EXPECT_EQ(fast_report, text_report);
  }
}

TEST(FilterEngineRuns, TracesGiveTheSameSamplesOnBothEngines) {
  const QString parameters = u"y = 0"_qs;
  const QString functions = u"y = y + (vi - y) * dt * 2000 * k; vo = y\r\n"_qs;
  for (const char16_t* waveform : {u"quadra", u"triangolare", u"AM", u"vi = t * _f"}) {
    SCOPED_TRACE(QString::fromUtf16(waveform).toStdString());
    const auto [text, text_report] =
        ScopeOn<TextFilterEngine>(parameters, functions, QString::fromUtf16(waveform));
    const auto [fast, fast_report] =
        ScopeOn<ScriptFilterEngine>(parameters, functions, QString::fromUtf16(waveform));
    ASSERT_EQ(fast.count, text.count);
    ASSERT_GT(text.count, 0);
    for (int i = 0; i < text.count; ++i) {
      const size_t k = size_t(i);
      ASSERT_EQ(Bits(fast.times[k]), Bits(text.times[k])) << i;
      ASSERT_EQ(Bits(fast.inputs[k]), Bits(text.inputs[k])) << i;
      ASSERT_EQ(Bits(fast.outputs[k]), Bits(text.outputs[k])) << i;
      ASSERT_EQ(fast.framesPerSample[k], text.framesPerSample[k]) << i;
    }
    EXPECT_EQ(fast_report, text_report);
  }
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// A whole sweep that ends early: cancelled by the user at a progress report, or stopped by the
// time limit when the filter runs away at one frequency. Both engines end it at the same point,
// with the same results and report.
struct EarlyEnd {
  const char* name;
  QString functions;
  int cancel_at_progress;  // 0: never
};

template <typename Engine>
std::pair<SweepResult, QString> SweepEndingEarly(const EarlyEnd& e) {
  ScriptHost host(ScriptLimits{.call_time_limit = std::chrono::milliseconds(150)});
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  Engine engine(host);
  HookedObserver observer;
  bool cancel = false;
  observer.on_set_pb = [&] {
    if (e.cancel_at_progress > 0 && observer.set_pb == e.cancel_at_progress) cancel = true;
  };
  SweepResult result;
  const RunOutcome outcome = RunFrequencySweep(
      engine, observer, SweepSettings{50, 5000, 8, 3, u"k = 1"_qs, e.functions}, result, cancel);
  EXPECT_EQ(outcome.status, RunStatus::kCancelled);
  return {result,
          outcome.report.section(u"\r\n"_qs, 2) + u"|"_qs + QString::number(outcome.counts.total)};
}

TEST(FilterEngineRuns, SweepsEndingEarlyEndAtTheSamePointOnBothEngines) {
  const EarlyEnd cases[] = {
      {"cancelled", u"y = y + (vi - y) * dt * 3000 * k; vo = y\r\n"_qs, 3},
      {"runaway",
       u"if (dt < 1e-6 && t > 0.0001) for (;;) {}\r\ny = y + (vi - y) * dt * 3000; vo = y\r\n"_qs,
       0},
  };
  for (const EarlyEnd& e : cases) {
    SCOPED_TRACE(e.name);
    const auto [text, text_report] = SweepEndingEarly<TextFilterEngine>(e);
    const auto [fast, fast_report] = SweepEndingEarly<ScriptFilterEngine>(e);
    ASSERT_EQ(fast.count, text.count);
    ASSERT_GT(text.count, 0);
    ASSERT_LT(text.count, 8);
    for (int i = 0; i < text.count; ++i) {
      const auto& a = text.points[size_t(i)];
      const auto& b = fast.points[size_t(i)];
      EXPECT_EQ(Bits(a.amplitude), Bits(b.amplitude)) << i;
      EXPECT_EQ(Bits(a.phase), Bits(b.phase)) << i;
    }
    EXPECT_EQ(fast_report.toStdString(), text_report.toStdString());
  }
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// What a run compiles does not depend on how many frequencies or runs it makes: every number
// goes through the typed paths, so the engine holds the same texts after a long sweep as after
// a short one, and after many oscilloscope runs at different frequencies and slider positions.
TEST(FilterEngineRuns, NumbersCompileNoTexts) {
  ScriptHost host;
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  ScriptFilterEngine engine(host);
  SilentObserver observer;
  const bool cancel = false;
  const QString functions = u"y = y + (vi - y) * dt * 3000 * k; vo = y\r\n"_qs;
  auto sweep = [&](int samples) {
    SweepResult result;
    (void)RunFrequencySweep(engine, observer,
                            SweepSettings{100, 10000, samples, 1, u"k = 1"_qs, functions}, result,
                            cancel);
    EXPECT_EQ(result.count, samples);
    return host.CompileCacheSize();
  };
  const std::size_t after_short = sweep(3);
  EXPECT_EQ(sweep(60), after_short);

  auto scope = [&](double frequency, int percent) {
    TimeTrace trace;
    (void)SimulateTrace(engine, observer,
                        ScopeSettings{frequency, 2, 50, u"AM"_qs,
                                      QStringList{QStringLiteral("k %1% [0;4]").arg(percent)},
                                      u"y = 0"_qs, functions},
                        trace, cancel);
    EXPECT_GT(trace.count, 0);
    return host.CompileCacheSize();
  };
  const std::size_t after_one = scope(1000, 10);
  for (int i = 1; i < 30; ++i) EXPECT_EQ(scope(1000 + 37 * i, 10 + i), after_one) << i;
}

}  // namespace
}  // namespace quorvel
