#pragma once

// The main window's layout rules, as a pure computation on rectangles in twips, so that the
// window only converts the result to pixels and every rule can be tested without a window.

#include "window_core/window_geometry.h"

namespace quorvel {

// The rectangles the layout moves, named after their controls. Controls inside a frame are
// relative to the frame. Start values are the design rectangles.
struct MainWindowGeometry {
  TwipRect Frame1{0, 0, 6855, 1335};
  TwipRect cmdStart{5520, 240, 1215, 495};
  TwipRect cmdStop{5520, 840, 1215, 375};
  TwipRect Frame3{0, 1320, 2415, 1455};
  TwipRect txtPar{120, 240, 2175, 1125};
  TwipRect lblMX{2400, 1320, 135, 1455};
  TwipRect Frame2{2520, 1320, 4335, 1455};
  TwipRect txtFil{120, 240, 4095, 1125};
  TwipRect lblMY{0, 2760, 6975, 135};
  TwipRect TS1{0, 2880, 6975, 375};
  TwipRect Grafico1{0, 3240, 3375, 1650};
  TwipRect Grafico2{3480, 3240, 3375, 1650};
  TwipRect cmdHelp{0, 4868, 360, 360};
  double SB1Height = 375;
};

inline constexpr double kMinimumOuterWidth = 7000;
inline constexpr double kMinimumOuterHeight = 6000;

// Lays the controls out for the window's size and the selected tab (1 "Ampiezza", 2 "Fase",
// 3 one above the other, 4 side by side). The outer size is raised to the minimum when it is
// below it (the caller resizes the window). A width or height that would be zero or negative
// (a window system refuses those) is not applied; the other steps still are. Returns false,
// changing nothing, while the window is minimized.
bool LayoutMainWindow(MainWindowGeometry& g, WindowSize& size, int tab);

// The splitters' limits: lblMX's left edge from 2400 to W - 2400, lblMY's top from 2760 to
// H - 2000.
double ClampSplitterX(double left, double inner_width);
double ClampSplitterY(double top, double inner_height);

}  // namespace quorvel
