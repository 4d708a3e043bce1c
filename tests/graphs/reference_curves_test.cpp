#include "graphs/reference_curves.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "graph_test_support.h"
#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"

namespace quorvel {
namespace {

using testing_support::CountColour;
using testing_support::HasColourNear;
using testing_support::MakeResult;
using testing_support::RcLowPass;
using testing_support::Render;
using testing_support::TwoPoleLowPass;

constexpr double kTolerance = 1e-9;
const QColor kRed(255, 0, 0);

TEST(AddReferenceCurveTest, KeepsTheMeasuredPointsOfAtMostFourRuns) {
  std::vector<ReferenceCurve> references;
  SweepResult cancelled = MakeResult({{10, 0, 1}, {100, -5, 0.9}, {1000, -45, 0.7}});
  cancelled.count = 2;
  ASSERT_TRUE(AddReferenceCurve(references, cancelled, QStringLiteral("vo = vi")));
  ASSERT_EQ(references.size(), 1u);
  EXPECT_EQ(references[0].result.count, 2);
  ASSERT_EQ(references[0].result.points.size(), 2u);
  EXPECT_EQ(references[0].result.points[1].frequency, 100);
  EXPECT_EQ(references[0].label, QStringLiteral("vo = vi"));

  // Nothing measured: nothing kept.
  SweepResult empty = cancelled;
  empty.count = 0;
  EXPECT_FALSE(AddReferenceCurve(references, empty, QStringLiteral("x")));
  EXPECT_EQ(references.size(), 1u);

  for (int i = 2; i <= 6; ++i) {
    ASSERT_TRUE(AddReferenceCurve(references, RcLowPass(10, 1e4, 5, 100.0 * i),
                                  QStringLiteral("run %1").arg(i)));
  }
  ASSERT_EQ(references.size(), kMaxReferenceCurves);
  EXPECT_EQ(references.front().label, QStringLiteral("run 3"));  // the oldest went first
  EXPECT_EQ(references.back().label, QStringLiteral("run 6"));
}

TEST(ReferenceColourTest, MutedDistinctAndNotTheGraphsOwnColours) {
  const std::vector<QColor> own = {QColor(255, 0, 0), QColor(0, 190, 0), QColor(0, 0, 0),
                                   QColor(200, 200, 200), QColor(255, 255, 255)};
  for (std::size_t i = 0; i < kMaxReferenceCurves; ++i) {
    SCOPED_TRACE(i);
    const QColor c = ReferenceColour(i);
    for (const QColor& o : own) EXPECT_NE(c, o);
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(c, ReferenceColour(j));
    EXPECT_LT(c.hsvSaturation(), 160);  // muted
  }
  EXPECT_EQ(ReferenceColour(kMaxReferenceCurves), ReferenceColour(0));
}

TEST(ReferenceLegendTextTest, FirstNonBlankLineOfTheLabel) {
  EXPECT_EQ(ReferenceLegendText(0, QStringLiteral("\r\n   \r\n  RC = 0.001 \r\nvo = vi\r\n")),
            QStringLiteral("Rif. 1: RC = 0.001"));
  EXPECT_EQ(ReferenceLegendText(2, QStringLiteral("vo = -vi")), QStringLiteral("Rif. 3: vo = -vi"));
  EXPECT_EQ(ReferenceLegendText(1, QStringLiteral(" \r\n")), QStringLiteral("Rif. 2"));
}

TEST(ReferenceReadoutTest, ValuesBetweenTheReferencesOwnFrequenciesOnly) {
  const SweepResult up = MakeResult({{100, 0, 1}, {200, -20, 0.5}, {400, -60, 0.25}});
  SweepResult down = up;
  std::reverse(down.points.begin(), down.points.end());
  for (const SweepResult* reference : std::vector<const SweepResult*>{&up, &down}) {
    SCOPED_TRACE(reference == &up ? "upward" : "downward");
    EXPECT_NEAR(*ReferenceAmplitudeAt(*reference, 150), 0.75, kTolerance);
    EXPECT_NEAR(*ReferencePhaseAt(*reference, 150), -10, kTolerance);
    EXPECT_NEAR(*ReferenceAmplitudeAt(*reference, 300), 0.375, kTolerance);
    EXPECT_NEAR(*ReferenceAmplitudeAt(*reference, 100), 1, kTolerance);
    EXPECT_NEAR(*ReferencePhaseAt(*reference, 400), -60, kTolerance);
    EXPECT_FALSE(ReferenceAmplitudeAt(*reference, 99.9));
    EXPECT_FALSE(ReferencePhaseAt(*reference, 400.1));
    EXPECT_FALSE(ReferenceAmplitudeAt(*reference, std::nan("")));
  }
  const SweepResult single = MakeResult({{1000, -45, 0.5}});
  EXPECT_NEAR(*ReferenceAmplitudeAt(single, 1000), 0.5, kTolerance);
  EXPECT_FALSE(ReferenceAmplitudeAt(single, 1001));
  EXPECT_FALSE(ReferenceAmplitudeAt(SweepResult{}, 1000));
}

TEST(ReferenceReadoutTest, TextsInThePanelsUnits) {
  std::vector<ReferenceCurve> references;
  ASSERT_TRUE(AddReferenceCurve(references, MakeResult({{100, 0, 1}, {200, -20, 0.5}}),
                                QStringLiteral("a")));
  ASSERT_TRUE(AddReferenceCurve(references, MakeResult({{150, -90, 0.1}, {1000, -90, 0.1}}),
                                QStringLiteral("b")));

  auto readings = ReadReferences(references, 150.0, QString(), QStringLiteral("deg"));
  ASSERT_EQ(readings.size(), 2u);
  EXPECT_EQ(readings[0].amplitude_text, QStringLiteral("75%"));
  EXPECT_EQ(readings[0].phase_text, QStringLiteral("-10\u00B0"));
  EXPECT_EQ(readings[1].amplitude_text, QStringLiteral("10%"));
  EXPECT_EQ(ReferenceReadoutText(readings),
            QStringLiteral("Rif. 1: 75% -10\u00B0  Rif. 2: 10% -90\u00B0"));

  readings = ReadReferences(references, 500.0, QStringLiteral("db"), QStringLiteral("rad"));
  EXPECT_FALSE(readings[0].amplitude);
  EXPECT_EQ(readings[0].amplitude_text, QStringLiteral("/"));
  EXPECT_EQ(readings[0].phase_text, QStringLiteral("/"));
  EXPECT_EQ(readings[1].amplitude_text, QStringLiteral("-20 db"));
  EXPECT_EQ(readings[1].phase_text, QStringLiteral("-1,57 rad"));

  readings = ReadReferences(references, std::nullopt, QString(), QStringLiteral("deg"));
  EXPECT_EQ(ReferenceReadoutText(readings), QStringLiteral("Rif. 1: / /  Rif. 2: / /"));
  EXPECT_TRUE(ReferenceReadoutText({}).isEmpty());
}

// The pointer's frequency from the readout, then the references' values there: what the window
// shows under the pointer.
TEST(ReferenceReadoutTest, ReadBackUnderThePointerFrequency) {
  const SweepResult current = RcLowPass(10, 100000, 61);
  std::vector<ReferenceCurve> references;
  ASSERT_TRUE(AddReferenceCurve(references, TwoPoleLowPass(10, 100000, 61, 1000),
                                QStringLiteral("two poles")));
  TraceInput input;
  input.w1 = input.w2 = 600;
  input.h1 = input.h2 = 300;
  input.log_x = true;
  input.x = 300;  // half way on the log axis: 1 kHz
  const TraceReadout readout = ComputeTrace(current, input);
  ASSERT_TRUE(readout.frequency);
  EXPECT_NEAR(*readout.frequency, 1000, 1e-6);
  const auto readings =
      ReadReferences(references, readout.frequency, QString(), QStringLiteral("deg"));
  ASSERT_EQ(readings.size(), 1u);
  // 1 kHz is a measured point of the reference: two poles at their corner give 0,5 and -90°.
  EXPECT_NEAR(*readings[0].amplitude, 0.5, 1e-9);
  EXPECT_NEAR(*readings[0].phase, -90, 1e-9);
  EXPECT_EQ(readings[0].amplitude_text, QStringLiteral("50%"));
}

// ---- Drawing ----

TEST(ReferenceDrawingTest, ReferenceIsDrawnInItsColourOnBothGraphs) {
  const SweepResult current = RcLowPass(10, 100000, 61);
  const SweepResult reference = RcLowPass(10, 100000, 61, 100);  // corner a decade lower
  GraphOptions options;
  options.log_x = true;
  const QSize size(600, 300);
  const auto without = Render(current, options, size);
  ASSERT_TRUE(AddReferenceCurve(options.references, reference, QStringLiteral("RC 100 Hz")));
  const auto with = Render(current, options, size);
  const QColor muted = ReferenceColour(0);

  EXPECT_EQ(CountColour(without.amplitude, muted), 0);
  EXPECT_EQ(CountColour(without.phase, muted), 0);
  const PhaseScale scale =
      ComputePhaseScale(current, size.height(), ReferencePhaseExtent(options.references));
  for (int i : {15, 25, 35, 45}) {
    SCOPED_TRACE(i);
    const ResponsePoint& p = reference.points[static_cast<std::size_t>(i)];
    const double x = *FrequencyX(p.frequency, 10, 100000, true, size.width());
    EXPECT_TRUE(HasColourNear(with.amplitude, muted, x, *AmplitudeLinearY(p.amplitude, 300), 2));
    EXPECT_TRUE(HasColourNear(with.phase, muted, x, *PhaseY(p.phase, scale), 2));
  }
  // The current curve is still there, the same.
  EXPECT_EQ(CountColour(with.amplitude, kRed), CountColour(without.amplitude, kRed));
}

TEST(ReferenceDrawingTest, ReferenceLiesUnderTheCurrentCurveAndIsNamedInTheLegend) {
  const SweepResult current = RcLowPass(10, 100000, 61);
  GraphOptions options;
  options.log_x = true;
  ASSERT_TRUE(AddReferenceCurve(options.references, current, QStringLiteral("vo = vi")));
  const QSize size(600, 300);
  const auto with = Render(current, options, size);
  const QColor muted = ReferenceColour(0);

  // The same curve as the current one: covered by it everywhere except the legend's sample, in
  // the margin without frequency labels (the top one on the linear amplitude graph, the bottom
  // one on the phase graph), in the middle of the width.
  const int in_legend = CountColour(with.amplitude, muted, QRect(120, 0, 360, 20));
  EXPECT_GT(in_legend, 0);
  EXPECT_EQ(CountColour(with.amplitude, muted), in_legend);
  const int in_phase_legend = CountColour(with.phase, muted, QRect(120, 280, 360, 20));
  EXPECT_GT(in_phase_legend, 0);
  EXPECT_EQ(CountColour(with.phase, muted), in_phase_legend);
  // The legend names the reference: text in the band beside the sample.
  EXPECT_GT(testing_support::CountDark(with.amplitude, QRect(120, 0, 360, 20)), 0);
  GraphOptions plain;
  plain.log_x = true;
  const auto without = Render(current, plain, size);
  EXPECT_EQ(testing_support::CountDark(without.amplitude, QRect(120, 0, 360, 20)), 0);
}

TEST(ReferenceDrawingTest, PhaseScaleHoldsTheReferencesAndTheReadoutReadsOnIt) {
  const SweepResult current = RcLowPass(10, 100000, 61);  // down to -89 degrees
  std::vector<ReferenceCurve> references;
  ASSERT_TRUE(
      AddReferenceCurve(references, TwoPoleLowPass(10, 100000, 61, 1000), QStringLiteral("2")));
  const PhaseExtent extent = ReferencePhaseExtent(references);
  EXPECT_NEAR(extent.low, 2 * -std::atan(100.0) * 180 / M_PI, 1e-9);
  EXPECT_EQ(extent.high, 0);
  EXPECT_EQ(ReferencePhaseExtent({}).low, 0);

  const double h = 300;
  const PhaseScale scale = ComputePhaseScale(current, h, extent);
  EXPECT_NEAR(scale.pmin, extent.low, kTolerance);
  EXPECT_EQ(scale.step, 30);
  // Without references the scale is the plain one.
  const PhaseScale plain = ComputePhaseScale(current, h, PhaseExtent{});
  const PhaseScale original = ComputePhaseScale(current, h);
  EXPECT_EQ(plain.pmin, original.pmin);
  EXPECT_EQ(plain.y_zero, original.y_zero);
  EXPECT_EQ(plain.grid_phases, original.grid_phases);

  // The reference's last point sits on the bottom of the band, inside the surface.
  GraphOptions options;
  options.log_x = true;
  options.references = references;
  const auto with = Render(current, options, QSize(600, 300));
  EXPECT_TRUE(HasColourNear(with.phase, ReferenceColour(0), 598, h - 20, 3));

  // A pointer at the bottom of the band reads the reference's lowest phase when the readout
  // knows the scale that is drawn.
  TraceInput input;
  input.graph = TraceGraph::kPhase;
  input.trace_mode = false;
  input.w1 = input.w2 = 600;
  input.h1 = input.h2 = h;
  input.log_x = true;
  input.x = 100;
  input.y = h - 20;
  input.reference_phases = extent;
  EXPECT_NEAR(*ComputeTrace(current, input).phase, extent.low, 1e-9);
  input.reference_phases = {};
  EXPECT_NEAR(*ComputeTrace(current, input).phase, original.pmin, 1e-9);
}

}  // namespace
}  // namespace quorvel
