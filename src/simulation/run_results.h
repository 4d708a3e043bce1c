#pragma once

// What the runs measure, as plain values: the graphs draw them, quorvel-cli writes them.

#include <cstdint>
#include <vector>

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

// The samples of an oscilloscope run. The four arrays always have the same size (upper bound
// + 1): a run sizes them for indices 0 to its samples setting and grows them, keeping their
// contents, when a sample falls beyond; elements at `count` and above are not part of the trace.
struct TimeTrace {
  std::vector<double> times;    // seconds
  std::vector<double> inputs;   // vi of each sample
  std::vector<double> outputs;  // vo of each sample
  // Frames since the previous sample, counting the one that produced this sample.
  std::vector<std::int32_t> framesPerSample;
  double frequency = 0;  // hertz
  std::int32_t count = 0;
};

}  // namespace quorvel
