#include "graphs/scope_screen.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace quorvel {
namespace {

const QColor kSentinel(255, 0, 255);
const QColor kTeal(0, 128, 128);
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kCyan(0, 255, 255);
const QColor kGreen(0, 190, 0);
const QColor kWhite(255, 255, 255);

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TimeTrace MakeTrace(const std::vector<double>& times, const std::vector<double>& inputs,
                    const std::vector<double>& outputs, const std::vector<std::int32_t>& frames,
                    double frequency = 1000) {
  TimeTrace trace;
  trace.times = times;
  trace.inputs = inputs;
  trace.outputs = outputs;
  trace.framesPerSample = frames;
  trace.frequency = frequency;
  trace.count = static_cast<std::int32_t>(times.size());
  return trace;
}

// A trace whose input and output stay at constant values.
TimeTrace ConstantTrace(double input, double output) {
  return MakeTrace({0.001, 0.002, 0.003}, {input, input, input}, {output, output, output},
                   {1, 1, 1});
}

struct ScopeSettings {
  double input_volts_per_div = 1;
  double output_volts_per_div = 1;
  bool separate = false;
  bool density = false;
  const char* overlay = "";  // UTF-8
  double overlay_x = 0;
  double overlay_y = 0;
};

QFont TestFont() {
  QFont font;
  font.setPixelSize(14);
  return font;
}

struct Rendered {
  QImage image;
  bool drawn = false;
};

Rendered Render(const TimeTrace& trace, QSize size, const ScopeSettings& settings = {}) {
  Rendered out{QImage(size, QImage::Format_RGB32), false};
  out.image.fill(kSentinel);
  QPainter painter(&out.image);
  painter.setFont(TestFont());
  out.drawn =
      DrawScope(painter, QSizeF(size), trace, settings.input_volts_per_div,
                settings.output_volts_per_div, settings.separate, settings.density,
                QString::fromUtf8(settings.overlay), settings.overlay_x, settings.overlay_y);
  return out;
}

std::vector<int> RowsOfColour(const QImage& image, int x, const QColor& colour) {
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    if (image.pixelColor(x, y) == colour) rows.push_back(y);
  }
  return rows;
}

int CountInColumn(const QImage& image, int x, const QColor& colour) {
  return static_cast<int>(RowsOfColour(image, x, colour).size());
}

// The smallest rectangle holding every pixel of the colour; empty when there is none.
QRect BoundsOfColour(const QImage& image, const QColor& colour) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) bounds |= QRect(x, y, 1, 1);
    }
  }
  return bounds;
}

bool OnlyColours(const QImage& image, const std::vector<QColor>& allowed) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::find(allowed.begin(), allowed.end(), c) == allowed.end()) return false;
    }
  }
  return true;
}

TEST(DrawScopeTest, EmptyTraceLeavesTheSurfaceUntouched) {
  TimeTrace arrays_without_count = ConstantTrace(1, 1);
  arrays_without_count.count = 0;
  TimeTrace negative_count = ConstantTrace(1, 1);
  negative_count.count = -1;
  TimeTrace count_without_arrays;
  count_without_arrays.count = 3;
  const struct {
    const char* name;
    TimeTrace trace;
  } cases[] = {{"count 0", arrays_without_count},
               {"negative count", negative_count},
               {"count beyond the arrays", count_without_arrays}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered out = Render(c.trace, QSize(100, 80), {.density = true, .overlay = "vo=vi"});
    EXPECT_FALSE(out.drawn);
    EXPECT_TRUE(OnlyColours(out.image, {kSentinel}));
  }
}

