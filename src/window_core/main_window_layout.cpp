#include "window_core/main_window_layout.h"

#include <algorithm>

namespace quorvel {

namespace {
void SetWidth(TwipRect& r, double w) { SetPositive(r.width, w); }
void SetHeight(TwipRect& r, double h) { SetPositive(r.height, h); }
}  // namespace

bool LayoutMainWindow(MainWindowGeometry& g, WindowSize& size, int tab) {
  if (size.minimized) return false;
  RaiseToMinimum(size, kMinimumOuterWidth, kMinimumOuterHeight);
  const double W = size.inner_width;
  const double H = size.inner_height;

  SetWidth(g.Frame1, W);
  g.cmdStart.left = g.Frame1.width - g.cmdStart.width - 120;
  g.cmdStop.left = g.cmdStart.left;
  SetHeight(g.lblMX, g.lblMY.top - g.lblMX.top);
  SetWidth(g.lblMY, W);
  if (g.lblMX.left > W - 2400) g.lblMX.left = W - 2400;
  if (g.lblMY.top > H - 2000) g.lblMY.top = H - 2000;
  g.TS1.top = g.lblMY.top + g.lblMY.height;
  g.Grafico1.top = g.TS1.top + g.TS1.height - 40;

  const double free = H - g.Grafico1.top - g.SB1Height;
  switch (tab) {
    case 1:
      SetWidth(g.Grafico1, W);
      SetHeight(g.Grafico1, free);
      break;
    case 2:
      SetWidth(g.Grafico2, W);
      SetHeight(g.Grafico2, free);
      g.Grafico2.left = 0;
      g.Grafico2.top = g.Grafico1.top;
      break;
    case 3:
      SetWidth(g.Grafico1, W);
      SetWidth(g.Grafico2, g.Grafico1.width);
      SetHeight(g.Grafico1, free / 2);
      SetHeight(g.Grafico2, g.Grafico1.height);
      g.Grafico2.left = 0;
      g.Grafico2.top = g.Grafico1.top + g.Grafico1.height;
      break;
    case 4:
      SetWidth(g.Grafico1, W / 2);
      SetWidth(g.Grafico2, g.Grafico1.width);
      SetHeight(g.Grafico1, free);
      SetHeight(g.Grafico2, g.Grafico1.height);
      g.Grafico2.left = g.Grafico1.width;
      g.Grafico2.top = g.Grafico1.top;
      break;
    default:
      break;
  }

  SetWidth(g.TS1, W);
  g.Frame2.left = g.lblMX.left + g.lblMX.width;
  SetWidth(g.Frame2, W - g.Frame2.left);
  SetHeight(g.Frame2, g.lblMY.top - g.Frame2.top);
  SetWidth(g.txtFil, g.Frame2.width - g.txtFil.left - 120);
  SetHeight(g.txtFil, g.Frame2.height - g.txtFil.top - 120);
  SetWidth(g.Frame3, g.lblMX.left);
  SetHeight(g.Frame3, g.Frame2.height);
  SetWidth(g.txtPar, g.Frame3.width - g.txtPar.left - 120);
  SetHeight(g.txtPar, g.Frame3.height - g.txtPar.top - 120);
  g.cmdHelp.top = H - g.cmdHelp.height + 8;
  return true;
}

double ClampSplitterX(double left, double inner_width) {
  return std::max(2400.0, std::min(left, inner_width - 2400));
}

double ClampSplitterY(double top, double inner_height) {
  return std::max(2760.0, std::min(top, inner_height - 2000));
}

}  // namespace quorvel
