#pragma once

// Dragging a control with the mouse (the splitters, the report panel). The offsets are taken
// against the cursor's position on the screen, so the control follows the cursor one to one
// wherever the window is. Positions are twips.

#include <QPointF>

#include "window_core/window_geometry.h"

namespace quorvel {

struct DragOffsets {
  int x = 0;
  int y = 0;
};

// The offsets from the cursor to the control's top left corner, as whole twips.
DragOffsets BeginDrag(const TwipRect& control, QPointF cursor_twips);

// Moves the control to the cursor plus the offsets, each axis only when the candidate lies
// within its limits (both ends included). Returns true when the control moved.
bool DragWithin(TwipRect& control, const DragOffsets& offsets, QPointF cursor_twips,
                double min_left, double max_left, double min_top, double max_top);

}  // namespace quorvel
