#include "window_core/oscilloscope_layout.h"

#include <algorithm>

namespace quorvel {

namespace {
// A size the window system would refuse is skipped.
void SetSize(double& target, double value) {
  if (value > 0) target = value;
}
}  // namespace

bool LayoutOscilloscope(OscilloscopeGeometry& g, WindowSize& size, bool parameter_panel) {
  if (size.minimized) return false;
  size.outer_width = std::max(size.outer_width, kOscilloscopeMinimumOuterWidth);
  size.outer_height = std::max(size.outer_height, kOscilloscopeMinimumOuterHeight);
  const double W = size.inner_width;
  const double H = size.inner_height;

  g.Grafico1.left = parameter_panel ? g.Frame2.width : 0;
  SetSize(g.Grafico1.width, W - g.Grafico1.left);
  SetSize(g.Grafico1.height, H - g.Frame1.height - g.SB1Height);
  SetSize(g.Frame1.width, W);
  g.Frame1.top = g.Grafico1.height;
  g.cmdAgg.left = g.Frame1.width - g.cmdAgg.width - 120;
  g.cmdStop.left = g.cmdAgg.left;
  SetSize(g.Frame2.height, g.Grafico1.height);
  SetSize(g.lstPar.height, g.Frame2.height - g.lstPar.top - 120);
  g.cmdHelp.top = H - g.cmdHelp.height + 8;
  return true;
}

}  // namespace quorvel
