#include "window_core/oscilloscope_layout.h"

namespace quorvel {

bool LayoutOscilloscope(OscilloscopeGeometry& g, WindowSize& size, bool parameter_panel) {
  if (size.minimized) return false;
  RaiseToMinimum(size, kOscilloscopeMinimumOuterWidth, kOscilloscopeMinimumOuterHeight);
  const double W = size.inner_width;
  const double H = size.inner_height;

  g.Grafico1.left = parameter_panel ? g.Frame2.width : 0;
  SetPositive(g.Grafico1.width, W - g.Grafico1.left);
  SetPositive(g.Grafico1.height, H - g.Frame1.height - g.SB1Height);
  SetPositive(g.Frame1.width, W);
  g.Frame1.top = g.Grafico1.height;
  g.cmdAgg.left = g.Frame1.width - g.cmdAgg.width - 120;
  g.cmdStop.left = g.cmdAgg.left;
  SetPositive(g.Frame2.height, g.Grafico1.height);
  SetPositive(g.lstPar.height, g.Frame2.height - g.lstPar.top - 120);
  g.cmdHelp.top = H - g.cmdHelp.height + 8;
  return true;
}

}  // namespace quorvel
