#pragma once

// What the frequency sweep and the oscilloscope run share: their prologue (the progress window
// opens, a fixed step is read and checked, the state list is made), the body of an attempt (one
// try of a time step, through the error trap and the step control) and the parts of the report
// they both write.

#include <QString>

#include <chrono>

#include "scripting/script_var_list.h"
#include "simulation/filter_engine.h"
#include "simulation/pacing.h"
#include "simulation/run_errors.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"
#include "simulation/step_control.h"

namespace quorvel {

// A run in time of the filter texts on an engine. Floating-point statements whose operands can
// be anything the filter produced go through Fp and RunErrors::Store; a failed statement leaves
// its target as it was, which is why the targets are members: they keep their value from attempt
// to attempt.
class TimeRun {
 protected:
  using Clock = std::chrono::steady_clock;

  TimeRun(FilterEngine& engine, RunObserver& observer, const bool& cancel,
          const QString& parameters, const QString& functions)
      : observer_(observer),
        stop_(cancel),
        errors_(observer),
        calls_(engine, errors_, stop_),
        engine_(engine),
        parameters_(parameters),
        functions_(functions),
        parts_(*this) {}

  // The progress window opens under "Simulazione", with the owner's "AsyncCallback" as its
  // cancel; the run's clock starts.
  void Open();

  // True when the parameters assign dt: the filter's own step, fixed for the whole run.
  bool ParametersFixTheStep() const;
  // Runs the parameters, reads dt and checks it for a run of up to `duration` seconds (see
  // FixedStepProblem). The step control turns to the fixed step. False when the run must end:
  // stopped, or refused (the refusal is kept for Finish).
  bool ReadFixedStep(double duration);

  // The state list: every name either text assigns, and dt, vi and vo, all saved as "0".
  ScriptVarList StateList() const;

  // Sets every listed state variable to 0 in the engine (after BeginRun; the saved values
  // become "0" and are restored, with dt, t = 0 and vi = 0), so that a run starts from rest.
  bool StartFromRest();

  // One attempt of the time step that starts at t0: t = t0 + dt; the input (the sweep's sine at
  // sine_w_, or the input statement); the filter; the output, an output that is not finite
  // counting an overflow; then the step control. Gives false when the run must stop; `repeat`
  // tells whether the step must be tried again with the smaller dt_.
  bool Attempt(double t0, bool& repeat);

  // Report parts: the first two lines; the three error counts; the two texts.
  QString ReportHead() const;
  QString ReportErrorLines() const;
  QString ReportTexts() const;

  // The outcome: refused (when ReadFixedStep refused), or completed or cancelled with `report`;
  // the counts and the call that stopped the run. Closes the progress window.
  RunOutcome Finish(const QString& report);

  static const QString kLineEnd;

  RunObserver& observer_;
  RunStop stop_;
  RunErrors errors_;
  TrappedEngine calls_;
  FilterEngine& engine_;
  RunPacer pacer_;
  const QString& parameters_;
  const QString& functions_;
  Clock::time_point start_tick_;
  QString refusal_;

  StepControl step_;
  // The sweep drives the filter with sin(w t) (sine_input_), the oscilloscope with its input
  // statement.
  bool sine_input_ = false;
  double w_ = 0;
  double dt_ = 0;
  double t_ = 0;
  double vi_ = 0;
  double vo_ = 0;
  double previous_vi_ = 0;
  double previous_vo_ = 0;
  // Set by Attempt when an output was not a finite number.
  bool output_failed_ = false;

 private:
  // The parts of an attempt through the error trap, into vi_ and vo_.
  class AttemptParts final : public AttemptSink {
   public:
    explicit AttemptParts(TimeRun& run) : run_(run) {}
    bool Restored(const Expected<int>& failures) override {
      if (!failures) return run_.calls_.Check(ScriptStatus(failures.error()));
      return run_.calls_.CheckAssignments(*failures);
    }
    bool Input(const Expected<double>& vi) override { return run_.calls_.Check(vi, run_.vi_); }
    bool Functions(const ScriptStatus& status) override { return run_.calls_.Check(status); }
    bool Output(const Expected<double>& vo) override { return run_.calls_.Check(vo, run_.vo_); }

   private:
    TimeRun& run_;
  };

  AttemptParts parts_;
};

}  // namespace quorvel
