// The graphs and the oscilloscope screen on a high-DPI screen (this binary runs at a scale factor
// of 2): drawn at the device pixel ratio, not drawn at 1x and scaled up.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window/response_graphs.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "widgets/graph_surface.h"

namespace quorvel {
namespace {

using testing::Child;

TEST(HighDpi, GraphsAndTheOscilloscopeScreenAreDrawnAtTheDevicePixelRatio) {
  Form1 window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_EQ(window.devicePixelRatioF(), 2.0);
  QTest::mouseClick(Child<QPushButton>(window, "cmdStart"), Qt::LeftButton);
  ASSERT_EQ(window.Graphs().result().count, 20);
  for (const char* name : {"Grafico1", "Grafico2"}) {
    SCOPED_TRACE(name);
    const auto* surface = Child<GraphSurface>(window, name);
    EXPECT_EQ(surface->image().size(), surface->size() * 2);
    EXPECT_EQ(surface->image().devicePixelRatio(), 2.0);
  }

  Child<QAction>(window, "MenuToolsOsc")->trigger();
  Form2* osc = window.oscilloscope();
  ASSERT_NE(osc, nullptr);
  SetReversedValue(*Child<QScrollBar>(*osc, "SOsc"), 1);
  SetReversedValue(*Child<QScrollBar>(*osc, "SCa"), 100);
  ASSERT_TRUE(QTest::qWaitFor([osc] { return osc->run_count() == 1 && !osc->RunRequested(); }));
  const auto* screen = Child<GraphSurface>(*osc, "Grafico1");
  ASSERT_TRUE(QTest::qWaitFor([screen] { return !screen->image().isNull(); }));
  EXPECT_EQ(screen->image().size(), screen->size() * 2);
  EXPECT_EQ(screen->image().devicePixelRatio(), 2.0);
}

}  // namespace
}  // namespace quorvel
