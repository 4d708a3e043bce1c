#pragma once

// The time step of a run: the adaptive step both runs share and the checks that make sure a
// run's time advances and ends.

#include <QString>

#include <cmath>
#include <optional>

#include "simulation/guarded_math.h"
#include "simulation/run_errors.h"

namespace quorvel {

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

// A frequency a run can step through: a finite number above 0 whose smallest step (1 / f / 5000)
// and run time (oscillations / f) are finite and above 0.
bool IsRunnableFrequency(double f, double oscillations);

// The largest number of time steps a fixed step may ask for at one frequency: the oscilloscope
// counts frames in 32 bits, and past this a run would take hours.
inline constexpr double kMaxFixedSteps = 2147483647.0;

// Why a fixed step `dt` read from the parameters cannot make a run that ends, for a run lasting
// `duration` seconds (the longest of its frequencies); nullopt when it can. A step that is not a
// finite number above 0 never moves time on; a tiny one would ask for more steps than a run can
// count.
std::optional<QString> FixedStepProblem(double dt, double duration);

}  // namespace quorvel
