#pragma once

// What the frequency sweep and the oscilloscope run share: pacing of the user interface, the
// one-run-at-a-time guard, the error trap and the guarded arithmetic of a run.

#include <chrono>
#include <cmath>
#include <cstdint>

#include "simulation/filter_engine.h"
#include "simulation/run_observer.h"

namespace quorvel {

// 2π as the program has always written it (not the full-precision value): results depend on it.
inline constexpr double kTwoPi = 6.28318530717958;
// Attempts between two pacing points of a run.
inline constexpr int kPacingPeriod = 500;

// Adds 1 to a counter that the whole program shares and gives true when the counter is a
// multiple of n (false for n <= 0). Past 2000000000 the counter starts again from 0.
bool EveryNthCall(int n);

// Delivers pending events, sleeping sleep_ms between deliveries when sleep_ms > 0, until the
// steady millisecond clock has passed now + ms. Events are delivered at least once.
void PumpEventsFor(int ms, int sleep_ms, RunObserver& observer);

// Event delivery at the pacing points of a run. The points come every 500th attempt, which can
// be a few hundred times a second with a fast engine: delivering events at each of them (with a
// pause, as PumpEventsFor(1, 1) does) would cost a large share of the run. The pacer delivers
// them only when `interval` has passed since the last delivery, and never sleeps.
class RunPacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RunPacer(Clock::duration interval = std::chrono::milliseconds(15))
      : interval_(interval), last_pump_(Clock::now()) {}

  // The run has just delivered events itself.
  void MarkPumped() { last_pump_ = Clock::now(); }
  // Calls observer.PumpEvents() when the interval has passed; true when it did.
  bool MaybePump(RunObserver& observer);

 private:
  Clock::duration interval_;
  Clock::time_point last_pump_;
};

// One run at a time. A run delivers events while it lasts, and an event can ask for another run
// (a slider of the oscilloscope, a menu command); a nested run would overwrite the dt, t, vi and
// vo of the engine under the outer run. The script engine is one per process, so the flag is too.
// A run takes the guard first and, when it is not acquired, returns at once without touching
// anything.
class RunGuard {
 public:
  RunGuard();
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  bool acquired() const { return acquired_; }
  // True while some run holds the guard (windows can disable their commands meanwhile).
  static bool RunInProgress();

 private:
  bool acquired_;
};

// Error numbers that the runs raise themselves (engine errors keep the host's numbers).
namespace run_errors {
inline constexpr int kInvalidArgument = 5;     // the logarithm of a ratio that is not above 0
inline constexpr int kOverflow = 6;            // counted apart in "Errori di overflow: "
inline constexpr int kDivisionByZero = 11;     // counted in the total only
inline constexpr int kTimestepTooSmall = 513;  // "Timestep troppo piccolo"
}  // namespace run_errors

// A double computed under the floating-point checks of a run. An operation whose operands are
// finite and whose result is not fails with overflow (6); a finite value divided by zero fails
// with division by zero (11), or overflow when it is 0 / 0 (an invalid result). A failure passes
// through the rest of the expression. Non-finite operands (a NaN or an infinity that a filter
// produced) propagate silently, as the platform's arithmetic gives them.
//
// Mixing with plain doubles is deliberate (implicit conversion): an expression is guarded as
// soon as one operand of each operation is an Fp.
class Fp {
 public:
  constexpr Fp(double value) : value_(value) {}  // NOLINT(google-explicit-constructor)

  double value() const { return value_; }
  // 0 when the computation succeeded, otherwise the error number.
  int error() const { return error_; }
  bool ok() const { return error_ == 0; }

  friend Fp operator+(Fp a, Fp b) { return Checked(a, b, a.value_ + b.value_); }
  friend Fp operator-(Fp a, Fp b) { return Checked(a, b, a.value_ - b.value_); }
  friend Fp operator*(Fp a, Fp b) { return Checked(a, b, a.value_ * b.value_); }
  friend Fp operator/(Fp a, Fp b) {
    if (!a.ok()) return a;
    if (!b.ok()) return b;
    if (b.value_ == 0 && std::isfinite(a.value_)) {
      return Failed(a.value_ == 0 ? run_errors::kOverflow : run_errors::kDivisionByZero);
    }
    return Checked(a, b, a.value_ / b.value_);
  }
  friend Fp Abs(Fp a) { return a.ok() ? Fp(std::fabs(a.value_)) : a; }
  friend Fp Sin(Fp a) { return a.ok() ? Fp(std::sin(a.value_)) : a; }
  friend Fp Pow(Fp base, Fp exponent) {
    return Checked(base, exponent, std::pow(base.value_, exponent.value_));
  }

