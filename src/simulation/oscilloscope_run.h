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
#include "simulation/run_results.h"

namespace quorvel {

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

// The settings of an oscilloscope run, as the oscilloscope window, quorvel-cli and the tests
// give them.
struct ScopeSettings {
  double frequency = 0;  // hertz
  std::int32_t oscillations = 0;
  std::int32_t samples = 0;  // samples at regular times, plus the first frame
  QString waveform;          // a name of WaveformNames(), or an input statement
  // Assigned before the loop, then saved and restored with the filter's state. Empty unless the
  // parametric filter is on.
  QStringList parameter_items;
  QString parameters;  // "Parametri del filtro"
  QString functions;   // "Funzioni del filtro"
};

// Runs the filter in the time domain at the settings' frequency for their periods with the
// input of their waveform, storing their samples into `trace`. The run starts from rest: every
// state variable is 0 before the parameters run. `stop` is read at every pacing point and after
// every failing engine call. The outcome carries the report text.
//
// Not started (touching nothing and calling no observer method): kBusy when another run is in
// progress (see RunGuard), kRefused when the frequency is not a finite number above 0 or a text
// declares let, const or class at its top level (TopLevelDeclarationProblem). Refused
// after the parameters ran: a fixed dt that is not a finite number above 0, or one that needs
// more than kMaxFixedSteps steps.
RunOutcome SimulateTrace(FilterEngine& engine, RunObserver& observer, const ScopeSettings& settings,
                         TimeTrace& trace, const bool& stop);

}  // namespace quorvel
