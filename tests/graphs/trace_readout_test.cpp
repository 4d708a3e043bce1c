#include "graphs/trace_readout.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <vector>

namespace quorvel {
namespace {

SweepResult MakeResult(const std::vector<ResponsePoint>& points) {
  SweepResult result;
  result.points = points;
  result.count = static_cast<std::int32_t>(points.size());
  return result;
}

// Points are {frequency, phase, amplitude}.
const SweepResult kNoSweep;
const SweepResult kLowPass = MakeResult({{100, -10, 0.9}, {1000, -45, 0.7}, {10000, -80, 0.1}});
const SweepResult kTenToThousandTen = MakeResult({{10, 0, 1}, {1010, -90, 0.5}});
const SweepResult kFlatAtMinus90 = MakeResult({{10, -90, 0.5}, {1000, -90, 0.5}});
const SweepResult kLagging = MakeResult({{10, 0, 1}, {1000, -90, 0.1}});
const SweepResult kDownward = MakeResult({{1000, -80, 0.1}, {100, -45, 0.5}, {10, -5, 0.9}});
const SweepResult kSinglePoint = MakeResult({{1000, -30, 0.25}});
const SweepResult kRepeatedFrequency =
    MakeResult({{100, -20, 0.4}, {100, -40, 0.6}, {1000, -60, 0.2}});

// Amplitude graph 600 x 240, phase graph 300 x 240: the band of both runs from 20 to 220.
TraceInput Input(TraceGraph graph, double x, double y) {
  TraceInput input;
  input.graph = graph;
  input.x = x;
  input.y = y;
  input.w1 = 600;
  input.h1 = 240;
  input.w2 = 300;
  input.h2 = 240;
  return input;
}

struct TraceCase {
  const char* name;
  const SweepResult& result;
  TraceInput input;
  const char16_t* frequency;
  const char16_t* amplitude;
  const char16_t* phase;
};

TraceInput With(TraceInput input, bool log_x, bool log_y, bool trace_mode, const char16_t* a_unit,
                const char16_t* p_unit, double log_floor = 0.1) {
  input.log_x = log_x;
  input.log_y = log_y;
  input.trace_mode = trace_mode;
  input.amplitude_unit = QString::fromUtf16(a_unit);
  input.phase_unit = QString::fromUtf16(p_unit);
  input.log_floor = log_floor;
  return input;
}

constexpr auto kAmp = TraceGraph::kAmplitude;
constexpr auto kPha = TraceGraph::kPhase;

TEST(ComputeTraceTest, PanelTexts) {
  const TraceCase cases[] = {
      {"no sweep yet", kNoSweep, With(Input(kAmp, 300, 100), false, false, true, u"", u"deg"), u"/",
       u"/", u"/"},
      {"no sweep yet, trace off", kNoSweep,
       With(Input(kPha, 10, 100), true, true, false, u"db", u"rad"), u"/", u"/", u"/"},
      {"X = 0 reads the first point", kLowPass,
       With(Input(kAmp, 0, 100), true, false, true, u"", u"deg"), u"100 Hz", u"90%", u"-10\u00B0"},
      {"right edge reads the last point", kLowPass,
       With(Input(kAmp, 600, 100), true, false, true, u"", u"deg"), u"10 KHz", u"10%",
       u"-80\u00B0"},
      {"log axis middle reads the middle point", kLowPass,
       With(Input(kPha, 150, 100), true, false, true, u"", u"deg"), u"1 KHz", u"70%", u"-45\u00B0"},
      {"linear 10 to 1010 Hz, middle", kTenToThousandTen,
       With(Input(kAmp, 300, 100), false, false, true, u"", u"deg"), u"510 Hz", u"75%",
       u"-45\u00B0"},
      {"pointer on the axis line in decibels", kTenToThousandTen,
       With(Input(kAmp, 300, 220), false, false, false, u"db", u"deg"), u"510 Hz", u"-oo db",
       u"-45\u00B0"},
      {"pointer halfway up in decibels", kTenToThousandTen,
       With(Input(kAmp, 300, 120), false, false, false, u"db", u"deg"), u"510 Hz", u"-6 db",
       u"-45\u00B0"},
      {"log amplitude floor 0.01, middle of the band", kTenToThousandTen,
       With(Input(kAmp, 300, 120), false, true, false, u"", u"deg", 0.01), u"510 Hz", u"10%",
       u"-45\u00B0"},
      {"log amplitude, top of the band", kTenToThousandTen,
       With(Input(kAmp, 300, 20), false, true, false, u"db", u"deg", 0.01), u"510 Hz", u"0 db",
       u"-45\u00B0"},
      {"-90 degrees in radians", kFlatAtMinus90,
       With(Input(kAmp, 300, 100), false, false, true, u"db", u"rad"), u"505 Hz", u"-6 db",
       u"-1,57 rad"},
      {"-90 degrees in degrees", kFlatAtMinus90,
       With(Input(kPha, 150, 100), false, false, true, u"", u"deg"), u"505 Hz", u"50%",
       u"-90\u00B0"},
      // Phase 0 at y = 20, 200 / 90 units per degree: y = 65 is -20.25 degrees.
      {"trace off over the phase graph reads the pointer's phase", kLagging,
       With(Input(kPha, 150, 65), false, false, false, u"", u"deg"), u"505 Hz", u"55%",
       u"-20\u00B0"},
      {"trace on over the phase graph reads the curve", kLagging,
       With(Input(kPha, 150, 65), false, false, true, u"", u"deg"), u"505 Hz", u"55%",
       u"-45\u00B0"},
      {"trace off over the amplitude graph reads the curve's phase", kLagging,
       With(Input(kAmp, 300, 120), false, false, false, u"", u"deg"), u"505 Hz", u"50%",
       u"-45\u00B0"},
      {"right of the last frequency reads 0", kLowPass,
       With(Input(kAmp, 720, 100), false, false, true, u"", u"deg"), u"12 KHz", u"0%", u"0\u00B0"},
      {"left of the first frequency extends the first segment", kLowPass,
       With(Input(kAmp, -60, 100), false, false, true, u"", u"deg"), u"-890 Hz", u"112%",
       u"28\u00B0"},
      {"a single point reads 0", kSinglePoint,
       With(Input(kAmp, 300, 100), false, false, true, u"", u"deg"), u"1 KHz", u"0%", u"0\u00B0"},
      {"a repeated frequency reads its first point", kRepeatedFrequency,
       With(Input(kAmp, 0, 100), false, false, true, u"", u"deg"), u"100 Hz", u"40%", u"-20\u00B0"},
      {"downward sweep at its start", kDownward,
       With(Input(kAmp, 0, 100), false, false, true, u"", u"deg"), u"1 KHz", u"10%", u"-80\u00B0"},
      {"downward sweep, first segment", kDownward,
       With(Input(kAmp, 300, 100), false, false, true, u"", u"deg"), u"505 Hz", u"32%",
       u"-61\u00B0"},
      {"downward sweep, last segment", kDownward,
       With(Input(kPha, 285, 100), false, false, true, u"", u"deg"), u"59,5 Hz", u"68%",
       u"-27\u00B0"},
      {"downward sweep on a log axis, middle point", kDownward,
       With(Input(kAmp, 300, 100), true, false, true, u"", u"deg"), u"100 Hz", u"50%",
       u"-45\u00B0"},
      {"left of a downward sweep reads 0", kDownward,
       With(Input(kAmp, -60, 100), false, false, true, u"", u"deg"), u"1,1 KHz", u"0%", u"0\u00B0"},
  };
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TraceReadout out = ComputeTrace(c.result, c.input);
    EXPECT_EQ(out.frequency_text, QString::fromUtf16(c.frequency));
    EXPECT_EQ(out.amplitude_text, QString::fromUtf16(c.amplitude));
    EXPECT_EQ(out.phase_text, QString::fromUtf16(c.phase));
  }
}

TEST(ComputeTraceTest, CursorLinesShareTheRelativePosition) {
  const struct {
    const char* name;
    TraceGraph graph;
    double x, w1, w2;
    double cursor1, cursor2;
  } cases[] = {
      {"over the amplitude graph", kAmp, 150, 600, 300, 150, 75},
      {"over the phase graph", kPha, 150, 600, 300, 300, 150},
      {"dragged past the right edge", kPha, 330, 600, 300, 660, 330},
      {"a surface without width", kAmp, 40, 0, 300, 40, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceInput input = Input(c.graph, c.x, 50);
    input.w1 = c.w1;
    input.w2 = c.w2;
    for (const SweepResult* result : {&kNoSweep, &kLowPass}) {
      const TraceReadout out = ComputeTrace(*result, input);
      EXPECT_DOUBLE_EQ(out.cursor1_x, c.cursor1);
      EXPECT_DOUBLE_EQ(out.cursor2_x, c.cursor2);
    }
  }
}

TEST(ComputeTraceTest, OverlayLabelFollowsTheLeftButtonAlone) {
  const struct {
    std::int16_t buttons;
    bool follows;
  } cases[] = {{0, false}, {1, true}, {2, false}, {3, false}, {4, false}, {5, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.buttons);
    TraceInput input = Input(kAmp, 10, 10);
    input.buttons = c.buttons;
    EXPECT_EQ(ComputeTrace(kLowPass, input).overlay_label_follows, c.follows);
    EXPECT_EQ(ComputeTrace(kNoSweep, input).overlay_label_follows, c.follows);
  }
}

TEST(ComputeTraceTest, BandWithoutHeightReadsNoValue) {
  // A surface 40 high has a band of zero height: the pointer's height gives no value.
  TraceInput amplitude = With(Input(kAmp, 300, 20), false, false, false, u"", u"deg");
  amplitude.h1 = 40;
  EXPECT_EQ(ComputeTrace(kLagging, amplitude).amplitude_text, QStringLiteral("/"));
  TraceInput phase = With(Input(kPha, 150, 20), false, false, false, u"", u"deg");
  phase.h2 = 40;
  EXPECT_EQ(ComputeTrace(kLagging, phase).phase_text, QStringLiteral("/"));
  EXPECT_EQ(ComputeTrace(kLagging, phase).amplitude_text, QStringLiteral("55%"));
}

TEST(CurveTest, InterpolatesInTheSegmentAroundTheFrequency) {
  const struct {
    const char* name;
    const SweepResult& result;
    double f;
    double amplitude, phase;
  } cases[] = {
      {"ascending, inside the first segment", kLowPass, 550, 0.8, -27.5},
      {"ascending, on a point", kLowPass, 1000, 0.7, -45},
      {"ascending, inside the second segment", kLowPass, 5500, 0.4, -62.5},
      {"downward, inside the first segment", kDownward, 550, 0.3, -62.5},
      {"downward, inside the second segment", kDownward, 55, 0.7, -25},
      {"downward, below the last frequency", kDownward, 5, 0, 0},
      {"downward, above the first frequency", kDownward, 2000, 0, 0},
      {"ascending, above the last frequency", kLowPass, 20000, 0, 0},
      {"no points", kNoSweep, 100, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(CurveAmplitude(c.result, c.f), c.amplitude, 1e-12);
    EXPECT_NEAR(CurvePhase(c.result, c.f), c.phase, 1e-12);
  }
}

TEST(PanelTextTest, AmplitudeAndPhaseUnits) {
  const struct {
    double amplitude;
    const char16_t* unit;
    const char16_t* text;
  } amplitudes[] = {
      {0.5, u"db", u"-6 db"},   {1.234, u"db", u"1,8 db"}, {0, u"db", u"-oo db"},
      {-0.2, u"db", u"-oo db"}, {0.1, u"", u"10%"},        {0.005, u"", u"0%"},
      {0.015, u"", u"2%"},      {0.5, u"x", u"50%"},       {-0.2, u"", u"-20%"},
  };
  for (const auto& c : amplitudes) {
    SCOPED_TRACE(c.amplitude);
    EXPECT_EQ(AmplitudeText(c.amplitude, QString::fromUtf16(c.unit)), QString::fromUtf16(c.text));
  }
  const struct {
    double phase;
    const char16_t* unit;
    const char16_t* text;
  } phases[] = {
      {-90, u"deg", u"-90\u00B0"}, {-90, u"rad", u"-1,57 rad"}, {45.5, u"deg", u"46\u00B0"},
      {44.5, u"deg", u"44\u00B0"}, {180, u"", u"3,14 rad"},     {0, u"rad", u"0 rad"},
  };
  for (const auto& c : phases) {
    SCOPED_TRACE(c.phase);
    EXPECT_EQ(PhaseText(c.phase, QString::fromUtf16(c.unit)), QString::fromUtf16(c.text));
  }
}

TEST(UnitToggleTest, TwoClicksBringBackTheStartingUnit) {
  const QString percent;
  const QString db = QStringLiteral("db");
  const QString deg = QStringLiteral("deg");
  const QString rad = QStringLiteral("rad");
  EXPECT_EQ(ToggledAmplitudeUnit(percent), db);
  EXPECT_EQ(ToggledAmplitudeUnit(ToggledAmplitudeUnit(percent)), percent);
  EXPECT_EQ(ToggledAmplitudeUnit(QStringLiteral("dB")), db);  // anything but "db" is percent
  EXPECT_EQ(ToggledPhaseUnit(deg), rad);
  EXPECT_EQ(ToggledPhaseUnit(ToggledPhaseUnit(deg)), deg);
  EXPECT_EQ(ToggledPhaseUnit(QString()), deg);  // anything but "deg" is radians
}

}  // namespace
}  // namespace quorvel
