#include "graphs/trace_readout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "graphs/response_graph.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"

namespace quorvel {
namespace {

constexpr double kMargin = 20;  // top margin of every graph, bottom margin of the linear band
constexpr double kRadiansPerDegree = 0.017453292519943278;  // 3.14159265358979 / 180

QString NoValue() { return QStringLiteral("/"); }

std::optional<double> Finite(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::size_t PointCount(const SweepResult& result) {
  if (result.count <= 0) return 0;
  return std::min(static_cast<std::size_t>(result.count), result.points.size());
}

// Index i of the segment from point i - 1 to point i that the curve is read in at frequency f.
std::optional<std::size_t> SegmentAt(const SweepResult& result, double f) {
  const std::size_t count = PointCount(result);
  if (count < 2) return std::nullopt;
  const bool downward = result.points[count - 1].frequency < result.points[0].frequency;
  for (std::size_t i = 1; i < count; ++i) {
    const double f_prev = result.points[i - 1].frequency;
    const double f_cur = result.points[i].frequency;
    if (!downward) {
      // The first point at or above f closes the segment.
      if (f_cur >= f) return i;
    } else if (std::min(f_prev, f_cur) <= f && f <= std::max(f_prev, f_cur)) {
      return i;
    }
  }
  return std::nullopt;
}

double CurveValue(const SweepResult& result, double f, double ResponsePoint::*value) {
  const auto i = SegmentAt(result, f);
  if (!i) return 0;
  const ResponsePoint& previous = result.points[*i - 1];
  const ResponsePoint& current = result.points[*i];
  const double span = current.frequency - previous.frequency;
  // Two points at one frequency have no slope between them: read the first of them.
  if (span == 0) return previous.*value;
  return ((current.frequency - f) * previous.*value + (f - previous.frequency) * current.*value) /
         span;
}

}  // namespace

QString ToggledAmplitudeUnit(const QString& tag) {
  return tag == kDecibelUnit ? QString() : kDecibelUnit.toString();
}

QString ToggledPhaseUnit(const QString& tag) {
  return tag == kDegreeUnit ? kRadianUnit.toString() : kDegreeUnit.toString();
}

double CurveAmplitude(const SweepResult& result, double f) {
  return CurveValue(result, f, &ResponsePoint::amplitude);
}

double CurvePhase(const SweepResult& result, double f) {
  return CurveValue(result, f, &ResponsePoint::phase);
}

QString AmplitudeText(double amplitude, const QString& unit) {
  if (std::isnan(amplitude)) return NoValue();
  if (unit == kDecibelUnit) {
    if (amplitude <= 0) return QStringLiteral("-oo db");
    const auto log_a = Log10(amplitude);
    if (!log_a || !std::isfinite(*log_a)) return NoValue();
    return NumberText(Round(20 * *log_a, 1)) + QStringLiteral(" db");
  }
  const double percent = amplitude * 100;
  if (!std::isfinite(percent)) return NoValue();
  return NumberText(Round(percent, 0)) + QStringLiteral("%");
}

QString PhaseText(double phase, const QString& unit) {
  if (!std::isfinite(phase)) return NoValue();
  if (unit == kDegreeUnit) return NumberText(Round(phase, 0)) + QStringLiteral("\u00B0");
  return NumberText(Round(phase * kRadiansPerDegree, 2)) + QStringLiteral(" rad");
}

TraceReadout ComputeTrace(const SweepResult& result, const TraceInput& input) {
  TraceReadout out;
  const bool on_phase = input.graph == TraceGraph::kPhase;

  // The same relative position on both graphs; a surface without width puts both at its left.
  double r = input.x / (on_phase ? input.w2 : input.w1);
  if (!std::isfinite(r)) r = 0;
  out.cursor1_x = on_phase ? r * input.w1 : input.x;
  out.cursor2_x = on_phase ? input.x : r * input.w2;
  out.overlay_label_follows = input.buttons == 1;

  const std::size_t count = PointCount(result);
  if (count < 1) {
    out.frequency_text = out.amplitude_text = out.phase_text = NoValue();
    return out;
  }

  const double f_first = result.points[0].frequency;
  const double f_last = result.points[count - 1].frequency;
  out.frequency = Finite(input.log_x ? f_first * std::pow(f_last / f_first, r)
                                     : f_first + (f_last - f_first) * r);
  out.frequency_text =
      out.frequency ? FormatEng(*out.frequency, -3, QStringLiteral("Hz")) : NoValue();

  if (on_phase || input.trace_mode) {
    if (out.frequency) out.amplitude = Finite(CurveAmplitude(result, *out.frequency));
  } else {
    // The pointer's height on the amplitude scale of the amplitude graph.
    const double band = input.h1 - 2 * kMargin;
    out.amplitude = Finite(input.log_y ? std::pow(input.log_floor, (input.y - kMargin) / band)
                                       : ((input.h1 - kMargin) - input.y) / band);
  }

  if (!on_phase || input.trace_mode) {
    if (out.frequency) out.phase = Finite(CurvePhase(result, *out.frequency));
  } else {
    // The pointer's height on the phase scale, computed again from all points.
    const PhaseScale scale = ComputePhaseScale(result, input.h2, input.reference_phases);
    out.phase = Finite((scale.y_zero - input.y) / scale.units_per_degree);
  }

  out.amplitude_text =
      out.amplitude ? AmplitudeText(*out.amplitude, input.amplitude_unit) : NoValue();
  out.phase_text = out.phase ? PhaseText(*out.phase, input.phase_unit) : NoValue();
  return out;
}

}  // namespace quorvel
