#pragma once

// The error trap of a run: the counts, why a run stops early, and the engine calls through
// both.

#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/filter_engine.h"
#include "simulation/guarded_math.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"

namespace quorvel {

// The one error trap of a run: every failure, whatever its source, is counted here and the run
// goes on with the next statement. Counts stop at the largest 32-bit value rather than wrap.
//
// Each distinct error (number and description) is also tallied, in the order first seen, so that
// the user can read what went wrong and where. Errors the run raises itself carry a description
// of the run's; engine errors the engine's, with the text and line ("Funzioni del filtro, riga
// 2"). At most kMaxErrorTallies distinct errors are kept; later new ones add to a last tally
// "Altri errori", so that a filter throwing a new message at every step cannot grow the list.
class RunErrors {
 public:
  static constexpr std::size_t kMaxErrorTallies = 20;

  explicit RunErrors(RunObserver& observer) : observer_(observer) {}

  // An error the run raises itself (run_errors numbers), described by the run.
  void Count(int number);
  void Count(int number, int times) {
    for (int i = 0; i < times; ++i) Count(number);
  }
  // A failed engine call, or an error with a description of its own.
  void Count(const ScriptError& error);
  void Count(const ScriptError& error, int times) {
    for (int i = 0; i < times; ++i) Count(error);
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
  const std::vector<ErrorTally>& tallies() const { return tallies_; }

 private:
  void Tally(int number, const QString& description);

  RunObserver& observer_;
  ErrorCounts counts_;
  std::vector<ErrorTally> tallies_;
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
    errors_.Count(FailedAssignment(), failed);
    return !stop_.requested();
  }

  bool Execute(const QString& text, const QString& source_name) {
    return Check(engine_.Execute(text, source_name));
  }
  bool SetNumber(const QString& name, double value) {
    return Check(engine_.SetNumber(name, value));
  }
  bool ReadNumber(const QString& text, double& target) {
    return Check(engine_.EvaluateNumber(text), target);
  }

 private:
  // RestoreAndSet gives a count, not the errors: what a failed assignment is counted as.
  static ScriptError FailedAssignment();

  bool Failed(const ScriptError& error) {
    errors_.Count(error);
    if (RunStop::IsLimitError(error.number)) stop_.StopForLimit(error);
    return !stop_.requested();
  }

  FilterEngine& engine_;
  RunErrors& errors_;
  RunStop& stop_;
};

}  // namespace quorvel
