#include "graphs/response_graph.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QString>

#include <cmath>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

constexpr double kTolerance = 1e-9;

SweepResult MakeResult(const std::vector<ResponsePoint>& points) {
  SweepResult result;
  result.points = points;
  result.count = static_cast<std::int32_t>(points.size());
  return result;
}

// A first-order RC low-pass with its corner at 1 kHz, sampled like a sweep: evenly spaced on a
// logarithmic scale.
SweepResult RcLowPass(double first, double last, int samples) {
  std::vector<ResponsePoint> points;
  for (int i = 0; i < samples; ++i) {
    const double f = first * std::pow(last / first, static_cast<double>(i) / (samples - 1));
    const double ratio = f / 1000;
    points.push_back(
        {f, -std::atan(ratio) * 180 / std::numbers::pi, 1 / std::sqrt(1 + ratio * ratio)});
  }
  return MakeResult(points);
}

std::vector<double> Xs(const std::vector<FrequencyLine>& lines, bool major) {
  std::vector<double> xs;
  for (const FrequencyLine& line : lines) {
    if (line.major == major) xs.push_back(line.x);
  }
  return xs;
}

TEST(LogFloorTest, SliderPositionsGiveDecades) {
  const struct {
    int position;
    double floor;
  } cases[] = {{0, 0.1}, {33, 0.01}, {66, 0.001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_NEAR(LogFloorForPosition(c.position), c.floor, c.floor * 1e-12);
  }
}

TEST(FrequencyXTest, MapsFirstAndLastToTheEdges) {
  const struct {
    const char* name;
    double f, first, last;
    bool log_x;
    double w;
    std::optional<double> x;
  } cases[] = {
      {"linear left edge", 100, 100, 1100, false, 500, 0.0},
      {"linear right edge", 1100, 100, 1100, false, 500, 500.0},
      {"linear middle", 600, 100, 1100, false, 500, 250.0},
      {"log left edge", 10, 10, 10000, true, 600, 0.0},
      {"log one decade", 100, 10, 10000, true, 600, 200.0},
      {"log right edge", 10000, 10, 10000, true, 600, 600.0},
      {"log left of the surface", 1, 10, 10000, true, 600, -200.0},
      {"downward linear keeps first on the left", 1000, 1000, 100, false, 900, 0.0},
      {"downward linear", 400, 1000, 100, false, 900, 600.0},
      {"downward log", 100, 10000, 100, true, 400, 400.0},
      {"zero extent linear", 100, 100, 100, false, 500, std::nullopt},
      {"zero extent log", 100, 100, 100, true, 500, std::nullopt},
      {"log of zero frequency", 0, 10, 1000, true, 500, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto x = FrequencyX(c.f, c.first, c.last, c.log_x, c.w);
    ASSERT_EQ(x.has_value(), c.x.has_value());
    if (x) {
      EXPECT_NEAR(*x, *c.x, 1e-6);
    }
  }
}

TEST(AmplitudeYTest, LinearAndLogarithmicBands) {
  const double h = 300;
  EXPECT_NEAR(*AmplitudeLinearY(1, h), 20, kTolerance);
  EXPECT_NEAR(*AmplitudeLinearY(0, h), 280, kTolerance);
  EXPECT_NEAR(*AmplitudeLinearY(0.5, h), 150, kTolerance);
  EXPECT_NEAR(*AmplitudeLinearY(1.5, h), -110, kTolerance);  // above the band, clipped later

  const struct {
    double amplitude, floor;
    std::optional<double> y;
  } cases[] = {
      {1, 0.1, 20.0},      {0.1, 0.1, 280.0},        {0.01, 0.01, 280.0},
      {0.1, 0.01, 150.0},  {0.001, 0.1, 800.0},      {0, 0.1, 600.0},
      {-0.5, 0.01, 600.0}, {0.5, 1.0, std::nullopt}, {NAN, 0.1, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "a=" << c.amplitude << " floor=" << c.floor);
    const auto y = AmplitudeLogY(c.amplitude, h, c.floor);
    ASSERT_EQ(y.has_value(), c.y.has_value());
    if (y) {
      EXPECT_NEAR(*y, *c.y, 1e-6);
    }
  }
}

TEST(FrequencyGridTest, LogDecadesFromTenToTenKilohertz) {
  const double w = 600;
  const auto lines = FrequencyGrid(10, 10000, true, w);
  std::vector<QString> labels;
  for (const FrequencyLine& line : lines) {
    if (line.major) labels.push_back(line.label);
    if (!line.major) {
      EXPECT_TRUE(line.label.isEmpty());
    }
  }
  EXPECT_EQ(labels, (std::vector<QString>{QStringLiteral("100 Hz"), QStringLiteral("1 KHz")}));
  const auto majors = Xs(lines, true);
  ASSERT_EQ(majors.size(), 2u);
  EXPECT_NEAR(majors[0], 200, 1e-6);
  EXPECT_NEAR(majors[1], 400, 1e-6);

  std::vector<double> expected_minors;
  for (double decade : {10.0, 100.0, 1000.0}) {
    for (int k = 2; k <= 9; ++k)
      expected_minors.push_back(*FrequencyX(k * decade, 10, 10000, true, w));
  }
  // Minor lines are listed wherever they fall (the surface clips them); a start frequency that
  // is a power of ten may add a decade of them left of the surface. Those on it are 20 to 9000.
  std::vector<double> minors;
  for (double x : Xs(lines, false)) {
    if (x >= 0 && x <= w) minors.push_back(x);
  }
  ASSERT_EQ(minors.size(), expected_minors.size());
  for (std::size_t i = 0; i < minors.size(); ++i) EXPECT_NEAR(minors[i], expected_minors[i], 1e-9);
}

TEST(FrequencyGridTest, DecadeLeftOfTheSurfaceGetsNoLine) {
  const auto lines = FrequencyGrid(15, 10000, true, 600);
  const auto majors = Xs(lines, true);
  ASSERT_EQ(majors.size(), 2u);  // 100 and 1000; 10 lies left of the edge
  for (double x : majors) EXPECT_GT(x, 0);
  const auto minors = Xs(lines, false);
  ASSERT_EQ(minors.size(), 24u);
  EXPECT_NEAR(minors.front(), *FrequencyX(20, 15, 10000, true, 600), 1e-9);
}

TEST(FrequencyGridTest, LinearGridStopsOneHundredBeforeTheRightEdge) {
  const auto lines = FrequencyGrid(100, 1000, false, 450);
  ASSERT_EQ(lines.size(), 3u);
  const double xs[] = {100, 200, 300};
  const char* labels[] = {"300 Hz", "500 Hz", "700 Hz"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(lines[i].major);
    EXPECT_DOUBLE_EQ(lines[i].x, xs[i]);
    EXPECT_EQ(lines[i].label, QString::fromLatin1(labels[i]));
  }
  EXPECT_EQ(FrequencyGrid(100, 1000, false, 500).size(), 4u);  // 400 = w - 100 is drawn
  EXPECT_TRUE(FrequencyGrid(100, 1000, false, 199).empty());
}

TEST(FrequencyGridTest, DownwardLogSweepHasNoDecadeInsideTheSurface) {
  const double w = 500;
  const auto lines = FrequencyGrid(5000, 2000, true, w);
  for (double x : Xs(lines, true)) EXPECT_TRUE(x <= 0 || x > w) << x;
  bool minor_inside = false;
  for (double x : Xs(lines, false)) minor_inside = minor_inside || (x > 0 && x < w);
  EXPECT_TRUE(minor_inside);
  EXPECT_TRUE(FrequencyGrid(10000, 10, true, w).empty());
}

TEST(FrequencyGridTest, ZeroExtentLogGridIsEmpty) {
  EXPECT_TRUE(FrequencyGrid(1000, 1000, true, 500).empty());
  EXPECT_TRUE(FrequencyGrid(0, 1000, true, 500).empty());
}

TEST(CutoffTest, CrossingsOfTheCutoffLevel) {
  const struct {
    const char* name;
    std::vector<ResponsePoint> points;
    std::vector<double> cutoffs;
  } cases[] = {
      {"low-pass falls through once", {{100, 0, 0.9}, {1000, 0, 0.5}}, {527.5}},
      {"rising response", {{100, 0, 0.5}, {1000, 0, 0.9}}, {572.5}},
      {"point exactly at the level gives two markers",
       {{100, 0, 0.9}, {200, 0, 0.71}, {300, 0, 0.5}},
       {200, 200}},
      {"staying at the level gives none", {{100, 0, 0.71}, {200, 0, 0.71}, {300, 0, 0.71}}, {}},
      {"band-pass gives two",
       {{100, 0, 0.2}, {200, 0, 0.8}, {400, 0, 1.0}, {800, 0, 0.8}, {1600, 0, 0.2}},
       {185, 920}},
      {"never reaching the level", {{100, 0, 0.9}, {200, 0, 0.8}}, {}},
      {"downward sweep", {{1000, 0, 0.5}, {100, 0, 0.9}}, {527.5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto cutoffs = CutoffFrequencies(MakeResult(c.points));
    ASSERT_EQ(cutoffs.size(), c.cutoffs.size());
    for (std::size_t i = 0; i < cutoffs.size(); ++i) EXPECT_NEAR(cutoffs[i], c.cutoffs[i], 1e-9);
  }
}

TEST(CutoffTest, OnlyTheMeasuredPointsCount) {
  SweepResult result = MakeResult({{100, 0, 0.9}, {200, 0, 0.8}, {300, 0, 0.1}});
  result.count = 2;  // a cancelled run: the third point was never measured
  EXPECT_TRUE(CutoffFrequencies(result).empty());
  result.count = 10;  // a count beyond the stored points reads no further than they go
  EXPECT_EQ(CutoffFrequencies(result).size(), 1u);
}

TEST(PhaseScaleTest, ScalesFromTheExamples) {
  const double h = 300;
  const struct {
    const char* name;
    std::vector<double> phases;
    double range, y_zero, step;
    std::vector<double> grid;
  } cases[] = {
      {"lagging up to -90", {0, -30, -60, -90}, 90, 20, 15, {-15, -30, -45, -60, -75, -90}},
      {"symmetric +-45", {-45, 0, 45}, 90, 150, 15, {15, 30, 45, -15, -30, -45}},
      {"all zero", {0, 0, 0}, 60, 150, 15, {}},
      {"wide range uses 30", {-10, -180}, 180, 20, 30, {-30, -60, -90, -120, -150, -180}},
      {"all positive", {10, 60}, 60, 280, 15, {15, 30, 45, 60}},
      {"half rounds to even below", {0, 14.5}, 14.5, 280, 15, {}},
      {"half rounds to even above", {0, 15.5}, 15.5, 280, 15, {15}},
      {"negative half rounds to even", {0, -14.5}, 14.5, 20, 15, {}},
      {"negative half rounds up in size", {0, -15.5}, 15.5, 20, 15, {-15}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ResponsePoint> points;
    for (double p : c.phases) points.push_back({1000, p, 1});
    const PhaseScale scale = ComputePhaseScale(MakeResult(points), h);
    EXPECT_NEAR(scale.range, c.range, kTolerance);
    EXPECT_NEAR(scale.y_zero, c.y_zero, kTolerance);
    EXPECT_EQ(scale.step, c.step);
    EXPECT_EQ(scale.grid_phases, c.grid);
  }
}

TEST(PhaseScaleTest, BandEdgesHoldTheExtremePhases) {
  const double h = 400;
  const PhaseScale scale = ComputePhaseScale(MakeResult({{1, -45, 1}, {2, 45, 1}}), h);
  EXPECT_NEAR(*PhaseY(45, scale), 20, kTolerance);
  EXPECT_NEAR(*PhaseY(-45, scale), h - 20, kTolerance);
  const GraphLayout layout = PhaseLayout(scale, h);
  EXPECT_NEAR(*layout.axis_y, h / 2, kTolerance);
  ASSERT_EQ(layout.grid_ys.size(), 6u);
  EXPECT_NEAR(layout.grid_ys[2], 20, kTolerance);
  EXPECT_NEAR(layout.grid_ys[5], h - 20, kTolerance);
  EXPECT_NEAR(*layout.cutoff_label_top, h / 2 + 1, kTolerance);
}

TEST(PhaseScaleTest, LaggingPhaseHasItsLastLineOnTheBottomOfTheBand) {
  const double h = 300;
  const PhaseScale scale = ComputePhaseScale(MakeResult({{1, 0, 1}, {2, -90, 1}}), h);
  const GraphLayout layout = PhaseLayout(scale, h);
  ASSERT_FALSE(layout.grid_ys.empty());
  EXPECT_NEAR(layout.grid_ys.back(), h - 20, kTolerance);
  EXPECT_NEAR(*layout.axis_y, 20, kTolerance);
}

TEST(AmplitudeLayoutTest, LogFloorPlacesTheGrid) {
  const double h = 320;
  const GraphLayout tenth = AmplitudeLogLayout(h, 0.1);
  ASSERT_EQ(tenth.grid_ys.size(), 9u);
  EXPECT_NEAR(tenth.grid_ys.front(), h - 20, 1e-9);  // ratio 0.1 on the bottom of the band
  EXPECT_NEAR(*tenth.axis_y, 20, kTolerance);

  const GraphLayout thousandth = AmplitudeLogLayout(h, 0.001);
  ASSERT_EQ(thousandth.grid_ys.size(), 9u);
  for (double y : thousandth.grid_ys) {
    EXPECT_GE(y, 20);
    EXPECT_LE(y, 20 + (h - 40) / 3 + 1e-9);
  }

  const GraphLayout linear = AmplitudeLinearLayout(h);
  ASSERT_EQ(linear.grid_ys.size(), 10u);
  EXPECT_NEAR(linear.grid_ys.back(), 20, kTolerance);
  EXPECT_NEAR(*linear.axis_y, h - 20, kTolerance);
  EXPECT_NEAR(linear.label_top, h - 19, kTolerance);
}

// ---- Painting ----

bool HasColourNear(const QImage& image, const QColor& colour, double x, double y, int radius) {
  const int cx = static_cast<int>(std::lround(x));
  const int cy = static_cast<int>(std::lround(y));
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = cx + dx;
      const int py = cy + dy;
      if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
      if (image.pixelColor(px, py) == colour) return true;
    }
  }
  return false;
}

int CountColour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 190, 0);
const QColor kBlack(0, 0, 0);

// Renders both graphs; saves them as PNG files when QUORVEL_GRAPH_PNG_DIR names a folder.
struct Rendered {
  QImage amplitude;
  QImage phase;
  bool drew = false;
};

Rendered Render(const SweepResult& result, const GraphOptions& options, QSize size,
                const char* name = nullptr, const GraphOverlay& overlay = {}) {
  Rendered out{QImage(size, QImage::Format_RGB32), QImage(size, QImage::Format_RGB32), false};
  out.amplitude.fill(QColor(0, 0, 255));
  out.phase.fill(QColor(0, 0, 255));
  {
    QPainter amplitude_painter(&out.amplitude);
    QPainter phase_painter(&out.phase);
    out.drew = DrawGraphs(result, amplitude_painter, QSizeF(size), phase_painter, QSizeF(size),
                          options, overlay);
  }
  const QByteArray dir = qgetenv("QUORVEL_GRAPH_PNG_DIR");
  if (name != nullptr && !dir.isEmpty()) {
    const QString base = QString::fromLocal8Bit(dir) + QStringLiteral("/graph_");
    EXPECT_TRUE(out.amplitude.save(base + QStringLiteral("amplitude") + QLatin1String(name) +
                                   QStringLiteral(".png")));
    EXPECT_TRUE(out.phase.save(base + QStringLiteral("phase") + QLatin1String(name) +
                               QStringLiteral(".png")));
  }
  return out;
}

TEST(DrawGraphsTest, RcLowPassCurveAxisAndCutoffMarker) {
  const SweepResult result = RcLowPass(10, 100000, 60);
  GraphOptions options;
  options.log_x = true;
  options.show_cutoff = true;
  const QSize size(640, 320);
  const Rendered out = Render(result, options, size, "");
  ASSERT_TRUE(out.drew);
  const double w = size.width();
  const double h = size.height();

  // The curve passes through each measured point.
  for (int i : {5, 20, 30, 45}) {
    SCOPED_TRACE(i);
    const ResponsePoint& p = result.points[static_cast<std::size_t>(i)];
    const double x = *FrequencyX(p.frequency, 10, 100000, true, w);
    EXPECT_TRUE(HasColourNear(out.amplitude, kRed, x, *AmplitudeLinearY(p.amplitude, h), 2));
    const PhaseScale scale = ComputePhaseScale(result, h);
    EXPECT_TRUE(HasColourNear(out.phase, kRed, x, *PhaseY(p.phase, scale), 2));
  }

  // One cutoff marker per graph, near 1 kHz where the ratio crosses 0.71.
  const auto cutoffs = CutoffFrequencies(result);
  ASSERT_EQ(cutoffs.size(), 1u);
  EXPECT_NEAR(cutoffs[0], 1000, 50);
  const double xc = *FrequencyX(cutoffs[0], 10, 100000, true, w);
  EXPECT_TRUE(HasColourNear(out.amplitude, kGreen, xc, 60, 1));
  EXPECT_TRUE(HasColourNear(out.phase, kGreen, xc, h - 10, 1));  // spans down to h on the phase

  // Axis lines: linear amplitude at h - 20, phase 0 at the top of the band (all phases lag).
  EXPECT_TRUE(HasColourNear(out.amplitude, kBlack, w * 0.45, h - 20, 1));
  EXPECT_TRUE(HasColourNear(out.phase, kBlack, w * 0.45, 20, 1));
  // The surface was cleared: no trace of the blue it held before.
  EXPECT_EQ(CountColour(out.amplitude, QColor(0, 0, 255)), 0);
}

TEST(DrawGraphsTest, CutoffMarkersOnlyWhenAsked) {
  const SweepResult result = RcLowPass(10, 100000, 40);
  GraphOptions options;
  options.log_x = true;
  const Rendered out = Render(result, options, QSize(500, 250));
  EXPECT_EQ(CountColour(out.amplitude, kGreen), 0);
  EXPECT_EQ(CountColour(out.phase, kGreen), 0);
  EXPECT_GT(CountColour(out.amplitude, kRed), 0);
}

TEST(DrawGraphsTest, LogAmplitudeSendsZeroRatiosOffTheBottom) {
  const SweepResult result =
      MakeResult({{100, 0, 1}, {1000, -45, 0.5}, {10000, -90, 0}, {100000, -90, 0.05}});
  GraphOptions options;
  options.log_x = true;
  options.log_y = true;
  options.log_floor = 0.01;
  const QSize size(600, 300);
  const Rendered out = Render(result, options, size, "_log");
  ASSERT_TRUE(out.drew);
  const double x1 = *FrequencyX(1000, 100, 100000, true, size.width());
  EXPECT_TRUE(HasColourNear(out.amplitude, kRed, x1, *AmplitudeLogY(0.5, size.height(), 0.01), 2));
  // The segment towards the zero ratio leaves through the bottom edge.
  const double x2 = *FrequencyX(10000, 100, 100000, true, size.width());
  bool bottom_red = false;
  for (int x = static_cast<int>(x1); x <= static_cast<int>(x2); ++x) {
    bottom_red = bottom_red || out.amplitude.pixelColor(x, size.height() - 1) == kRed;
  }
  EXPECT_TRUE(bottom_red);
  EXPECT_TRUE(HasColourNear(out.amplitude, kBlack, size.width() / 2.0, 20, 1));
}

TEST(DrawGraphsTest, NoPointsKeepsTheSurfaces) {
  SweepResult result = MakeResult({{100, 0, 1}});
  result.count = 0;
  const QSize size(300, 200);
  const Rendered out = Render(result, GraphOptions{}, size);
  EXPECT_FALSE(out.drew);
  EXPECT_EQ(CountColour(out.amplitude, QColor(0, 0, 255)), size.width() * size.height());
  EXPECT_EQ(CountColour(out.phase, QColor(0, 0, 255)), size.width() * size.height());
}

TEST(DrawGraphsTest, SinglePointDrawsAxesAndLabelsButNoCurve) {
  for (bool log_x : {false, true}) {
    SCOPED_TRACE(log_x);
    GraphOptions options;
    options.log_x = log_x;
    options.show_cutoff = true;
    const QSize size(400, 200);
    const Rendered out = Render(MakeResult({{1000, -10, 0.5}}), options, size);
    ASSERT_TRUE(out.drew);
    EXPECT_EQ(CountColour(out.amplitude, kRed), 0);
    EXPECT_EQ(CountColour(out.phase, kRed), 0);
    EXPECT_TRUE(HasColourNear(out.amplitude, kBlack, size.width() / 2.0, size.height() - 20, 1));
    EXPECT_TRUE(HasColourNear(out.amplitude, QColor(200, 200, 200), size.width() / 2.0, 20, 1));
    // The first frequency label prints dark text in the label row under the axis.
    int dark_in_label_row = 0;
    for (int y = size.height() - 19; y < size.height(); ++y) {
      for (int x = 0; x < 60; ++x) {
        const QColor c = out.amplitude.pixelColor(x, y);
        dark_in_label_row += c.red() + c.green() + c.blue() < 300;
      }
    }
    EXPECT_GT(dark_in_label_row, 0);
  }
}

// The rows where two images differ: the first and the last, or -1 and -1 when none does.
std::pair<int, int> DifferingRows(const QImage& a, const QImage& b) {
  int first = -1;
  int last = -1;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) == b.pixel(x, y)) continue;
      if (first < 0) first = y;
      last = y;
      break;
    }
  }
  return {first, last};
}

