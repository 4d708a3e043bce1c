#include "graphs/scope_screen.h"

#include <QColor>
#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QStringView>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "graphs/filter_overlay.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"

namespace quorvel {
namespace {

constexpr int kHorizontalDivisions = 10;
constexpr int kVerticalDivisions = 8;
constexpr double kTallestDensityBar = 80;

const QColor kBackground(0, 128, 128);
const QColor kGridColour(0, 0, 0);
const QColor kInputColour(255, 0, 0);
const QColor kOutputColour(255, 255, 0);
const QColor kSeparatedColour(0, 255, 255);
const QColor kDensityColour(0, 190, 0);
const QColor kOverlayColour(255, 255, 255);

struct VoltsPerDivisionSetting {
  QStringView text;
  double value;
};

constexpr VoltsPerDivisionSetting kVoltsPerDivision[] = {
    {u"0,01", 0.01}, {u"0,02", 0.02}, {u"0,05", 0.05}, {u"0,1", 0.1}, {u"0,2", 0.2},
    {u"0,5", 0.5},   {u"1", 1},       {u"2", 2},       {u"5", 5},     {u"10", 10},
    {u"20", 20},     {u"50", 50},     {u"100", 100},
};

// The number of samples actually present: `count`, unless an array is shorter.
std::size_t SampleCount(const TimeTrace& trace) {
  if (trace.count <= 0) return 0;
  return std::min({static_cast<std::size_t>(trace.count), trace.times.size(), trace.inputs.size(),
                   trace.outputs.size(), trace.framesPerSample.size()});
}

std::optional<QPointF> Place(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
  return QPointF(x, y);
}

void Line(QPainter& surface, QPointF from, QPointF to, const QColor& colour) {
  QPen pen(colour);
  pen.setWidthF(1);
  surface.setPen(pen);
  surface.drawLine(QLineF(from, to));
}

// Prints a text of one or more lines (CR LF separated) with the corner nearest to the
// surface's border at the relative position (rx, ry): a position of 0.5 or more places the
// text's right (bottom) edge there, a smaller one its left (top) edge. Lines are spaced by the
// height of a line of the surface's font and printed in white.
}  // namespace

bool DrawScope(QPainter& surface, QSizeF size, const TimeTrace& trace, double input_volts_per_div,
               double output_volts_per_div, bool separate, bool density,
               const QString& overlay_text, double overlay_x, double overlay_y) {
  const std::size_t count = SampleCount(trace);
  const double w = size.width();
  const double h = size.height();
  if (count == 0) return false;
  if (!std::isfinite(w) || !std::isfinite(h) || w < 0 || h < 0) return false;

  const auto frames_end = trace.framesPerSample.begin() + static_cast<std::ptrdiff_t>(count);
  const std::int32_t max_frames = *std::max_element(trace.framesPerSample.begin(), frames_end);
  // Without a sample that needed a frame there is no scale for the bars.
  const bool draw_bars = density && max_frames > 0;
  const double density_scale = draw_bars ? kTallestDensityBar / max_frames : 0;

  surface.save();
  const QRectF rect(QPointF(0, 0), size);
  surface.setClipRect(rect);
  surface.setRenderHint(QPainter::Antialiasing, false);
  surface.fillRect(rect, kBackground);

  const double input_zero = separate ? h / 4 : h / 2;
  const double output_zero = separate ? 3 * h / 4 : h / 2;
  const QColor& input_colour = separate ? kSeparatedColour : kInputColour;
  const QColor& output_colour = separate ? kSeparatedColour : kOutputColour;
  const double division = h / kVerticalDivisions;
  const double input_scale = division / input_volts_per_div;
  const double output_scale = division / output_volts_per_div;

  for (int i = 1; i < kVerticalDivisions; ++i) {
    const double y = i * division;
    Line(surface, QPointF(0, y), QPointF(w, y), kGridColour);
  }
  for (int i = 1; i < kHorizontalDivisions; ++i) {
    const double x = i * w / kHorizontalDivisions;
    Line(surface, QPointF(x, 0), QPointF(x, h), kGridColour);
  }

  // A point that cannot be placed breaks its trace: both segments that touch it are left out.
  std::optional<QPointF> previous_input = Place(0, input_zero - input_scale * trace.inputs[0]);
  std::optional<QPointF> previous_output = Place(0, output_zero - output_scale * trace.outputs[0]);
  const double last_time = trace.times[count - 1];
  for (std::size_t i = 1; i < count; ++i) {
    const double x = trace.times[i] / last_time * w;
    if (draw_bars) {
      const double top = h - trace.framesPerSample[i] * density_scale;
      if (const auto bar_top = Place(x, top)) {
        Line(surface, QPointF(x, h), *bar_top, kDensityColour);
      }
    }
    const auto input = Place(x, input_zero - input_scale * trace.inputs[i]);
    if (previous_input && input) Line(surface, *previous_input, *input, input_colour);
    const auto output = Place(x, output_zero - output_scale * trace.outputs[i]);
    if (previous_output && output) Line(surface, *previous_output, *output, output_colour);
    previous_input = input;
    previous_output = output;
  }

  if (!overlay_text.isEmpty()) {
    PrintOverlay(surface, size, overlay_x, overlay_y, overlay_text, OverlayLineHeight(surface),
                 kOverlayColour);
  }
  surface.restore();
  return true;
}

QStringList VoltsPerDivisionTexts() {
  QStringList texts;
  for (const VoltsPerDivisionSetting& setting : kVoltsPerDivision) {
    texts.append(setting.text.toString());
  }
  return texts;
}

std::optional<double> VoltsPerDivision(const QString& text) {
  for (const VoltsPerDivisionSetting& setting : kVoltsPerDivision) {
    if (text == setting.text) return setting.value;
  }
  return std::nullopt;
}

QString ScopeOverlayText(const QString& functions_text, const QString& waveform_text,
                         double run_frequency) {
  return functions_text + QStringLiteral("\r\n") + waveform_text + QLatin1Char(' ') +
         FormatEng(run_frequency, 1, QStringLiteral("Hz"));
}

ScopeReadout ComputeScopeReadout(const TimeTrace& trace, double x, double w, bool unit_seconds) {
  const QString none = QStringLiteral("/");
  const std::size_t count = SampleCount(trace);
  if (count == 0) return {none, none, none};

  // lerp is exact at both ends, so the edges read the first and the last sample's time.
  const double tc = std::lerp(trace.times[0], trace.times[count - 1], x / w);
  if (!std::isfinite(tc)) return {none, none, none};

  ScopeReadout readout;
  if (unit_seconds || trace.frequency == 0) {
    readout.time = FormatEng(tc, -3, QStringLiteral("s"));
  } else {
    const double angle = Round(tc * trace.frequency * 360, 0);
    if (std::isfinite(angle)) {
      double degrees = std::fmod(angle, 360);
      if (degrees < 0) degrees += 360;
      readout.time = NumberText(degrees) + QChar(0x00B0);
    } else {
      readout.time = none;
    }
  }

  // A trace of one sample has no segment to interpolate in: both read 0.
  double input = 0;
  double output = 0;
  for (std::size_t i = 1; i < count; ++i) {
    const double t1 = trace.times[i];
    if (!(t1 >= tc)) continue;
    const double t0 = trace.times[i - 1];
    const double span = t1 - t0;
    if (span == 0) {
      input = trace.inputs[i];
      output = trace.outputs[i];
    } else {
      input = ((tc - t0) * trace.inputs[i] + (t1 - tc) * trace.inputs[i - 1]) / span;
      output = ((tc - t0) * trace.outputs[i] + (t1 - tc) * trace.outputs[i - 1]) / span;
    }
    break;
  }
  readout.input = FormatEng(input, -3, QStringLiteral("V"));
  readout.output = FormatEng(output, -3, QStringLiteral("V"));
  return readout;
}

QString ToggleTimeUnit(const QString& tag) {
  return tag == u"deg" ? QStringLiteral("s") : QStringLiteral("deg");
}

}  // namespace quorvel
