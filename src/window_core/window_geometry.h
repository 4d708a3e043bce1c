#pragma once

// Rectangles and window sizes in twips (1/1440 inch), as the windows' layout rules take them.

#include <algorithm>

namespace quorvel {

struct TwipRect {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  friend bool operator==(const TwipRect&, const TwipRect&) = default;
};

// A window's size as a layout sees it: the inner area (below the menu bar, status bar included)
// and the outer frame.
struct WindowSize {
  double inner_width = 0;
  double inner_height = 0;
  double outer_width = 0;
  double outer_height = 0;
  bool minimized = false;
};

// A width or height the window system would refuse (zero or negative) is skipped; the rest of a
// layout still runs.
inline void SetPositive(double& target, double value) {
  if (value > 0) target = value;
}

// Raises an outer size below the window's minimum to it (the caller resizes the window).
inline void RaiseToMinimum(WindowSize& size, double minimum_outer_width,
                           double minimum_outer_height) {
  size.outer_width = std::max(size.outer_width, minimum_outer_width);
  size.outer_height = std::max(size.outer_height, minimum_outer_height);
}

}  // namespace quorvel
