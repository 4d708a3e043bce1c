#pragma once

// Window layouts are computed in twips (1/1440 inch); widgets are placed in pixels at the
// screen's logical resolution, so 96 dpi gives 15 twips to a pixel.

#include <QPaintDevice>
#include <QRect>

#include <cmath>

#include "window_core/window_geometry.h"

namespace quorvel {

inline double TwipsPerPixelX(const QPaintDevice& device) { return 1440.0 / device.logicalDpiX(); }
inline double TwipsPerPixelY(const QPaintDevice& device) { return 1440.0 / device.logicalDpiY(); }

inline int TwipsToPixelsX(double twips, const QPaintDevice& device) {
  return static_cast<int>(std::lround(twips / TwipsPerPixelX(device)));
}
inline int TwipsToPixelsY(double twips, const QPaintDevice& device) {
  return static_cast<int>(std::lround(twips / TwipsPerPixelY(device)));
}

// Edges are rounded rather than sizes, so that neighbours that touch in twips touch in pixels.
inline QRect TwipRectToPixels(const TwipRect& r, const QPaintDevice& device) {
  const int left = TwipsToPixelsX(r.left, device);
  const int top = TwipsToPixelsY(r.top, device);
  const int right = TwipsToPixelsX(r.left + r.width, device);
  const int bottom = TwipsToPixelsY(r.top + r.height, device);
  return {left, top, right - left, bottom - top};
}

}  // namespace quorvel
