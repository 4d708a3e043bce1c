#include "window_core/main_window_layout.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

WindowSize Size(double w, double h) { return {w, h, w + 120, h + 800, false}; }

TEST(LayoutMainWindow, PlacesEveryControlForANormalWindow) {
  MainWindowGeometry g;
  WindowSize size = Size(9000, 7000);
  ASSERT_TRUE(LayoutMainWindow(g, size, 1));
  EXPECT_EQ(g.Frame1.width, 9000);
  EXPECT_EQ(g.cmdStart.left, 9000 - 1215 - 120);
  EXPECT_EQ(g.cmdStop.left, g.cmdStart.left);
  EXPECT_EQ(g.lblMX.height, 2760 - 1320);
  EXPECT_EQ(g.lblMY.width, 9000);
  EXPECT_EQ(g.TS1, (TwipRect{0, 2895, 9000, 375}));
  // Below the tab strip, overlapping it by 40, down to the status bar.
  EXPECT_EQ(g.Grafico1, (TwipRect{0, 3230, 9000, 7000 - 3230 - 375}));
  EXPECT_EQ(g.Frame2, (TwipRect{2535, 1320, 6465, 1440}));
  EXPECT_EQ(g.txtFil, (TwipRect{120, 240, 6225, 1080}));
  EXPECT_EQ(g.Frame3, (TwipRect{0, 1320, 2400, 1440}));
  EXPECT_EQ(g.txtPar, (TwipRect{120, 240, 2160, 1080}));
  EXPECT_EQ(g.cmdHelp.top, 7000 - 360 + 8);
}

TEST(LayoutMainWindow, ArrangesTheGraphsByTab) {
  struct Case {
    int tab;
    double width;
    TwipRect g1;
    TwipRect g2;
  };
  const double free = 7000 - 3230 - 375;
  const Case cases[] = {
      {1, 9000, {0, 3230, 9000, free}, {3480, 3240, 3375, 1650}},
      {2, 9000, {0, 3230, 3375, 1650}, {0, 3230, 9000, free}},
      {3, 9000, {0, 3230, 9000, free / 2}, {0, 3230 + free / 2, 9000, free / 2}},
      // Divisions are exact: 9001 wide side by side gives two graphs 4500.5 wide.
      {4, 9001, {0, 3230, 4500.5, free}, {4500.5, 3230, 4500.5, free}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tab);
    MainWindowGeometry g;
    WindowSize size = Size(c.width, 7000);
    LayoutMainWindow(g, size, c.tab);
    EXPECT_EQ(g.Grafico1, c.g1);
    EXPECT_EQ(g.Grafico2, c.g2);
  }
}

TEST(LayoutMainWindow, PullsTheSplittersBackIntoASmallerWindow) {
  MainWindowGeometry g;
  g.lblMX.left = 6000;
  g.lblMY.top = 6000;
  WindowSize size = Size(8000, 7000);
  LayoutMainWindow(g, size, 1);
  EXPECT_EQ(g.lblMX.left, 5600);
  EXPECT_EQ(g.lblMY.top, 5000);
  EXPECT_EQ(g.Frame2.left, 5600 + 135);
  EXPECT_EQ(g.Frame3.width, 5600);
  EXPECT_EQ(g.TS1.top, 5135);
}

TEST(LayoutMainWindow, RaisesTheOuterSizeToTheMinimum) {
  MainWindowGeometry g;
  WindowSize size{6000, 5000, 6100, 5500, false};
  LayoutMainWindow(g, size, 1);
  EXPECT_EQ(size.outer_width, 7000);
  EXPECT_EQ(size.outer_height, 6000);
  // The layout works on the inner size that the window will have at its minimum, not on the
  // size that was refused.
  EXPECT_EQ(size.inner_width, 6900);
  EXPECT_EQ(size.inner_height, 5500);
  EXPECT_EQ(g.Frame1.width, 6900);
  EXPECT_EQ(g.Grafico1.width, 6900);
  EXPECT_EQ(g.Grafico1.top + g.Grafico1.height, 5500 - 375);
  EXPECT_EQ(g.cmdHelp.top, 5500 - 360 + 8);
  WindowSize big{9000, 8000, 9120, 8800, false};
  LayoutMainWindow(g, big, 1);
  EXPECT_EQ(big.outer_width, 9120);
  EXPECT_EQ(big.outer_height, 8800);
}

TEST(LayoutMainWindow, SkipsSizesAWindowSystemRefusesAndGoesOn) {
  MainWindowGeometry g;
  // A window at its minimum outer size whose frame and menu bar take most of it.
  WindowSize size{1000, 2500, 7000, 6000, false};
  LayoutMainWindow(g, size, 1);
  // lblMX is pulled to -1400, so Frame3 would get a negative width: it keeps its own.
  EXPECT_EQ(g.lblMX.left, -1400);
  EXPECT_EQ(g.Frame3.width, 2415);
  // lblMY is pulled up to 500, above the text frames' top: their height would be negative and
  // is kept; the graph below still gets the room down to the status bar.
  EXPECT_EQ(g.lblMY.top, 500);
  EXPECT_EQ(g.Frame2.height, 1455);
  EXPECT_EQ(g.Grafico1.height, 2500 - 970 - 375);
  EXPECT_EQ(g.cmdHelp.top, 2500 - 360 + 8);
}

TEST(LayoutMainWindow, DoesNothingWhileMinimized) {
  MainWindowGeometry g;
  WindowSize size = Size(100, 100);
  size.minimized = true;
  EXPECT_FALSE(LayoutMainWindow(g, size, 4));
  EXPECT_EQ(g.Grafico1, MainWindowGeometry{}.Grafico1);
  EXPECT_EQ(size.outer_width, 220);
}

TEST(Splitters, StayWithinTheirLimits) {
  EXPECT_EQ(ClampSplitterX(100, 9000), 2400);
  EXPECT_EQ(ClampSplitterX(8000, 9000), 6600);
  EXPECT_EQ(ClampSplitterX(3000, 9000), 3000);
  EXPECT_EQ(ClampSplitterY(100, 7000), 2760);
  EXPECT_EQ(ClampSplitterY(6000, 7000), 5000);
  EXPECT_EQ(ClampSplitterY(4000, 7000), 4000);
}

}  // namespace
}  // namespace quorvel