TEST(DrawScopeTest, TracesWithNothingToPlaceDrawOnlyTheGrid) {
  const struct {
    const char* name;
    TimeTrace trace;
  } cases[] = {
      {"one sample", MakeTrace({0.001}, {1}, {-1}, {5})},
      {"last time zero", MakeTrace({0.001, 0.002, 0}, {1, 2, 3}, {1, 2, 3}, {1, 2, 3})},
      {"values not numbers", MakeTrace({0.001, 0.002}, {kNaN, kNaN}, {kNaN, kNaN}, {0, 0})},
  };
  const QSize size(500, 400);  // grid lines every 50 units both ways
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered out = Render(c.trace, size, {.density = true});
    EXPECT_TRUE(out.drawn);
    EXPECT_TRUE(OnlyColours(out.image, {kTeal, kBlack}));
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(out.image.pixelColor(25, i * 50), kBlack) << i;
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(out.image.pixelColor(i * 50, 25), kBlack) << i;
    EXPECT_EQ(out.image.pixelColor(25, 25), kTeal);
    EXPECT_EQ(CountInColumn(out.image, 25, kBlack), 7);
  }
}

TEST(DrawScopeTest, ZeroLinesAndVoltsPerDivision) {
  // A screen 400 high: one division is 50 units. Rows are read in column 275, between grid lines.
  const struct {
    const char* name;
    double input, output;
    ScopeSettings settings;
    std::vector<int> red, yellow, cyan;
  } cases[] = {
      {"zero lines together", 0, 1, {}, {200}, {150}, {}},
      {"one volt at 1 V/div", 1, -1, {.output_volts_per_div = 2}, {150}, {225}, {}},
      {"small and large settings",
       0.1,
       20,
       {.input_volts_per_div = 0.05, .output_volts_per_div = 100},
       {100},
       {190},
       {}},
      {"zero lines separated", 0, 0, {.separate = true}, {}, {}, {100, 300}},
      {"separated scales", 1, -1, {.separate = true}, {}, {}, {50, 350}},
      {"separated, one division is still an eighth",
       0.5,
       0.2,
       {.input_volts_per_div = 0.5, .output_volts_per_div = 0.2, .separate = true},
       {},
       {},
       {50, 250}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered out = Render(ConstantTrace(c.input, c.output), QSize(500, 400), c.settings);
    ASSERT_TRUE(out.drawn);
    EXPECT_EQ(RowsOfColour(out.image, 275, kRed), c.red);
    EXPECT_EQ(RowsOfColour(out.image, 275, kYellow), c.yellow);
    EXPECT_EQ(RowsOfColour(out.image, 275, kCyan), c.cyan);
  }
}

TEST(DrawScopeTest, TraceFarBeyondTheScreenIsClippedNotLost) {
  // From 0 V at the left edge up to a huge value: a practically vertical line at x = 0.
  for (const double top : {1e9, 1e300}) {
    SCOPED_TRACE(top);
    const TimeTrace trace = MakeTrace({0.001, 0.002}, {0, top}, {0, -top}, {1, 1});
    const Rendered out = Render(trace, QSize(500, 400));
    ASSERT_TRUE(out.drawn);
    EXPECT_GE(CountInColumn(out.image, 0, kRed), 195);
    EXPECT_GE(CountInColumn(out.image, 0, kYellow), 195);
    EXPECT_EQ(CountInColumn(out.image, 100, kRed), 0);
    EXPECT_EQ(CountInColumn(out.image, 100, kYellow), 0);
  }
}

TEST(DrawScopeTest, DensityBarsScaleToTheLargestFrameCount) {
  // Times give x = 50, 150, 250 and 400 on a screen 400 wide; sample 0 gets no bar.
  const struct {
    const char* name;
    std::vector<std::int32_t> frames;
    bool density;
    int bar_at_150, bar_at_250;
  } cases[] = {
      {"largest 80, half 40", {1, 4, 2, 1}, true, 80, 40},
      {"first sample sets the scale", {8, 4, 2, 1}, true, 40, 20},
      {"density off", {1, 4, 2, 1}, false, 0, 0},
      {"no frames at all", {0, 0, 0, 0}, true, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TimeTrace trace =
        MakeTrace({0.0005, 0.0015, 0.0025, 0.004}, {0, 0, 0, 0}, {0, 0, 0, 0}, c.frames);
    const Rendered out = Render(trace, QSize(400, 400), {.density = c.density});
    ASSERT_TRUE(out.drawn);
    EXPECT_EQ(CountInColumn(out.image, 150, kGreen), c.bar_at_150);
    EXPECT_EQ(CountInColumn(out.image, 250, kGreen), c.bar_at_250);
    if (c.bar_at_150 > 0) {
      EXPECT_EQ(RowsOfColour(out.image, 150, kGreen).back(), 399);
    }
    const QRect green = BoundsOfColour(out.image, kGreen);
    EXPECT_EQ(green.width() * green.height() > 0 ? green.width() : 0,
              c.bar_at_150 > 0 ? 101 : 0);  // bars only at 150 and 250
  }
}

TEST(DrawScopeTest, OverlayIsPrintedInWhiteAtItsCorner) {
  const QSize size(500, 400);
  QImage probe(size, QImage::Format_RGB32);
  const QFontMetricsF metrics(TestFont(), &probe);
  const double line_height = metrics.height();
  const double text_width = metrics.horizontalAdvance(QStringLiteral("MM"));
  const TimeTrace one_sample = MakeTrace({0.001}, {0}, {0}, {1});
  const struct {
    const char* name;
    const char* text;
    double rx, ry;
    int lines;
    double left, top;  // expected corner of the text block
  } cases[] = {
      {"top left", "MM\r\nM\r\nMM", 0, 0, 3, 0, 0},
      {"ending with a line break", "MM\r\nM\r\nMM\r\n", 0, 0, 3, 0, 0},
      {"left and top edges", "MM\r\nM\r\nMM", 0.25, 0.125, 3, 125, 50},
      {"right and bottom edges", "MM\r\nM\r\nMM", 0.75, 0.5, 3, 375 - text_width,
       200 - 3 * line_height},
      {"bottom right corner", "MM\r\nM\r\nMM", 1, 1, 3, 500 - text_width, 400 - 3 * line_height},
      // A line ended by a line feed alone loses its last character: "MMM" prints as "MM".
      {"line feed alone", "MMM\nMM", 1, 1, 2, 500 - text_width, 400 - 2 * line_height},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered out =
        Render(one_sample, size, {.overlay = c.text, .overlay_x = c.rx, .overlay_y = c.ry});
    ASSERT_TRUE(out.drawn);
    const QRect white = BoundsOfColour(out.image, kWhite);
    ASSERT_FALSE(white.isEmpty());
    EXPECT_GE(white.left(), std::floor(c.left));
    EXPECT_LE(white.right(), std::ceil(c.left + text_width));
    EXPECT_GE(white.top(), std::floor(c.top));
    EXPECT_LE(white.bottom(), std::ceil(c.top + c.lines * line_height));
    // Each line within its own band of one line height.
    for (int n = 0; n < c.lines; ++n) {
      const QRect band(0, static_cast<int>(std::ceil(c.top + n * line_height)), size.width(),
                       static_cast<int>(line_height) - 1);
      EXPECT_FALSE(BoundsOfColour(out.image.copy(band), kWhite).isEmpty()) << n;
    }
  }
  EXPECT_TRUE(BoundsOfColour(Render(one_sample, size).image, kWhite).isEmpty());
}

TEST(VoltsPerDivisionTest, TheThirteenSettings) {
  const QStringList texts = VoltsPerDivisionTexts();
  const double values[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100};
  ASSERT_EQ(texts.size(), 13);
  for (qsizetype i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i].toStdString());
    EXPECT_EQ(VoltsPerDivision(texts[i]), values[i]);
  }
  EXPECT_EQ(texts.front(), QStringLiteral("0,01"));
  EXPECT_EQ(texts.back(), QStringLiteral("100"));
  for (const char* other : {"0.1", "0,10", " 1", "3", "", "1000"}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(VoltsPerDivision(QString::fromUtf8(other)), std::nullopt);
  }
}

