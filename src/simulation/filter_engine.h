#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "scripting/attempt_sink.h"
#include "scripting/script_value.h"

namespace quorvel {

class ScriptHost;

// What a run asks of the engine that runs the filter. The script host is the real one
// (ScriptFilterEngine); TextFilterEngine does every step through statement texts exactly as
// written (the reference the fast path is tested against); benchmarks plug in a native filter.
//
// A run calls Execute/SetNumber/EvaluateNumber while it sets up, then BeginRun, and in the
// time-step loop only the hot-path calls:
//   per step:    SaveState                       (the state save)
//   per attempt: Attempt, which is RestoreAndSet, [RunInput], RunFunctions, ReadOutput
// and EndRun when the run is over (also after a cancel). The whole run is made inside RunInside.
class FilterEngine {
 public:
  virtual ~FilterEngine() = default;

  // Runs a text (a user text or a statement); its value is dropped.
  virtual ScriptStatus Execute(const QString& text, const QString& source_name) = 0;
  // The value of a text (a bare name such as "dt"), converted to a double.
  virtual Expected<double> EvaluateNumber(const QString& text) = 0;
  // name = value, with the effect of the statement text name=<15-digit value>, which is what
  // this gives unless an engine has a typed path.
  virtual ScriptStatus SetNumber(const QString& name, double value);
  // Runs `body`, a whole run, which an engine may enter once for all its calls.
  virtual void RunInside(const std::function<void()>& body) { body(); }

  // Prepares the loop: the state list's names (sorted, as the run's ScriptVarList holds them),
  // the functions text, and the oscilloscope's input statement (empty for the sweep, where the
  // program sets vi itself).
  virtual void BeginRun(const std::vector<QString>& state_names, const QString& functions,
                        const QString& input_statement) = 0;
  // Every saved value back to "0" (each frequency of a sweep starts so).
  virtual void ResetSavedState() = 0;
  // Saves every state variable (numbers rounded to 15 significant digits).
  virtual void SaveState() = 0;
  // Restores the saved state (failures dropped), then runs "dt=", "t=" and, when `vi` is given,
  // "vi=" with these values. Returns how many of those two or three assignments failed.
  virtual int RestoreAndSet(double dt, double t, const double* vi) = 0;
  // The input statement's value, as a double.
  virtual Expected<double> RunInput() = 0;
  virtual ScriptStatus RunFunctions() = 0;
  // The value of "vo", as a double.
  virtual Expected<double> ReadOutput() = 0;
  // One attempt: RestoreAndSet, RunInput when vi is not given, RunFunctions and ReadOutput, each
  // result handed to `sink`, which says whether the attempt goes on; true when it went through.
  // A given vi is already rounded to 15 significant digits (RoundTo15Digits leaves it as it is).
  // This gives the calls one by one; an engine may make them in one go, with the same results.
  virtual bool Attempt(double dt, double t, const double* vi, AttemptSink& sink);
  virtual void EndRun() = 0;
};

// What the two engines on the script host share: the set-up calls, and how a run ends once
// the host has stopped one of its calls. After a call stopped by the time limit, the memory
// guard or a cancel (or a BeginRun that failed), every later call of the run fails at once with
// that error, without running anything: the run that goes on regardless costs nothing more and
// never meets the runaway again. RestoreAndSet, which reports failed assignments rather than
// errors, then gives 0 and leaves the error to the attempt's next call. EndRun clears it.
class HostFilterEngine : public FilterEngine {
 public:
  explicit HostFilterEngine(ScriptHost& host) : host_(host) {}

  ScriptStatus Execute(const QString& text, const QString& source_name) final;
  Expected<double> EvaluateNumber(const QString& text) final;
  ScriptStatus SetNumber(const QString& name, double value) final;
  void RunInside(const std::function<void()>& body) final;
  void BeginRun(const std::vector<QString>& state_names, const QString& functions,
                const QString& input_statement) final;
  void ResetSavedState() final;
  void SaveState() final;
  int RestoreAndSet(double dt, double t, const double* vi) final;
  Expected<double> RunInput() final;
  ScriptStatus RunFunctions() final;
  Expected<double> ReadOutput() final;
  bool Attempt(double dt, double t, const double* vi, AttemptSink& sink) final;
  void EndRun() final;

 protected:
  ScriptHost& host() const { return host_; }

  // The engine's own way of doing each step (see FilterEngine); an error that stops the run
  // is passed up as it came.
  virtual ScriptStatus DoBeginRun(const std::vector<QString>& state_names, const QString& functions,
                                  const QString& input_statement) = 0;
  virtual void DoResetSavedState() = 0;
  virtual std::optional<ScriptError> DoSaveState() = 0;
  virtual Expected<int> DoRestoreAndSet(double dt, double t, const double* vi) = 0;
  virtual Expected<double> DoRunInput() = 0;
  virtual ScriptStatus DoRunFunctions() = 0;
  virtual Expected<double> DoReadOutput() = 0;
  virtual void DoEndRun() = 0;
  virtual ScriptStatus DoSetNumber(const QString& name, double value) = 0;
  // The whole attempt in one go, when the engine makes it so (DoesWholeAttempts).
  virtual bool DoesWholeAttempts() const { return false; }
  virtual bool DoAttempt(double dt, double t, const double* vi, AttemptSink& sink);
  // Whether the run is made inside one engine call.
  virtual bool EntersOnce() const { return false; }

 private:
  class WatchedParts;

  template <typename T>
  T Watched(T result);

  ScriptHost& host_;
  bool in_run_ = false;
  std::optional<ScriptError> stop_;
};

}  // namespace quorvel
