#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/filter_engine.h"
#include "simulation/parameter_name.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"

namespace quorvel {

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

// One line of the parameter list: "k 50% [0;2]", numbers as the user's locale writes them.
struct ParameterItem {
  QString name;
  double percent = 0;
  double minimum = 0;
  double maximum = 0;
};

// Splits a parameter item at the first " ", then the first "%", "[", ";" and "]" after it.
// nullopt when a separator is missing, the name is not a parameter name (IsParameterName) or a
// number does not parse (a run counts that as one error and skips the item).
std::optional<ParameterItem> ParseParameterItem(const QString& item);

// The names of the input waveforms, in the order the waveform box lists them.
QStringList WaveformNames();

// The input statement of a waveform: the table's statement for one of the names (matched
// exactly, case-sensitive), otherwise the text itself, which the user typed as a statement.
QString WaveformStatement(const QString& waveform);

// The run frequency at a slider position: value / maximum of the way from fs to fe (fe may be
// below fs). A slider without range (maximum <= 0) gives fs.
double RunFrequencyFromSlider(int value, int maximum, double fs, double fe);

// Runs the filter in the time domain at `frequency` for `oscillations` periods with the input
// of `waveform`, storing `samples` samples at regular times (plus the first frame) into `trace`.
// The first `parameter_count` of `parameter_items` are assigned before the loop and saved and
// restored with the filter's state. `stop` is read at every pacing point and after every
// failing engine call. The outcome carries the report text.
//
// Not started (touching nothing and calling no observer method): kBusy when another run is in
// progress (see RunGuard), kRefused when the frequency is not a finite number above 0. Refused
// after the parameters ran: a fixed dt that is not a finite number above 0, or one that needs
// more than kMaxFixedSteps steps.
RunOutcome SimulateTrace(FilterEngine& engine, RunObserver& observer, TimeTrace& trace,
                         std::int32_t oscillations, std::int32_t samples, double frequency,
                         const QString& parameters, const QString& functions,
                         const QStringList& parameter_items, int parameter_count,
                         const QString& waveform, const bool& stop);

}  // namespace quorvel
