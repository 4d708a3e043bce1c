#include "graphs/graph_scales.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"
#include "numbers/number_text.h"

namespace quorvel {
namespace {

constexpr double kGap = 1;  // between a line and the text beside it

// A value that may be printed; rank 0 is kept first.
struct Candidate {
  std::optional<double> y;
  QString text;
  int rank = 0;
};

enum class Side { kAbove, kBelow };

// Places the candidates on their side of their lines, most important first, leaving out those
// that would overlap a kept one or leave the surface; the result runs from top to bottom.
std::vector<ScaleLabel> Fit(std::vector<Candidate> candidates, Side side, double h,
                            double text_height) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.rank < b.rank; });
  std::vector<ScaleLabel> kept;
  if (!(text_height > 0) || !std::isfinite(h)) return kept;
  for (const Candidate& c : candidates) {
    if (!c.y || !std::isfinite(*c.y)) continue;
    const double top = side == Side::kAbove ? *c.y - kGap - text_height : *c.y + kGap;
    if (top < 0 || top + text_height > h) continue;
    const bool overlaps = std::any_of(kept.begin(), kept.end(), [&](const ScaleLabel& k) {
      return top < k.top + text_height && k.top < top + text_height;
    });
    if (!overlaps) kept.push_back({*c.y, top, c.text});
  }
  std::sort(kept.begin(), kept.end(),
            [](const ScaleLabel& a, const ScaleLabel& b) { return a.top < b.top; });
  return kept;
}

}  // namespace

QString ScaleAmplitudeText(double ratio, const QString& unit) {
  if (unit == kDecibelUnit) return AmplitudeText(ratio, unit);
  return NumberText(Round(ratio, 3));
}

QString ScalePhaseText(double phase) { return PhaseText(phase, kDegreeUnit.toString()); }

std::vector<ScaleLabel> AmplitudeScaleLabels(double h, bool log_y, double log_floor,
                                             const QString& unit, double text_height) {
  std::vector<Candidate> candidates;
  if (log_y) {
    candidates.push_back({AmplitudeLogY(1, h, log_floor), ScaleAmplitudeText(1, unit), 0});
    for (int i = 1; i <= 9; ++i) {
      const double ratio = i / 10.0;
      const int rank = i == 1 ? 0 : i == 5 ? 1 : 2;
      candidates.push_back(
          {AmplitudeLogY(ratio, h, log_floor), ScaleAmplitudeText(ratio, unit), rank});
    }
    return Fit(std::move(candidates), Side::kBelow, h, text_height);
  }
  for (int i = 0; i <= 10; ++i) {
    const double ratio = i / 10.0;
    const int rank = (i == 0 || i == 10) ? 0 : i == 5 ? 1 : 2;
    candidates.push_back({AmplitudeLinearY(ratio, h), ScaleAmplitudeText(ratio, unit), rank});
  }
  return Fit(std::move(candidates), Side::kAbove, h, text_height);
}

std::vector<ScaleLabel> PhaseScaleLabels(const PhaseScale& scale, double h, double text_height) {
  std::vector<Candidate> candidates;
  candidates.push_back({PhaseY(0, scale), ScalePhaseText(0), 0});
  for (double phase : scale.grid_phases) {
    const double turns = std::fabs(phase) / 90;
    const double halves = std::fabs(phase) / 45;
    const int rank = turns == std::floor(turns) ? 1 : halves == std::floor(halves) ? 2 : 3;
    candidates.push_back({PhaseY(phase, scale), ScalePhaseText(phase), rank});
  }
  return Fit(std::move(candidates), Side::kBelow, h, text_height);
}

}  // namespace quorvel