// At its first place, the top left corner, the overlay leaves the frequency labels clear: on the
// phase graph and the logarithmic amplitude graph, which print them in their top band, it starts
// below that band; the linear amplitude graph prints them at the bottom, and the overlay keeps
// its top band. The same holds for a graph drawn alone (the image files).
TEST(DrawGraphsTest, TheOverlayAtItsFirstPlaceLeavesTheFrequencyLabelsClear) {
  const SweepResult result = RcLowPass(10, 100000, 40);
  GraphOverlay overlay;
  overlay.text = QStringLiteral("vo = vo + (vi - vo) * dt / RC");
  const QSize size(600, 300);
  constexpr int kBand = 20;
  for (const bool log_y : {false, true}) {
    SCOPED_TRACE(log_y ? "logarithmic amplitude" : "linear amplitude");
    GraphOptions options;
    options.log_x = true;
    options.log_y = log_y;
    const Rendered plain = Render(result, options, size);
    const Rendered printed = Render(result, options, size, nullptr, overlay);
    QImage phase_alone(size, QImage::Format_RGB32);
    {
      QPainter painter(&phase_alone);
      ASSERT_TRUE(DrawPhaseGraph(result, painter, QSizeF(size), options, overlay));
    }
    QImage amplitude_alone(size, QImage::Format_RGB32);
    {
      QPainter painter(&amplitude_alone);
      ASSERT_TRUE(DrawAmplitudeGraph(result, painter, QSizeF(size), options, overlay));
    }
    const struct {
      const char* graph;
      const QImage& without;
      const QImage& with;
      bool labels_on_top;
    } cases[] = {
        {"amplitude", plain.amplitude, printed.amplitude, log_y},
        {"phase", plain.phase, printed.phase, true},
        {"amplitude alone", plain.amplitude, amplitude_alone, log_y},
        {"phase alone", plain.phase, phase_alone, true},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.graph);
      const auto [first, last] = DifferingRows(c.without, c.with);
      ASSERT_GE(first, 0) << "the overlay is printed";
      if (c.labels_on_top) {
        EXPECT_GE(first, kBand) << "the overlay covers the top band and its labels";
      } else {
        EXPECT_LT(first, kBand) << "the overlay leaves the free top band";
      }
      EXPECT_LT(last, first + 2 * kBand);  // one line of text
    }
  }
}

}  // namespace
}  // namespace quorvel
