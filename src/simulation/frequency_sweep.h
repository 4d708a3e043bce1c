#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/filter_engine.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"

namespace quorvel {

// One measured frequency. A frequency at which the filter's output was not a finite number has
// no amplitude and no phase: both are NaN (the graphs leave the point out, the readout shows
// "/").
struct ResponsePoint {
  double frequency = 0;  // hertz
  double phase = 0;      // degrees, from -179.5 up to 180.5; negative when the output lags
  double amplitude = 0;  // mean |vo| over mean |vi| for the whole run at this frequency
};

// The points of the last sweep; only the first `count` are measured (fewer than points.size()
// after a cancelled run).
struct SweepResult {
  std::vector<ResponsePoint> points;
  std::int32_t count = 0;
};

// Drives the filter with a sine at `samples` frequencies spaced evenly on a logarithmic scale
// from start_frequency to end_frequency (downward when the end is lower), for `oscillations`
// periods each, with an adaptive time step unless the parameters assign dt, and measures the
// amplitude ratio and phase at each. `cancel` is read before each frequency, at every pacing
// point and after every failing engine call. The outcome carries the report text.
//
// Not started (touching nothing and calling no observer method): kBusy when another run is in
// progress (see RunGuard), kRefused when a frequency is not a finite number above 0. Refused
// after the parameters ran (the observer opened and closed): a fixed dt that is not a finite
// number above 0, or one that needs more than kMaxFixedSteps steps at a frequency.
RunOutcome RunFrequencySweep(FilterEngine& engine, RunObserver& observer, double start_frequency,
                             double end_frequency, std::int32_t samples, std::int16_t oscillations,
                             const QString& parameters, const QString& functions,
                             SweepResult& result, const bool& cancel);

}  // namespace quorvel
