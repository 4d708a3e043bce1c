#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/filter_engine.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"
#include "simulation/run_results.h"

namespace quorvel {

// How a sweep measures each frequency.
enum class SweepMethod {
  // "classica": mean |vo| over mean |vi| for the whole run (start-up transient included), phase
  // from where the output is lowest in the first period. The program's method, the default.
  kClassic,
  // "precisa": settling periods are discarded until the output has settled, then the first
  // harmonic of vi and vo over the configured number of whole periods gives the gain and phase
  // (a least-squares sine fit); the adaptive step grows no further than its smallest value.
  kPrecise,
};

// The settings of a frequency sweep, as the main window, quorvel-cli and the tests give them.
struct SweepSettings {
  double start_frequency = 0;     // hertz
  double end_frequency = 0;       // hertz; below the start, the sweep runs downward
  std::int32_t samples = 0;       // frequencies, spaced evenly on a logarithmic scale
  std::int16_t oscillations = 0;  // periods at each frequency
  QString parameters;             // "Parametri del filtro"
  QString functions;              // "Funzioni del filtro"
  SweepMethod method = SweepMethod::kClassic;
};

// The precise method's settling rule. Settling blocks are whole periods holding at least
// kSettlingBlockSamples samples at the run's step (one period with the adaptive step). After
// each block, the output's gain and phase against the input (the complex ratio H) are compared
// with the previous block's: the output has settled when the change d is at most
// kSettlingTolerance * |H| and, if the changes are shrinking (r = d / previous d < 1), what is
// left of a transient decaying at that rate, d r / (1 - r), is within the tolerance too. A block
// past kMaxSettlingBlocks settles by decree.
inline constexpr int kSettlingBlockSamples = 16;
inline constexpr double kSettlingTolerance = 1e-7;
inline constexpr int kMaxSettlingBlocks = 500;

// Drives the filter with a sine at the settings' frequencies for their periods each (the
// precise method adds its settling periods), with an adaptive time step unless the parameters
// assign dt, and measures the amplitude ratio and phase at each into `result` by the settings'
// method. Each frequency starts from rest: every state variable is 0 before the parameters run.
// `cancel` is read before each frequency, at every pacing point and after every failing engine
// call. The outcome carries the report text (with "Metodo di misura: precisa" after the error
// counts for the precise method).
//
// Not started (touching nothing and calling no observer method): kBusy when another run is in
// progress (see RunGuard), kRefused when a frequency is not a finite number above 0 or a text
// declares let, const or class at its top level (TopLevelDeclarationProblem). Refused
// after the parameters ran (the observer opened and closed): a fixed dt that is not a finite
// number above 0, or one that needs more than kMaxFixedSteps steps at a frequency.
RunOutcome RunFrequencySweep(FilterEngine& engine, RunObserver& observer,
                             const SweepSettings& settings, SweepResult& result,
                             const bool& cancel);

}  // namespace quorvel
