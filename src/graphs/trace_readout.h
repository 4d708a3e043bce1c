#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

#include "graphs/reference_curves.h"
#include "simulation/run_results.h"

namespace quorvel {

// Tags of the status bar panels that choose the readout units. The amplitude panel's tag is
// "db" for decibels and anything else (normally the empty text) for a percentage; the phase
// panel's tag is "deg" for degrees and anything else (normally "rad") for radians.
inline constexpr QStringView kDecibelUnit = u"db";
inline constexpr QStringView kDegreeUnit = u"deg";
inline constexpr QStringView kRadianUnit = u"rad";

// What a click on the amplitude panel makes of its tag: "db" becomes the empty text (percentage),
// any other tag becomes "db". The decibel check mark goes with the result being "db".
QString ToggledAmplitudeUnit(const QString& tag);

// What a click on the phase panel makes of its tag: "deg" becomes "rad", any other tag "deg".
// The degree check mark goes with the result being "deg".
QString ToggledPhaseUnit(const QString& tag);

// The graph under the pointer.
enum class TraceGraph { kAmplitude = 1, kPhase = 2 };

// One pointer move over a graph, with the window state the readout depends on.
struct TraceInput {
  TraceGraph graph = TraceGraph::kAmplitude;
  std::int16_t buttons = 0;  // buttons held: 1 left, 2 right, 4 middle
  double x = 0;              // pointer position in the units of the graph under the pointer
  double y = 0;
  double w1 = 0;  // scale width and height of the amplitude graph
  double h1 = 0;
  double w2 = 0;  // scale width and height of the phase graph
  double h2 = 0;
  bool log_x = false;      // logarithmic frequency axis
  bool log_y = false;      // logarithmic amplitude axis
  bool trace_mode = true;  // both values come from the curves
  double log_floor = 0.1;  // ratio at the bottom of the logarithmic amplitude axis
  QString amplitude_unit;  // tag of the amplitude panel
  QString phase_unit = kDegreeUnit.toString();  // tag of the phase panel
  // The phases of the reference curves drawn (ReferencePhaseExtent), which the phase scale
  // holds: the pointer's height reads on the scale that is drawn.
  PhaseExtent reference_phases;
};

// What the window shows after the move.
struct TraceReadout {
  double cursor1_x = 0;    // x of the cursor line on the amplitude graph
  double cursor2_x = 0;    // x of the cursor line on the phase graph
  QString frequency_text;  // status bar panel 3
  QString amplitude_text;  // panel 4
  QString phase_text;      // panel 5
  // The values behind the texts; nullopt when there is no sweep or a value cannot be computed
  // (its text is then "/").
  std::optional<double> frequency;
  std::optional<double> amplitude;
  std::optional<double> phase;
  // The overlay drag label of the graph under the pointer moves with its top left corner to the
  // pointer: only while the left button alone is held.
  bool overlay_label_follows = false;
};

// The readout for one pointer move. The cursor lines sit at the same relative position on both
// graphs; with no measured point the three panels read "/". The amplitude comes from the curve
// when the pointer is over the phase graph or in trace mode, else from the pointer's height on
// the amplitude scale; the phase likewise from the curve or from the pointer's height on the
// phase graph.
TraceReadout ComputeTrace(const SweepResult& result, const TraceInput& input);

// The amplitude and the phase of the curve at frequency f, linearly interpolated between the two
// points around f. Ascending sweeps use the first point at or above f and the one before it,
// which extrapolates the first segment below the first frequency; a sweep that runs downward
// uses the segment whose two frequencies enclose f. 0 when no segment qualifies (f beyond the
// last frequency, fewer than two points). Two neighbouring points at the same frequency read the
// first of them.
double CurveAmplitude(const SweepResult& result, double f);
double CurvePhase(const SweepResult& result, double f);

// Panel texts: "-oo db" for a ratio of 0 or below in decibels, else the ratio in decibels to one
// decimal with " db"; with any other tag the percentage as a whole number with "%".
QString AmplitudeText(double amplitude, const QString& unit);
// The phase in whole degrees with "°", or with any other tag in radians to two decimals with
// " rad".
QString PhaseText(double phase, const QString& unit);

}  // namespace quorvel
