#include "window_core/oscilloscope_layout.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

WindowSize Size(double w, double h) { return {w, h, w + 120, h + 800, false}; }

TEST(LayoutOscilloscope, PlacesTheScreenAboveTheToolsAndTheButtonsRight) {
  struct Case {
    const char* name;
    bool panel;
    TwipRect screen;
    TwipRect list;
  };
  const double screen_height = 7000 - 1770 - 375;
  const Case cases[] = {
      {"panel hidden", false, {0, 0, 9000, screen_height}, {120, 1110, 2175, 2670}},
      {"panel shown",
       true,
       {2415, 0, 9000 - 2415, screen_height},
       {120, 1110, 2175, screen_height - 1110 - 120}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OscilloscopeGeometry g;
    WindowSize size = Size(9000, 7000);
    ASSERT_TRUE(LayoutOscilloscope(g, size, c.panel));
    EXPECT_EQ(g.Grafico1, c.screen);
    EXPECT_EQ(g.Frame1, (TwipRect{0, screen_height, 9000, 1770}));
    EXPECT_EQ(g.cmdAgg, (TwipRect{9000 - 1215 - 120, 240, 1215, 495}));
    EXPECT_EQ(g.cmdStop, (TwipRect{9000 - 1215 - 120, 840, 1215, 375}));
    EXPECT_EQ(g.Frame2, (TwipRect{0, 0, 2415, screen_height}));
    EXPECT_EQ(g.lstPar, (TwipRect{120, 1110, 2175, screen_height - 1110 - 120}));
    EXPECT_EQ(g.cmdHelp.top, 7000 - 360 + 8);
    EXPECT_EQ(size.outer_width, 9120);
    EXPECT_EQ(size.outer_height, 7800);
  }
}

TEST(LayoutOscilloscope, RaisesASmallOuterSizeToTheMinimumAndLaysOutForIt) {
  OscilloscopeGeometry g;
  WindowSize size{500, 1500, 600, 2000, false};
  ASSERT_TRUE(LayoutOscilloscope(g, size, false));
  EXPECT_EQ(size.outer_width, kOscilloscopeMinimumOuterWidth);
  EXPECT_EQ(size.outer_height, kOscilloscopeMinimumOuterHeight);
  EXPECT_EQ(size.inner_width, 7700);
  EXPECT_EQ(size.inner_height, 6000);
  EXPECT_EQ(g.Grafico1, (TwipRect{0, 0, 7700, 6000 - 1770 - 375}));
  EXPECT_EQ(g.Frame1.width, 7700);
}

TEST(LayoutOscilloscope, SkipsImpossibleSizes) {
  OscilloscopeGeometry g;
  // A window at its minimum outer size whose frame and menu bar take most of it.
  WindowSize size{500, 1500, 7800, 6500, false};
  ASSERT_TRUE(LayoutOscilloscope(g, size, false));
  // No room for the screen: its design height stays, the frame below it follows it.
  EXPECT_EQ(g.Grafico1.height, 3900);
  EXPECT_EQ(g.Frame1.top, 3900);
  EXPECT_EQ(g.Grafico1.width, 500);
}

TEST(LayoutOscilloscope, ChangesNothingWhileMinimized) {
  OscilloscopeGeometry g;
  WindowSize size{9000, 7000, 100, 100, true};
  EXPECT_FALSE(LayoutOscilloscope(g, size, true));
  const OscilloscopeGeometry design;
  EXPECT_EQ(g.Grafico1, design.Grafico1);
  EXPECT_EQ(g.Frame1, design.Frame1);
  EXPECT_EQ(size.outer_width, 100);
}

}  // namespace
}  // namespace quorvel
