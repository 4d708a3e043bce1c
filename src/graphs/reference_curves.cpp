#include "graphs/reference_curves.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#include "graphs/trace_readout.h"

namespace quorvel {
namespace {

std::size_t PointCount(const SweepResult& result) {
  if (result.count <= 0) return 0;
  return std::min(static_cast<std::size_t>(result.count), result.points.size());
}

std::optional<double> ValueAt(const SweepResult& reference, double f,
                              double (*curve)(const SweepResult&, double),
                              double ResponsePoint::*value) {
  const std::size_t count = PointCount(reference);
  if (count == 0 || !std::isfinite(f)) return std::nullopt;
  double low = reference.points[0].frequency;
  double high = low;
  for (std::size_t i = 1; i < count; ++i) {
    low = std::min(low, reference.points[i].frequency);
    high = std::max(high, reference.points[i].frequency);
  }
  if (!(f >= low && f <= high)) return std::nullopt;
  const double v = count == 1 ? reference.points[0].*value : curve(reference, f);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

QString Prefix(std::size_t index) { return QStringLiteral("Rif. %1").arg(index + 1); }

}  // namespace

bool AddReferenceCurve(std::vector<ReferenceCurve>& references, const SweepResult& result,
                       const QString& label) {
  const std::size_t count = PointCount(result);
  if (count == 0) return false;
  ReferenceCurve reference;
  reference.result.points.assign(
      result.points.begin(), std::next(result.points.begin(), static_cast<std::ptrdiff_t>(count)));
  reference.result.count = static_cast<std::int32_t>(count);
  reference.label = label;
  references.push_back(std::move(reference));
  while (references.size() > kMaxReferenceCurves) references.erase(references.begin());
  return true;
}

QColor ReferenceColour(std::size_t index) {
  // Slate blue, ochre, sage and mauve: distinct from one another and from the red curve, the
  // green cutoff markers, the black axes and the grey grid.
  static constexpr std::array<std::array<int, 3>, kMaxReferenceCurves> kColours{{
      {90, 120, 170},
      {180, 145, 90},
      {110, 160, 110},
      {160, 110, 160},
  }};
  const auto& c = kColours[index % kColours.size()];
  return QColor(c[0], c[1], c[2]);
}

QString ReferenceLegendText(std::size_t index, const QString& label) {
  QString text = label;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty()) return Prefix(index) + QStringLiteral(": ") + trimmed;
  }
  return Prefix(index);
}

PhaseExtent ReferencePhaseExtent(const std::vector<ReferenceCurve>& references) {
  PhaseExtent extent;
  for (const ReferenceCurve& reference : references) {
    const std::size_t count = PointCount(reference.result);
    for (std::size_t i = 0; i < count; ++i) {
      const double p = reference.result.points[i].phase;
      if (!std::isfinite(p)) continue;
      extent.low = std::min(extent.low, p);
      extent.high = std::max(extent.high, p);
    }
  }
  return extent;
}

std::optional<double> ReferenceAmplitudeAt(const SweepResult& reference, double f) {
  return ValueAt(reference, f, &CurveAmplitude, &ResponsePoint::amplitude);
}

std::optional<double> ReferencePhaseAt(const SweepResult& reference, double f) {
  return ValueAt(reference, f, &CurvePhase, &ResponsePoint::phase);
}

std::vector<ReferenceReading> ReadReferences(const std::vector<ReferenceCurve>& references,
                                             std::optional<double> frequency,
                                             const QString& amplitude_unit,
                                             const QString& phase_unit) {
  std::vector<ReferenceReading> readings;
  readings.reserve(references.size());
  for (const ReferenceCurve& reference : references) {
    ReferenceReading reading;
    if (frequency) {
      reading.amplitude = ReferenceAmplitudeAt(reference.result, *frequency);
      reading.phase = ReferencePhaseAt(reference.result, *frequency);
    }
    reading.amplitude_text =
        reading.amplitude ? AmplitudeText(*reading.amplitude, amplitude_unit) : QStringLiteral("/");
    reading.phase_text =
        reading.phase ? PhaseText(*reading.phase, phase_unit) : QStringLiteral("/");
    readings.push_back(std::move(reading));
  }
  return readings;
}

QString ReferenceReadoutText(const std::vector<ReferenceReading>& readings) {
  QStringList parts;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    parts.append(Prefix(i) + QStringLiteral(": ") + readings[i].amplitude_text + QLatin1Char(' ') +
                 readings[i].phase_text);
  }
  return parts.join(QStringLiteral("  "));
}

}  // namespace quorvel
