#pragma once

// Reference curves: earlier runs kept to compare the next runs with ("Confronta"). They are drawn
// under the current curves in muted colours, each named in a legend by the first line of its
// filter text, and the readout gives their values under the pointer.

#include <QColor>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

#include "simulation/frequency_sweep.h"

namespace quorvel {

// A kept run: its measured points and the filter text it was measured with.
struct ReferenceCurve {
  SweepResult result;
  QString label;
};

// How many references are kept at most; adding one more drops the oldest.
inline constexpr std::size_t kMaxReferenceCurves = 4;

// Keeps the measured points of `result` (its first result.count) as the newest reference, the
// oldest dropped beyond kMaxReferenceCurves. A result without a measured point is not kept;
// returns whether it was.
bool AddReferenceCurve(std::vector<ReferenceCurve>& references, const SweepResult& result,
                       const QString& label);

// The muted colour of reference `index` (0 the oldest kept); the colours repeat after
// kMaxReferenceCurves. None is a colour of the graphs' own lines.
QColor ReferenceColour(std::size_t index);

// The legend line of reference `index`: "Rif. 1: " and the first line of its label that is not
// blank, trimmed ("Rif. 1" alone for a blank label).
QString ReferenceLegendText(std::size_t index, const QString& label);

// The smallest and largest finite phase of the references, each bounded by 0 from the wrong
// side (so {0, 0} without references): the phase graph's scale holds these as well as the
// current curve's phases, so that every reference fits on it.
struct PhaseExtent {
  double low = 0;
  double high = 0;
};
PhaseExtent ReferencePhaseExtent(const std::vector<ReferenceCurve>& references);

// A reference's values at the pointer's frequency.
struct ReferenceReading {
  std::optional<double> amplitude;  // nullopt outside the reference's frequencies
  std::optional<double> phase;
  QString amplitude_text;  // as the readout panels write them; "/" without a value
  QString phase_text;
};

// The amplitude and phase of a reference at frequency f, interpolated as the readout interpolates
// the current curve, but only between the reference's lowest and highest measured frequency
// (nullopt beyond them, for a non-finite f, and for a non-finite value).
std::optional<double> ReferenceAmplitudeAt(const SweepResult& reference, double f);
std::optional<double> ReferencePhaseAt(const SweepResult& reference, double f);

// One reading per reference, in their order, at the frequency the readout computed for the
// pointer (nullopt: no frequency, every reading "/"); texts in the panels' units.
std::vector<ReferenceReading> ReadReferences(const std::vector<ReferenceCurve>& references,
                                             std::optional<double> frequency,
                                             const QString& amplitude_unit,
                                             const QString& phase_unit);

// The readings in one line: "Rif. 1: 71% -45°  Rif. 2: 50% -60°"; empty without references.
QString ReferenceReadoutText(const std::vector<ReferenceReading>& readings);

}  // namespace quorvel