TEST(ScopeOverlayTextTest, FunctionsWaveformAndFrequency) {
  EXPECT_EQ(ScopeOverlayText(QStringLiteral("vo=vi\r\n"), QStringLiteral("sinusoidale"), 1000),
            QStringLiteral("vo=vi\r\n\r\nsinusoidale 1 KHz"));
  EXPECT_EQ(ScopeOverlayText(QStringLiteral("vo=vi"), QStringLiteral("quadra"), 1500),
            QStringLiteral("vo=vi\r\nquadra 1,5 KHz"));
}

TEST(ScopeReadoutTest, EdgesAndInterpolation) {
  const TimeTrace trace =
      MakeTrace({0.0001, 0.0002, 0.0004}, {0.5, -1, 2}, {0.25, 3, -0.75}, {1, 1, 2});
  // first + (last - first) * 1 is one unit in the last place above the last time here.
  const TimeTrace rounding =
      MakeTrace({7.902e-06, 0.0005, 0.0011486}, {0, 0, 2}, {0, 0, -3}, {1, 1, 1});
  TimeTrace shortened = trace;
  shortened.count = 2;
  const struct {
    const char* name;
    TimeTrace trace;
    double x;
    const char* time;
    const char* input;
    const char* output;
  } cases[] = {
      {"left edge", trace, 0, "100 us", "500 mV", "250 mV"},
      {"right edge", trace, 500, "400 us", "2 V", "-750 mV"},
      {"between samples 1 and 2", trace, 250, "250 us", "-250 mV", "2,06 V"},
      {"beyond the right edge", trace, 1000, "700 us", "0 V", "0 V"},
      {"right edge exactly at the last time", rounding, 500, "1,15 ms", "2 V", "-3 V"},
      {"right edge of a shorter count", shortened, 500, "200 us", "-1 V", "3 V"},
      {"one sample", MakeTrace({0.003}, {1.5}, {-2}, {7}), 120, "3 ms", "0 V", "0 V"},
      {"empty", TimeTrace{}, 100, "/", "/", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ScopeReadout r = ComputeScopeReadout(c.trace, c.x, 500, true);
    EXPECT_EQ(r.time, QString::fromUtf8(c.time));
    EXPECT_EQ(r.input, QString::fromUtf8(c.input));
    EXPECT_EQ(r.output, QString::fromUtf8(c.output));
  }
}

TEST(ScopeReadoutTest, PhaseAngleInWholeDegrees) {
  // 1 kHz over 5 ms on a screen 500 wide: one unit is 10 us, 3.6 degrees.
  const TimeTrace khz = MakeTrace({0, 0.005}, {0, 1}, {0, 1}, {1, 1}, 1000);
  const TimeTrace one_hz = MakeTrace({0, 1}, {0, 1}, {0, 1}, {1, 1}, 1);
  const TimeTrace no_frequency = MakeTrace({0, 0.005}, {0, 1}, {0, 1}, {1, 1}, 0);
  const struct {
    const char* name;
    TimeTrace trace;
    double x, w;
    bool unit_seconds;
    const char* expected;
  } cases[] = {
      {"quarter period", khz, 125, 500, false, "90°"},
      {"half period", khz, 250, 500, false, "180°"},
      {"five periods wrap to 0", khz, 500, 500, false, "0°"},
      {"before the start counts back from 360", khz, -125, 500, false, "270°"},
      {"half degree rounds to even below", one_hz, 2.5, 360, false, "2°"},
      {"half degree rounds to even above", one_hz, 3.5, 360, false, "4°"},
      {"seconds chosen", khz, 125, 500, true, "1,25 ms"},
      {"frequency 0 reads seconds", no_frequency, 125, 500, false, "1,25 ms"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComputeScopeReadout(c.trace, c.x, c.w, c.unit_seconds).time,
              QString::fromUtf8(c.expected));
  }
}

TEST(ToggleTimeUnitTest, DegreesBecomeSecondsAnythingElseDegrees) {
  const struct {
    const char* tag;
    const char* next;
  } cases[] = {{"deg", "s"}, {"s", "deg"}, {"", "deg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(ToggleTimeUnit(QString::fromUtf8(c.tag)), QString::fromUtf8(c.next));
  }
}

}  // namespace
}  // namespace quorvel
