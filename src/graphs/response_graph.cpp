#include "graphs/response_graph.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>

#include "graphs/filter_overlay.h"
#include "graphs/graph_scales.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"

namespace quorvel {
namespace {

constexpr double kMargin = 20;             // top margin, and bottom margin of the linear graph
constexpr double kLinearGridStep = 100;    // spacing of the linear frequency grid
constexpr double kLastLabelGap = 5;        // gap between the last frequency label and the edge
constexpr double kLabelOffset = 1;         // offset of labels from lines and edges
constexpr double kLegendPadding = 3;       // around the legend's texts and samples
constexpr double kLegendSample = 16;       // length of a legend entry's colour sample
constexpr double kLegendSpacing = 12;      // between two legend entries
constexpr double kLegendWidthShare = 0.6;  // the legend's row is at most this share of the width
// More phase grid lines than this could not be told apart on any surface; a scale that would
// need them (only possible with absurd phases) gets none rather than a near-endless loop.
constexpr double kMaxPhaseGridLines = 10000;

const QColor kAxisColour(0, 0, 0);
const QColor kGridColour(200, 200, 200);
const QColor kCurveColour(255, 0, 0);
const QColor kCutoffColour(0, 190, 0);

std::optional<double> Finite(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

int Sgn(double value) { return (value > 0) - (value < 0); }

// The number of measured points that are actually present.
std::size_t PointCount(const SweepResult& result) {
  if (result.count <= 0) return 0;
  return std::min(static_cast<std::size_t>(result.count), result.points.size());
}

QString FrequencyLabel(double f) { return FormatEng(f, 1, QStringLiteral("Hz")); }

// Draws on one surface; keeps the painter's state as it found it.
class GraphPainter {
 public:
  GraphPainter(QPainter& painter, QSizeF size, const GraphOptions& options)
      : painter_(painter),
        size_(size),
        options_(options),
        metrics_(painter.font(), painter.device()) {
    painter_.save();
    const QRectF rect(QPointF(0, 0), size_);
    painter_.setClipRect(rect);
    painter_.fillRect(rect, options_.background);
    painter_.setRenderHint(QPainter::Antialiasing, false);
  }
  ~GraphPainter() { painter_.restore(); }
  GraphPainter(const GraphPainter&) = delete;
  GraphPainter& operator=(const GraphPainter&) = delete;

  void SetPenWidth(double width) { pen_width_ = width; }

  void Line(double x1, double y1, double x2, double y2, const QColor& colour) {
    QPen pen(colour);
    pen.setWidthF(pen_width_);
    painter_.setPen(pen);
    painter_.drawLine(QLineF(x1, y1, x2, y2));
  }

  double TextWidth(const QString& text) const { return metrics_.horizontalAdvance(text); }
  double TextHeight() const { return metrics_.height(); }
  QString Elided(const QString& text, double width) const {
    return metrics_.elidedText(text, Qt::ElideRight, width);
  }

  void Fill(const QRectF& rect, const QColor& colour) { painter_.fillRect(rect, colour); }

  // Prints text with its top left corner at (x, top).
  void Print(const QString& text, double x, double top) {
    painter_.setPen(QPen(options_.foreground));
    painter_.drawText(QPointF(x, top + metrics_.ascent()), text);
  }

  const GraphOptions& options() const { return options_; }
  double w() const { return size_.width(); }
  double h() const { return size_.height(); }

 private:
  QPainter& painter_;
  QSizeF size_;
  const GraphOptions& options_;
  QFontMetricsF metrics_;
  double pen_width_ = 1;
};

using PointY = std::function<std::optional<double>(const ResponsePoint&)>;

// The values of the horizontal lines of a graph, given the height of a line of text.
using ScaleLabels = std::function<std::vector<ScaleLabel>(double text_height)>;

// A reference curve on the current sweep's frequency axis, broken like the current curve where a
// point cannot be placed.
void DrawReference(GraphPainter& g, const SweepResult& reference, double f_first, double f_last,
                   const PointY& point_y, const QColor& colour) {
  const std::size_t count = PointCount(reference);
  std::optional<QPointF> previous;
  for (std::size_t i = 0; i < count; ++i) {
    const ResponsePoint& point = reference.points[i];
    const auto x = FrequencyX(point.frequency, f_first, f_last, g.options().log_x, g.w());
    const auto y = point_y(point);
    std::optional<QPointF> current;
    if (x && y) current = QPointF(*x, *y);
    if (previous && current) {
      g.Line(previous->x(), previous->y(), current->x(), current->y(), colour);
    }
    previous = current;
  }
}

// The legend of the references: one row of entries, each a sample of the reference's colour and
// its text, centred in the margin band that starts at `band_top` (the margin without frequency
// labels, where no curve within the scale goes), over a patch of the background. Texts are
// shortened with "…" so that the row takes at most kLegendWidthShare of the width; the sides
// stay free for the scale values on the left and the window's report button on the right.
void DrawLegend(GraphPainter& g, const std::vector<ReferenceCurve>& references, double band_top) {
  if (references.empty()) return;
  const auto n = static_cast<double>(references.size());
  const double per_entry = g.w() * kLegendWidthShare / n;
  const double text_limit =
      std::max(0.0, per_entry - kLegendSample - kLegendPadding - kLegendSpacing);
  std::vector<QString> texts;
  double width = 0;
  for (std::size_t i = 0; i < references.size(); ++i) {
    texts.push_back(g.Elided(ReferenceLegendText(i, references[i].label), text_limit));
    width += kLegendSample + kLegendPadding + g.TextWidth(texts.back());
  }
  width += kLegendSpacing * (n - 1);
  const double text_height = g.TextHeight();
  const double top = band_top + (kMargin - text_height) / 2;
  double x = (g.w() - width) / 2;
  g.Fill(QRectF(x - kLegendPadding, band_top, width + 2 * kLegendPadding, kMargin),
         g.options().background);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    g.SetPenWidth(2);
    g.Line(x, top + text_height / 2, x + kLegendSample, top + text_height / 2, ReferenceColour(i));
    x += kLegendSample + kLegendPadding;
    g.SetPenWidth(1);
    g.Print(texts[i], x, top);
    x += g.TextWidth(texts[i]) + kLegendSpacing;
  }
}

// The steps common to the three graphs; they differ only in layout and in the y of a point.
void DrawGraph(const SweepResult& result, QPainter& painter, QSizeF size,
               const GraphOptions& options, const GraphLayout& layout, const PointY& point_y,
               const ScaleLabels& scale_labels) {
  const std::size_t count = PointCount(result);
  if (count == 0) return;
  GraphPainter g(painter, size, options);
  const double w = g.w();
  const double f_first = result.points[0].frequency;
  const double f_last = result.points[count - 1].frequency;

  g.SetPenWidth(1);
  g.Print(FrequencyLabel(f_first), kLabelOffset, layout.label_top);

  if (layout.axis_y) g.Line(0, *layout.axis_y, w, *layout.axis_y, kAxisColour);
  for (double y : layout.grid_ys) g.Line(0, y, w, y, kGridColour);

  for (const FrequencyLine& line : FrequencyGrid(f_first, f_last, options.log_x, w)) {
    g.Line(line.x, layout.frequency_line_from, line.x, layout.frequency_line_to,
           line.major ? options.foreground : kGridColour);
    if (!line.label.isEmpty()) {
      g.Print(line.label, line.x - g.TextWidth(line.label) / 2, layout.label_top);
    }
  }

  const QString last_label = FrequencyLabel(f_last);
  g.Print(last_label, w - g.TextWidth(last_label) - kLastLabelGap, layout.label_top);

  if (options.numbered_scales) {
    for (const ScaleLabel& label : scale_labels(g.TextHeight())) {
      g.Print(label.text, kLabelOffset, label.top);
    }
  }

  g.SetPenWidth(2);
  for (std::size_t i = 0; i < options.references.size(); ++i) {
    DrawReference(g, options.references[i].result, f_first, f_last, point_y, ReferenceColour(i));
  }
  std::optional<QPointF> previous;
  if (const auto y0 = point_y(result.points[0])) previous = QPointF(0, *y0);
  for (std::size_t i = 1; i < count; ++i) {
    const ResponsePoint& point = result.points[i];
    const auto x = FrequencyX(point.frequency, f_first, f_last, options.log_x, w);
    const auto y = point_y(point);

    if (options.show_cutoff) {
      if (const auto fc = CutoffBetween(result.points[i - 1], point)) {
        if (const auto xc = FrequencyX(*fc, f_first, f_last, options.log_x, w)) {
          g.SetPenWidth(1);
          g.Line(*xc, layout.marker_from, *xc, layout.marker_to, kCutoffColour);
          if (layout.cutoff_label_top) {
            g.Print(FrequencyLabel(*fc), *xc + kLabelOffset, *layout.cutoff_label_top);
          }
          g.SetPenWidth(2);
        }
      }
    }

    // A point that cannot be placed breaks the curve: both segments that touch it are left out.
    std::optional<QPointF> current;
    if (x && y) current = QPointF(*x, *y);
    if (previous && current) {
      g.Line(previous->x(), previous->y(), current->x(), current->y(), kCurveColour);
    }
    previous = current;
  }

  DrawLegend(g, options.references, layout.legend_band_top);
}

}  // namespace

double LogFloorForPosition(int position) { return 1 / std::pow(10.0, position / 33.0 + 1); }

std::optional<double> FrequencyX(double f, double first_frequency, double last_frequency,
                                 bool log_x, double w) {
  if (!log_x) {
    const double extent = last_frequency - first_frequency;
    if (extent == 0) return std::nullopt;
    return Finite((f - first_frequency) / extent * w);
  }
  const auto numerator = Log10(f / first_frequency);
  const auto denominator = Log10(last_frequency / first_frequency);
  if (!numerator || !denominator || *denominator == 0) return std::nullopt;
  return Finite(*numerator / *denominator * w);
}

std::optional<double> AmplitudeLinearY(double amplitude, double h) {
  return Finite((h - kMargin) - amplitude * (h - 2 * kMargin));
}

std::optional<double> AmplitudeLogY(double amplitude, double h, double log_floor) {
  if (std::isnan(amplitude)) return std::nullopt;
  if (amplitude <= 0) return Finite(2 * h);
  const auto log_a = Log10(amplitude);
  const auto log_floor_value = Log10(log_floor);
  if (!log_a || !log_floor_value || *log_floor_value == 0) return std::nullopt;
  return Finite(kMargin + *log_a / *log_floor_value * (h - 2 * kMargin));
}

PhaseScale ComputePhaseScale(const SweepResult& result, double h, PhaseExtent extra) {
  PhaseScale scale;
  if (std::isfinite(extra.low)) scale.pmin = std::min(scale.pmin, extra.low);
  if (std::isfinite(extra.high)) scale.pmax = std::max(scale.pmax, extra.high);
  const std::size_t count = PointCount(result);
  for (std::size_t i = 0; i < count; ++i) {
    const double p = result.points[i].phase;
    if (!std::isfinite(p)) continue;
    scale.pmin = std::min(scale.pmin, p);
    scale.pmax = std::max(scale.pmax, p);
  }
  scale.range = scale.pmax - scale.pmin;
  if (scale.range == 0) scale.range = 60;
  scale.y_zero = h / 2 + (scale.pmin + scale.pmax) / scale.range * (h / 2 - kMargin);
  scale.units_per_degree = (h - 2 * kMargin) / scale.range;
  scale.step = scale.range <= 90 ? 15 : 30;

  if (std::isfinite(scale.range) && scale.range / scale.step <= kMaxPhaseGridLines) {
    const double top = Round(scale.pmax, 0);
    for (int n = 1; n * scale.step <= top; ++n) scale.grid_phases.push_back(n * scale.step);
    const double bottom = Round(scale.pmin, 0);
    for (int n = 1; - n * scale.step >= bottom; ++n) scale.grid_phases.push_back(-n * scale.step);
  }
  return scale;
}

std::optional<double> PhaseY(double phase, const PhaseScale& scale) {
  return Finite(scale.y_zero - phase * scale.units_per_degree);
}

std::vector<FrequencyLine> FrequencyGrid(double first_frequency, double last_frequency, bool log_x,
                                         double w) {
  std::vector<FrequencyLine> lines;
  if (!log_x) {
    if (!std::isfinite(w)) return lines;
    for (int n = 1; n * kLinearGridStep <= w - kLinearGridStep; ++n) {
      const double x = n * kLinearGridStep;
      lines.push_back(
          {x, true, FrequencyLabel(x / w * (last_frequency - first_frequency) + first_frequency)});
    }
    return lines;
  }
  const auto first_log = Log10(first_frequency);
  if (!first_log || !std::isfinite(*first_log)) return lines;
  double decade = std::pow(10.0, std::floor(*first_log));
  if (!(decade > 0)) return lines;
  while (decade < last_frequency) {
    if (const auto x = FrequencyX(decade, first_frequency, last_frequency, true, w); x && *x > 0) {
      lines.push_back({*x, true, FrequencyLabel(decade)});
    }
    for (int k = 2; k <= 9; ++k) {
      if (const auto x = FrequencyX(k * decade, first_frequency, last_frequency, true, w)) {
        lines.push_back({*x, false, QString()});
      }
    }
    decade *= 10;
  }
  return lines;
}

std::optional<double> CutoffBetween(const ResponsePoint& previous, const ResponsePoint& current) {
  const double a_prev = previous.amplitude;
  const double a_cur = current.amplitude;
  if (!std::isfinite(a_prev) || !std::isfinite(a_cur)) return std::nullopt;
  if (Sgn(a_cur - CutoffLevel) == Sgn(a_prev - CutoffLevel)) return std::nullopt;
  const double d_prev = std::fabs(a_prev - CutoffLevel);
  const double d_cur = std::fabs(a_cur - CutoffLevel);
  return Finite((d_prev * current.frequency + d_cur * previous.frequency) / (d_prev + d_cur));
}

std::vector<double> CutoffFrequencies(const SweepResult& result) {
  std::vector<double> frequencies;
  const std::size_t count = PointCount(result);
  for (std::size_t i = 1; i < count; ++i) {
    if (const auto fc = CutoffBetween(result.points[i - 1], result.points[i])) {
      frequencies.push_back(*fc);
    }
  }
  return frequencies;
}

GraphLayout AmplitudeLinearLayout(double h) {
  GraphLayout layout;
  layout.label_top = h - kMargin + kLabelOffset;
  layout.axis_y = h - kMargin;
  for (int i = 1; i <= 10; ++i) {
    layout.grid_ys.push_back((h - kMargin) - i / 10.0 * (h - 2 * kMargin));
  }
  layout.frequency_line_from = kMargin;
  layout.frequency_line_to = h - kMargin;
  layout.marker_from = kMargin;
  layout.marker_to = h - kMargin;
  layout.cutoff_label_top = h - 2 * kMargin;
  layout.legend_band_top = 0;
  return layout;
}

GraphLayout AmplitudeLogLayout(double h, double log_floor) {
  GraphLayout layout;
  layout.label_top = kLabelOffset;
  layout.axis_y = kMargin;
  for (int i = 1; i <= 9; ++i) {
    if (const auto y = AmplitudeLogY(i / 10.0, h, log_floor)) layout.grid_ys.push_back(*y);
  }
  layout.frequency_line_from = h;
  layout.frequency_line_to = kMargin;
  layout.marker_from = kMargin;
  layout.marker_to = h;
  layout.cutoff_label_top = kMargin + kLabelOffset;
  layout.legend_band_top = h - kMargin;
  return layout;
}

GraphLayout PhaseLayout(const PhaseScale& scale, double h) {
  GraphLayout layout;
  layout.label_top = kLabelOffset;
  layout.axis_y = PhaseY(0, scale);
  for (double phase : scale.grid_phases) {
    if (const auto y = PhaseY(phase, scale)) layout.grid_ys.push_back(*y);
  }
  layout.frequency_line_from = h;
  layout.frequency_line_to = kMargin;
  layout.marker_from = kMargin;
  layout.marker_to = h;
  if (layout.axis_y) layout.cutoff_label_top = *layout.axis_y + kLabelOffset;
  layout.legend_band_top = h - kMargin;
  return layout;
}

void DrawAmplitudeLinear(const SweepResult& result, QPainter& surface, QSizeF size,
                         const GraphOptions& options) {
  const double h = size.height();
  DrawGraph(
      result, surface, size, options, AmplitudeLinearLayout(h),
      [h](const ResponsePoint& p) { return AmplitudeLinearY(p.amplitude, h); },
      [h, &options](double text_height) {
        return AmplitudeScaleLabels(h, false, options.log_floor, options.amplitude_unit,
                                    text_height);
      });
}

void DrawAmplitudeLog(const SweepResult& result, QPainter& surface, QSizeF size,
                      const GraphOptions& options) {
  const double h = size.height();
  const double log_floor = options.log_floor;
  DrawGraph(
      result, surface, size, options, AmplitudeLogLayout(h, log_floor),
      [h, log_floor](const ResponsePoint& p) { return AmplitudeLogY(p.amplitude, h, log_floor); },
      [h, log_floor, &options](double text_height) {
        return AmplitudeScaleLabels(h, true, log_floor, options.amplitude_unit, text_height);
      });
}

void DrawPhase(const SweepResult& result, QPainter& surface, QSizeF size,
               const GraphOptions& options) {
  const double h = size.height();
  const PhaseScale scale = ComputePhaseScale(result, h, ReferencePhaseExtent(options.references));
  DrawGraph(
      result, surface, size, options, PhaseLayout(scale, h),
      [&scale](const ResponsePoint& p) { return PhaseY(p.phase, scale); },
      [&scale, h](double text_height) { return PhaseScaleLabels(scale, h, text_height); });
}

namespace {

// The top margin band of the phase graph and of the logarithmic amplitude graph holds their
// frequency labels: an overlay placed from the top edge (where it starts, at 0) is printed below
// it, so that it never covers them. The linear amplitude graph has its labels at the bottom and
// keeps its top band for the overlay.
double OverlayLeastTop(bool labels_on_top) { return labels_on_top ? kMargin : 0; }

}  // namespace

bool DrawAmplitudeGraph(const SweepResult& result, QPainter& surface, QSizeF size,
                        const GraphOptions& options, const GraphOverlay& overlay) {
  if (PointCount(result) == 0) return false;
  if (options.log_y) {
    DrawAmplitudeLog(result, surface, size, options);
  } else {
    DrawAmplitudeLinear(result, surface, size, options);
  }
  if (!overlay.text.isEmpty()) {
    PrintOverlay(surface, size, overlay.x1, overlay.y1, overlay.text, OverlayLineHeight(surface),
                 options.foreground, OverlayLeastTop(options.log_y));
  }
  return true;
}

bool DrawPhaseGraph(const SweepResult& result, QPainter& surface, QSizeF size,
                    const GraphOptions& options, const GraphOverlay& overlay) {
  if (PointCount(result) == 0) return false;
  DrawPhase(result, surface, size, options);
  if (!overlay.text.isEmpty()) {
    PrintOverlay(surface, size, overlay.x2, overlay.y2, overlay.text, OverlayLineHeight(surface),
                 options.foreground, OverlayLeastTop(true));
  }
  return true;
}

bool DrawGraphs(const SweepResult& result, QPainter& amplitude_surface, QSizeF amplitude_size,
                QPainter& phase_surface, QSizeF phase_size, const GraphOptions& options,
                const GraphOverlay& overlay) {
  if (PointCount(result) == 0) return false;
  if (options.log_y) {
    DrawAmplitudeLog(result, amplitude_surface, amplitude_size, options);
  } else {
    DrawAmplitudeLinear(result, amplitude_surface, amplitude_size, options);
  }
  DrawPhase(result, phase_surface, phase_size, options);
  if (!overlay.text.isEmpty()) {
    const double line_height = OverlayLineHeight(amplitude_surface);
    PrintOverlay(amplitude_surface, amplitude_size, overlay.x1, overlay.y1, overlay.text,
                 line_height, options.foreground, OverlayLeastTop(options.log_y));
    PrintOverlay(phase_surface, phase_size, overlay.x2, overlay.y2, overlay.text, line_height,
                 options.foreground, OverlayLeastTop(true));
  }
  return true;
}

}  // namespace quorvel
