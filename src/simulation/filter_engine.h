#pragma once

#include <QString>

#include <vector>

#include "scripting/script_value.h"

namespace quorvel {

// What a run asks of the engine that runs the filter. The script host is the real one
// (ScriptFilterEngine); TextFilterEngine does every step through statement texts exactly as
// written (the reference the fast path is tested against); benchmarks plug in a native filter.
//
// A run calls Execute/EvaluateNumber while it sets up, then BeginRun, and in the time-step loop
// only the hot-path calls, in this order:
//   per step:    SaveState                       (the state save)
//   per attempt: RestoreAndSet, [RunInput], RunFunctions, ReadOutput
// and EndRun when the run is over (also after a cancel).
class FilterEngine {
 public:
  virtual ~FilterEngine() = default;

  // Runs a text (a user text or a statement); its value is dropped.
  virtual ScriptStatus Execute(const QString& text, const QString& source_name) = 0;
  // The value of a text (a bare name such as "dt"), converted to a double.
  virtual Expected<double> EvaluateNumber(const QString& text) = 0;

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
  virtual void EndRun() = 0;
};

}  // namespace quorvel
