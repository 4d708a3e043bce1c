#pragma once

// What the attack tests share: a host with short limits, the two runs with short settings on the
// real engine, an engine wrapper that keeps the number of every error the run is told about, and
// the checks that every attack ends with.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/filter_engine.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/run_observer.h"
#include "simulation/script_filter_engine.h"

namespace quorvel {

using namespace std::chrono_literals;
using AttackClock = std::chrono::steady_clock;

// Short enough that a runaway call ends a test quickly, long enough for any honest call.
inline ScriptLimits AttackLimits() {
  ScriptLimits limits;
  limits.call_time_limit = 300ms;
  return limits;
}

// Forwards to the real engine and keeps the number of every failing call.
class ErrorLog : public FilterEngine {
 public:
  explicit ErrorLog(FilterEngine& inner) : inner_(inner) {}

  std::vector<int> errors;
  int failed_assignments = 0;

  bool Has(int number) const {
    for (int e : errors) {
      if (e == number) return true;
    }
    return false;
  }

  ScriptStatus Execute(const QString& text, const QString& source_name) override {
    return Keep(inner_.Execute(text, source_name));
  }
  Expected<double> EvaluateNumber(const QString& text) override {
    return Keep(inner_.EvaluateNumber(text));
  }
  void BeginRun(const std::vector<QString>& names, const QString& functions,
                const QString& input) override {
    inner_.BeginRun(names, functions, input);
  }
  void ResetSavedState() override { inner_.ResetSavedState(); }
  void SaveState() override { inner_.SaveState(); }
  int RestoreAndSet(double dt, double t, const double* vi) override {
    const int failed = inner_.RestoreAndSet(dt, t, vi);
    failed_assignments += failed;
    return failed;
  }
  Expected<double> RunInput() override { return Keep(inner_.RunInput()); }
  ScriptStatus RunFunctions() override { return Keep(inner_.RunFunctions()); }
  Expected<double> ReadOutput() override { return Keep(inner_.ReadOutput()); }
  void EndRun() override { inner_.EndRun(); }
  // The program's way: the run inside one engine call, each attempt one call, numbers typed.
  ScriptStatus SetNumber(const QString& name, double value) override {
    return Keep(inner_.SetNumber(name, value));
  }
  void RunInside(const std::function<void()>& body) override { inner_.RunInside(body); }
  bool Attempt(double dt, double t, const double* vi, AttemptSink& sink) override {
    LoggedParts parts(*this, sink);
    return inner_.Attempt(dt, t, vi, parts);
  }

 private:
  class LoggedParts final : public AttemptSink {
   public:
    LoggedParts(ErrorLog& log, AttemptSink& sink) : log_(log), sink_(sink) {}
    bool Restored(const Expected<int>& failures) override {
      if (failures) log_.failed_assignments += *failures;
      return sink_.Restored(log_.Keep(failures));
    }
    bool Input(const Expected<double>& vi) override { return sink_.Input(log_.Keep(vi)); }
    bool Functions(const ScriptStatus& status) override {
      return sink_.Functions(log_.Keep(status));
    }
    bool Output(const Expected<double>& vo) override { return sink_.Output(log_.Keep(vo)); }

   private:
    ErrorLog& log_;
    AttemptSink& sink_;
  };

  template <typename T>
  T Keep(T result) {
    if (!result.ok()) errors.push_back(result.error().number);
    return result;
  }
  FilterEngine& inner_;
};

// Sets the run's cancel flag once `deadline` has passed, at the run's event deliveries: a safety
// net so that a test of a run that does not end fails instead of hanging.
class DeadlineObserver : public SilentObserver {
 public:
  DeadlineObserver(bool& cancel, AttackClock::duration limit)
      : cancel_(cancel), deadline_(AttackClock::now() + limit) {}
  void PumpEvents() override {
    if (AttackClock::now() > deadline_) {
      cancel_ = true;
      hit = true;
    }
  }
  void AddErr() override { ++errors; }
  bool hit = false;
  long errors = 0;

 private:
  bool& cancel_;
  AttackClock::time_point deadline_;
};

struct AttackOutcome {
  RunOutcome run;                 // what the run returned
  std::optional<QString> report;  // its report, when it started
  std::vector<int> errors;        // numbers of the failing engine calls, in order
  long counted = 0;               // errors the run counted (AddErr calls)
  bool ended_by_deadline = false;
  AttackClock::duration elapsed{};
  SweepResult sweep;
  TimeTrace trace;

  bool Has(int number) const {
    for (int e : errors) {
      if (e == number) return true;
    }
    return false;
  }
};

// A short sweep (2 frequencies, 2 oscillations each) on the real engine.
inline AttackOutcome AttackSweep(ScriptHost& host, const QString& parameters,
                                 const QString& functions, AttackClock::duration deadline = 20s) {
  ScriptFilterEngine real(host);
  ErrorLog log(real);
  bool cancel = false;
  DeadlineObserver observer(cancel, deadline);
  AttackOutcome out;
  const auto start = AttackClock::now();
  out.run = RunFrequencySweep(log, observer, SweepSettings{200, 2000, 2, 2, parameters, functions},
                              out.sweep, cancel);
  if (out.run.started()) out.report = out.run.report;
  out.elapsed = AttackClock::now() - start;
  out.errors = log.errors;
  out.counted = observer.errors;
  out.ended_by_deadline = observer.hit;
  return out;
}

// A short oscilloscope run (1 kHz, 2 oscillations, 100 samples) on the real engine.
inline AttackOutcome AttackScope(ScriptHost& host, const QString& parameters,
                                 const QString& functions,
                                 const QString& waveform = QStringLiteral("sinusoidale"),
                                 AttackClock::duration deadline = 20s) {
  ScriptFilterEngine real(host);
  ErrorLog log(real);
  bool cancel = false;
  DeadlineObserver observer(cancel, deadline);
  AttackOutcome out;
  const auto start = AttackClock::now();
  out.run =
      SimulateTrace(log, observer, ScopeSettings{1000, 2, 100, waveform, {}, parameters, functions},
                    out.trace, cancel);
  if (out.run.started()) out.report = out.run.report;
  out.elapsed = AttackClock::now() - start;
  out.errors = log.errors;
  out.counted = observer.errors;
  out.ended_by_deadline = observer.hit;
  return out;
}

// The host answers plain calls, and after a fresh global scope with the prelude a clean filter
// gives exactly what it gives on a host that never saw the attack (vo = vi: unity gain).
inline void ExpectHostUsable(ScriptHost& host) {
  auto sum = host.Evaluate(QStringLiteral("1 + 1"));
  ASSERT_TRUE(sum.ok()) << sum.error().description.toStdString();
  EXPECT_EQ(sum->number(), 2);
  ASSERT_TRUE(host.ResetGlobalScope().ok());
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  const AttackOutcome clean =
      AttackSweep(host, QString(), QStringLiteral("vo = sgn(vi) * Math.abs(vi)"));
  ASSERT_TRUE(clean.report.has_value());
  EXPECT_TRUE(clean.errors.empty());
  EXPECT_EQ(clean.counted, 0);
  ASSERT_EQ(clean.sweep.count, 2);
  for (int i = 0; i < clean.sweep.count; ++i) {
    EXPECT_EQ(clean.sweep.points[static_cast<std::size_t>(i)].amplitude, 1.0) << i;
  }
}

}  // namespace quorvel
