#pragma once

// Sweeps and pixel checks shared by the tests of the graph options, references and images.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cmath>
#include <numbers>
#include <vector>

#include "graphs/response_graph.h"

namespace quorvel::testing_support {

inline SweepResult MakeResult(const std::vector<ResponsePoint>& points) {
  SweepResult result;
  result.points = points;
  result.count = static_cast<std::int32_t>(points.size());
  return result;
}

// A first-order RC low-pass with its corner at `corner` Hz, sampled evenly on a log scale.
inline SweepResult RcLowPass(double first, double last, int samples, double corner = 1000) {
  std::vector<ResponsePoint> points;
  for (int i = 0; i < samples; ++i) {
    const double f = first * std::pow(last / first, static_cast<double>(i) / (samples - 1));
    const double ratio = f / corner;
    points.push_back(
        {f, -std::atan(ratio) * 180 / std::numbers::pi, 1 / std::sqrt(1 + ratio * ratio)});
  }
  return MakeResult(points);
}

// A second-order low-pass (two RC sections, isolated) with both corners at `corner` Hz: its
// phase runs to -180 degrees.
inline SweepResult TwoPoleLowPass(double first, double last, int samples, double corner) {
  SweepResult one = RcLowPass(first, last, samples, corner);
  for (ResponsePoint& p : one.points) {
    p.amplitude *= p.amplitude;
    p.phase *= 2;
  }
  return one;
}

inline bool HasColourNear(const QImage& image, const QColor& colour, double x, double y,
                          int radius) {
  const int cx = static_cast<int>(std::lround(x));
  const int cy = static_cast<int>(std::lround(y));
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = cx + dx;
      const int py = cy + dy;
      if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
      if (image.pixelColor(px, py) == colour) return true;
    }
  }
  return false;
}

inline int CountColour(const QImage& image, const QColor& colour, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  area = area.intersected(image.rect());
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

// Dark grey to black pixels (text and black lines; not the grid, not the coloured curves).
inline int CountDark(const QImage& image, QRect area) {
  area = area.intersected(image.rect());
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      count += c.red() < 128 && c.green() < 128 && c.blue() < 128;
    }
  }
  return count;
}

struct Rendered {
  QImage amplitude;
  QImage phase;
  bool drew = false;
};

inline Rendered Render(const SweepResult& result, const GraphOptions& options, QSize size) {
  Rendered out{QImage(size, QImage::Format_RGB32), QImage(size, QImage::Format_RGB32), false};
  out.amplitude.fill(Qt::white);
  out.phase.fill(Qt::white);
  {
    QPainter amplitude_painter(&out.amplitude);
    QPainter phase_painter(&out.phase);
    out.drew =
        DrawGraphs(result, amplitude_painter, QSizeF(size), phase_painter, QSizeF(size), options);
  }
  return out;
}

}  // namespace quorvel::testing_support