 private:
  static Fp Failed(int error) {
    Fp f(0);
    f.error_ = error;
    return f;
  }
  static Fp Checked(Fp a, Fp b, double result) {
    if (!a.ok()) return a;
    if (!b.ok()) return b;
    if (!std::isfinite(result) && std::isfinite(a.value_) && std::isfinite(b.value_)) {
      return Failed(run_errors::kOverflow);
    }
    return Fp(result);
  }

  double value_;
  int error_ = 0;
};

struct ErrorCounts {
  std::int32_t total = 0;
  std::int32_t timestep = 0;
  std::int32_t overflow = 0;
};

// The one error trap of a run: every failure, whatever its source, is counted here and the run
// goes on with the next statement. Counts stop at the largest 32-bit value rather than wrap.
class RunErrors {
 public:
  explicit RunErrors(RunObserver& observer) : observer_(observer) {}

  void Count(int number);
  void Count(int number, int times) {
    for (int i = 0; i < times; ++i) Count(number);
  }

  // target = value, or, when the computation failed, the failure counted and target unchanged.
  bool Store(double& target, Fp value) {
    if (value.ok()) {
      target = value.value();
      return true;
    }
    Count(value.error());
    return false;
  }

  // counter + 1, or an overflow counted and the counter unchanged at the 32-bit limit.
  bool Increment(std::int32_t& counter);

  const ErrorCounts& counts() const { return counts_; }

 private:
  RunObserver& observer_;
  ErrorCounts counts_;
};

// The adaptive time step that both runs share. After each attempt the tolerance follows the
// input's rate of change (it only loosens, and stays below 0.01); with the adaptive step, an
// output that changed by more than the tolerance shrinks dt and asks for the attempt again, and
// otherwise dt grows by 10 % up to dt_max, a step below dt_min counting a time-step error.
struct StepControl {
  static constexpr double kInitialTolerance = 0.00001;

  bool adaptive = true;
  double dt_min = 0;
  double dt_max = 0;
  double tolerance = kInitialTolerance;
  // Targets of guarded statements: a failed one keeps its previous value.
  double rate = 0;
  double candidate = 0;
  double output_change = 0;

  // True when the attempt must be repeated with the new dt.
  bool AfterAttempt(RunErrors& errors, double& dt, double previous_vi, double vi,
                    double previous_vo, double vo) {
    errors.Store(rate, Abs(Fp(previous_vi) - vi) / dt);
    errors.Store(candidate, Fp(0.01) - Fp(0.01) / (Fp(rate) + 1.0));
    if (candidate > tolerance) tolerance = candidate;
    errors.Store(output_change, Abs(Fp(vo) - previous_vo));
    if (!adaptive) return false;
    if (output_change > tolerance && dt > dt_min) {
      // When the shrink itself fails the step would stay the same and the attempt would repeat
      // for ever: it is accepted instead.
      return errors.Store(dt, Fp(dt) / (Fp(output_change) / tolerance + 1.0));
    }
    if (dt < dt_max) {
      if (dt < dt_min) errors.Count(run_errors::kTimestepTooSmall);
      errors.Store(dt, Fp(dt) * 1.1);
    }
    return false;
  }
};

// The engine calls of a run, through its error trap. Each call that fails is counted once; the
// result tells whether the run goes on: false when the call failed and the cancel flag is set.
// A cancel or a time-out of the engine surfaces as a failing call, so a runaway filter that the
// user stops ends the run at once rather than at the next pacing point.
class TrappedEngine {
 public:
  TrappedEngine(FilterEngine& engine, RunErrors& errors, const bool& cancel)
      : engine_(engine), errors_(errors), cancel_(cancel) {}

  bool Check(const ScriptStatus& status) { return status.ok() || Failed(status.error()); }
  // target = the value, or unchanged when the call failed.
  bool Check(const Expected<double>& value, double& target) {
    if (value.ok()) {
      target = *value;
      return true;
    }
    return Failed(value.error());
  }
  // `failed` assignments of RestoreAndSet, each one an error.
  bool CheckAssignments(int failed) {
    if (failed <= 0) return true;
    errors_.Count(kFailedAssignment, failed);
    return !cancel_;
  }

  bool Execute(const QString& text, const QString& source_name) {
    return Check(engine_.Execute(text, source_name));
  }
  bool ReadNumber(const QString& text, double& target) {
    return Check(engine_.EvaluateNumber(text), target);
  }

 private:
  // RestoreAndSet gives a count, not the errors: what a failed assignment is counted as.
  static constexpr int kFailedAssignment = script_errors::kRuntime;

  bool Failed(const ScriptError& error) {
    errors_.Count(error.number);
    return !cancel_;
  }

  FilterEngine& engine_;
  RunErrors& errors_;
  const bool& cancel_;
};

}  // namespace quorvel
