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

// Raises an outer size below the window's minimum to it, the inner size growing with it: the
// layout then works on the size the window will have once the caller has resized it, not on
// the size that was refused.
inline void RaiseToMinimum(WindowSize& size, double minimum_outer_width,
                           double minimum_outer_height) {
  const double grow_width = std::max(0.0, minimum_outer_width - size.outer_width);
  const double grow_height = std::max(0.0, minimum_outer_height - size.outer_height);
  size.outer_width += grow_width;
  size.inner_width += grow_width;
  size.outer_height += grow_height;
  size.inner_height += grow_height;
}

}  // namespace quorvel
