#pragma once

// Rectangles and window sizes in twips (1/1440 inch), as the windows' layout rules take them.

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

}  // namespace quorvel
