#include "window_core/drag.h"

#include <cmath>

namespace quorvel {

DragOffsets BeginDrag(const TwipRect& control, QPointF cursor_twips) {
  return {static_cast<int>(std::lround(control.left - cursor_twips.x())),
          static_cast<int>(std::lround(control.top - cursor_twips.y()))};
}

bool DragWithin(TwipRect& control, const DragOffsets& offsets, QPointF cursor_twips,
                double min_left, double max_left, double min_top, double max_top) {
  const double left = cursor_twips.x() + offsets.x;
  const double top = cursor_twips.y() + offsets.y;
  bool moved = false;
  if (left >= min_left && left <= max_left && left != control.left) {
    control.left = left;
    moved = true;
  }
  if (top >= min_top && top <= max_top && top != control.top) {
    control.top = top;
    moved = true;
  }
  return moved;
}

}  // namespace quorvel
