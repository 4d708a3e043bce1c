#pragma once

// The oscilloscope window's layout rules, as a pure computation on rectangles in twips, like the
// main window's.

#include "window_core/window_geometry.h"

namespace quorvel {

// The rectangles that the oscilloscope's layout moves, in twips; controls inside a frame are
// relative to it. Start values are the design rectangles.
struct OscilloscopeGeometry {
  TwipRect Grafico1{0, 0, 7800, 3900};
  TwipRect Frame1{0, 3900, 7800, 1770};
  TwipRect cmdAgg{6465, 240, 1215, 495};
  TwipRect cmdStop{6465, 840, 1215, 375};
  TwipRect Frame2{0, 0, 2415, 3900};
  TwipRect lstPar{120, 1110, 2175, 2670};
  TwipRect cmdHelp{0, 5633, 360, 360};
  double SB1Height = 375;
};

inline constexpr double kOscilloscopeMinimumOuterWidth = 7800;
inline constexpr double kOscilloscopeMinimumOuterHeight = 6500;

// Lays the oscilloscope out for the window's size: the screen fills the width (right of the
// parameter panel `Frame2` when it is shown) above the tools frame `Frame1` and the status bar;
// "Aggiorna" and "Ferma" keep to the frame's right edge; the parameter panel and its list run
// down to the tools frame. The outer size is raised to the minimum when it is below it (the
// caller resizes the window). A width or height that would be zero or negative is not applied;
// the other steps still are. Returns false, changing nothing, while the window is minimized.
bool LayoutOscilloscope(OscilloscopeGeometry& g, WindowSize& size, bool parameter_panel);

}  // namespace quorvel
