#pragma once

// What the frequency sweep and the oscilloscope run share: pacing of the user interface, the
// one-run-at-a-time guard, the error trap and the guarded arithmetic of a run.

#include <chrono>
#include <cmath>
#include <cstdint>

#include <optional>

#include "simulation/filter_engine.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"

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
//
// Every attempt must move time on, or a run would spin for ever: an output change that is not a
// finite number (the output, or the one before it, was not; or the difference overflowed) cannot
// size a smaller step, so the attempt is accepted with dt as it is; and a shrink to a step that
// would not advance t from t0 accepts the attempt too, counting an overflow. Both failures are
// counted once: the non-finite output where it is read, the overflow where it happens.
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

  // True when the attempt must be repeated with the new dt. `t0` is the time the step starts at.
  bool AfterAttempt(RunErrors& errors, double& dt, double t0, double previous_vi, double vi,
                    double previous_vo, double vo) {
    errors.Store(rate, Abs(Fp(previous_vi) - vi) / dt);
    errors.Store(candidate, Fp(0.01) - Fp(0.01) / (Fp(rate) + 1.0));
    if (candidate > tolerance) tolerance = candidate;
    const bool change_known =
        errors.Store(output_change, Abs(Fp(vo) - previous_vo)) && std::isfinite(output_change);
    if (!adaptive || !change_known) return false;
    if (output_change > tolerance && dt > dt_min) {
      // When the shrink itself fails the step would stay the same and the attempt would repeat
      // for ever: it is accepted instead.
      double shrunk = dt;
      if (!errors.Store(shrunk, Fp(dt) / (Fp(output_change) / tolerance + 1.0))) return false;
      if (!(shrunk > 0) || !(t0 + shrunk > t0)) {
        errors.Count(run_errors::kOverflow);
        return false;
      }
      dt = shrunk;
      return true;
    }
    if (dt < dt_max) {
      if (dt < dt_min) errors.Count(run_errors::kTimestepTooSmall);
      errors.Store(dt, Fp(dt) * 1.1);
    }
    return false;
  }
};

// Why a run leaves its loops early: the caller's cancel flag, or a script call that the time
// limit or the memory guard stopped (a filter that would cost that much at every attempt makes
// the rest of the run pointless, so it ends as a cancel would).
class RunStop {
 public:
  explicit RunStop(const bool& cancel) : cancel_(cancel) {}

  bool requested() const { return cancel_ || limit_error_.has_value(); }
  // Ends the run because of this failed call (the first one is kept).
  void StopForLimit(const ScriptError& error) {
    if (!limit_error_) limit_error_ = error;
  }
  const std::optional<ScriptError>& limit_error() const { return limit_error_; }

  // The errors that end a run.
  static bool IsLimitError(int number) {
    return number == script_errors::kTimeout || number == script_errors::kOutOfMemory;
  }

 private:
  const bool& cancel_;
  std::optional<ScriptError> limit_error_;
};

// A frequency a run can step through: a finite number above 0 whose smallest step (1 / f / 5000)
// and run time (oscillations / f) are finite and above 0.
bool IsRunnableFrequency(double f, double oscillations);

// The outcome of a run refused with `message`.
RunOutcome RefusedRun(QString message);

// The largest number of time steps a fixed step may ask for at one frequency: the oscilloscope
// counts frames in 32 bits, and past this a run would take hours.
inline constexpr double kMaxFixedSteps = 2147483647.0;

// Why a fixed step `dt` read from the parameters cannot make a run that ends, for a run lasting
// `duration` seconds (the longest of its frequencies); nullopt when it can. A step that is not a
// finite number above 0 never moves time on; a tiny one would ask for more steps than a run can
// count.
std::optional<QString> FixedStepProblem(double dt, double duration);

// The engine calls of a run, through its error trap. Each call that fails is counted once; the
// result tells whether the run goes on: false when the call failed and the run must stop (the
// cancel flag is set, or the call failed on the time limit or the memory guard). A cancel or a
// time-out of the engine surfaces as a failing call, so a runaway filter that the user stops
// ends the run at once rather than at the next pacing point.
class TrappedEngine {
 public:
  TrappedEngine(FilterEngine& engine, RunErrors& errors, RunStop& stop)
      : engine_(engine), errors_(errors), stop_(stop) {}

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
    return !stop_.requested();
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
    if (RunStop::IsLimitError(error.number)) stop_.StopForLimit(error);
    return !stop_.requested();
  }

  FilterEngine& engine_;
  RunErrors& errors_;
  RunStop& stop_;
};

}  // namespace quorvel
