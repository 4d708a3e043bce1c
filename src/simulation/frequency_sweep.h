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

// The settings of a frequency sweep, as the main window, quorvel-cli and the tests give them.
struct SweepSettings {
  double start_frequency = 0;     // hertz
  double end_frequency = 0;       // hertz; below the start, the sweep runs downward
  std::int32_t samples = 0;       // frequencies, spaced evenly on a logarithmic scale
  std::int16_t oscillations = 0;  // periods at each frequency
  QString parameters;             // "Parametri del filtro"
  QString functions;              // "Funzioni del filtro"
};

// Drives the filter with a sine at the settings' frequencies for their periods each, with an
// adaptive time step unless the parameters assign dt, and measures the amplitude ratio and
// phase at each into `result`. `cancel` is read before each frequency, at every pacing point and
// after every failing engine call. The outcome carries the report text.
//
// Not started (touching nothing and calling no observer method): kBusy when another run is in
// progress (see RunGuard), kRefused when a frequency is not a finite number above 0. Refused
// after the parameters ran (the observer opened and closed): a fixed dt that is not a finite
// number above 0, or one that needs more than kMaxFixedSteps steps at a frequency.
RunOutcome RunFrequencySweep(FilterEngine& engine, RunObserver& observer,
                             const SweepSettings& settings, SweepResult& result,
                             const bool& cancel);

}  // namespace quorvel
