#include "graphs/graph_scales.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <vector>

#include "graph_test_support.h"
#include "graphs/response_graph.h"

namespace quorvel {
namespace {

using testing_support::CountDark;
using testing_support::RcLowPass;
using testing_support::Render;

constexpr double kTolerance = 1e-9;
constexpr double kTextHeight = 14;

std::vector<std::string> Texts(const std::vector<ScaleLabel>& labels) {
  std::vector<std::string> texts;
  for (const ScaleLabel& label : labels) texts.push_back(label.text.toStdString());
  return texts;
}

// No two labels share a pixel row, and all lie inside the surface.
void ExpectApartAndInside(const std::vector<ScaleLabel>& labels, double h) {
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_GE(labels[i].top, 0);
    EXPECT_LE(labels[i].top + kTextHeight, h);
    if (i > 0) {
      EXPECT_GE(labels[i].top, labels[i - 1].top + kTextHeight) << i;
    }
  }
}

TEST(ScaleTextTest, RatioDecibelsAndDegrees) {
  struct Case {
    double ratio;
    const char* unit;
    const char16_t* text;
  };
  const Case cases[] = {
      {1, "", u"1"},           {0.5, "", u"0,5"},       {0, "", u"0"},
      {0.1, "", u"0,1"},       {1, "db", u"0 db"},      {0.5, "db", u"-6 db"},
      {0.1, "db", u"-20 db"},  {0.7, "db", u"-3,1 db"}, {0, "db", u"-oo db"},
      {0.01, "db", u"-40 db"}, {0.3, "deg", u"0,3"},  // any other tag is the ratio
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ratio);
    SCOPED_TRACE(c.unit);
    EXPECT_EQ(ScaleAmplitudeText(c.ratio, QString::fromLatin1(c.unit)), QString::fromUtf16(c.text));
  }
  EXPECT_EQ(ScalePhaseText(-45), QStringLiteral("-45\u00B0"));
  EXPECT_EQ(ScalePhaseText(0), QStringLiteral("0\u00B0"));
  EXPECT_EQ(ScalePhaseText(90), QStringLiteral("90\u00B0"));
}

TEST(AmplitudeScaleLabelsTest, LinearGraphNamesEveryLineAboveIt) {
  const double h = 600;
  const auto labels = AmplitudeScaleLabels(h, false, 0.1, QString(), kTextHeight);
  ASSERT_EQ(labels.size(), 11u);
  // From the top: 1 at the top line down to 0 on the axis.
  EXPECT_EQ(Texts(labels), (std::vector<std::string>{"1", "0,9", "0,8", "0,7", "0,6", "0,5", "0,4",
                                                     "0,3", "0,2", "0,1", "0"}));
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const double ratio = (10 - static_cast<double>(i)) / 10;
    EXPECT_NEAR(labels[i].line_y, *AmplitudeLinearY(ratio, h), kTolerance);
    EXPECT_NEAR(labels[i].top, labels[i].line_y - 1 - kTextHeight, kTolerance);
  }
  ExpectApartAndInside(labels, h);
  // The axis label stays above the axis, clear of the frequency labels under it.
  EXPECT_LE(labels.back().top + kTextHeight, h - 20);
}

TEST(AmplitudeScaleLabelsTest, LogarithmicGraphInDecibelsBelowItsLines) {
  const double h = 900;
  const double floor = 0.01;
  const auto labels = AmplitudeScaleLabels(h, true, floor, QStringLiteral("db"), kTextHeight);
  // 1 on the axis, then 0,9 ... 0,1; the crowded lines near the top lose their labels first.
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.front().text, QStringLiteral("0 db"));
  EXPECT_NEAR(labels.front().line_y, 20, kTolerance);
  EXPECT_NEAR(labels.front().top, 21, kTolerance);
  EXPECT_EQ(labels.back().text, QStringLiteral("-20 db"));
  EXPECT_NEAR(labels.back().line_y, *AmplitudeLogY(0.1, h, floor), kTolerance);
  const auto texts = Texts(labels);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "-6 db"), texts.end());
  for (const ScaleLabel& label : labels) {
    EXPECT_NEAR(label.top, label.line_y + 1, kTolerance);
  }
  ExpectApartAndInside(labels, h);
}

TEST(AmplitudeScaleLabelsTest, SmallSurfacesKeepTheEndsAndDropTheRest) {
  const auto linear = AmplitudeScaleLabels(100, false, 0.1, QString(), kTextHeight);
  const auto linear_texts = Texts(linear);
  EXPECT_EQ(linear_texts.front(), "1");
  EXPECT_EQ(linear_texts.back(), "0");
  EXPECT_LT(linear.size(), 11u);
  ExpectApartAndInside(linear, 100);

  const auto log = AmplitudeScaleLabels(120, true, 0.1, QString(), kTextHeight);
  const auto log_texts = Texts(log);
  EXPECT_EQ(log_texts.front(), "1");
  EXPECT_EQ(log_texts.back(), "0,1");
  ExpectApartAndInside(log, 120);

  // A surface too low for any text gets none.
  EXPECT_TRUE(AmplitudeScaleLabels(10, false, 0.1, QString(), kTextHeight).empty());
}

TEST(PhaseScaleLabelsTest, DegreesAtTheAxisAndTheGridLines) {
  const double h = 600;
  const SweepResult result = RcLowPass(10, 100000, 40);  // 0 to almost -90 degrees
  const PhaseScale scale = ComputePhaseScale(result, h);
  ASSERT_EQ(scale.step, 15);
  const auto labels = PhaseScaleLabels(scale, h, kTextHeight);
  EXPECT_EQ(Texts(labels),
            (std::vector<std::string>{"0°", "-15°", "-30°", "-45°", "-60°", "-75°"}));
  for (const ScaleLabel& label : labels) {
    const double phase = label.text.chopped(1).toDouble();
    EXPECT_NEAR(label.line_y, *PhaseY(phase, scale), kTolerance);
    EXPECT_NEAR(label.top, label.line_y + 1, kTolerance);
  }

  // On a low surface the axis and the multiples of 90 come first.
  const SweepResult wide =
      testing_support::MakeResult({{10, 170, 1}, {100, 0, 1}, {1000, -170, 1}});
  const PhaseScale wide_scale = ComputePhaseScale(wide, 120);
  ASSERT_EQ(wide_scale.step, 30);
  const auto kept = PhaseScaleLabels(wide_scale, 120, kTextHeight);
  ExpectApartAndInside(kept, 120);
  const auto few = Texts(kept);
  for (const char* text : {"0°", "90°", "-90°"}) {
    EXPECT_NE(std::find(few.begin(), few.end(), text), few.end()) << text;
  }
  // 30 and 60 degrees would overlap the labels of 0 and 90 degrees.
  for (const char* text : {"30°", "60°"}) {
    EXPECT_EQ(std::find(few.begin(), few.end(), text), few.end()) << text;
  }
}

// ---- Drawing ----

TEST(NumberedScalesDrawingTest, OffByDefaultAndTheUnitAloneChangesNothing) {
  EXPECT_FALSE(GraphOptions{}.numbered_scales);
  const SweepResult result = RcLowPass(10, 100000, 40);
  const QSize size(500, 300);
  for (bool log_y : {false, true}) {
    SCOPED_TRACE(log_y);
    GraphOptions plain;
    plain.log_x = true;
    plain.log_y = log_y;
    GraphOptions db = plain;
    db.amplitude_unit = QStringLiteral("db");
    const auto a = Render(result, plain, size);
    const auto b = Render(result, db, size);
    EXPECT_EQ(a.amplitude, b.amplitude);
    EXPECT_EQ(a.phase, b.phase);
  }
}

TEST(NumberedScalesDrawingTest, ValuesArePrintedBesideTheirLinesWhenOn) {
  const SweepResult result = RcLowPass(10, 100000, 40);
  const QSize size(500, 400);
  GraphOptions off;
  off.log_x = true;
  GraphOptions on = off;
  on.numbered_scales = true;
  const auto plain = Render(result, off, size);
  const auto numbered = Render(result, on, size);

  const double text_height = QFontMetricsF(QGuiApplication::font(), &plain.amplitude).height();
  const auto amplitude_labels =
      AmplitudeScaleLabels(size.height(), false, 0.1, QString(), text_height);
  const auto phase_labels =
      PhaseScaleLabels(ComputePhaseScale(result, size.height()), size.height(), text_height);
  ASSERT_GE(amplitude_labels.size(), 6u);
  ASSERT_GE(phase_labels.size(), 4u);

  // Text where each label goes, none there without the option.
  auto area = [text_height](const ScaleLabel& label) {
    return QRect(0, static_cast<int>(label.top), 30, static_cast<int>(text_height));
  };
  for (const ScaleLabel& label : amplitude_labels) {
    SCOPED_TRACE(label.text.toStdString());
    EXPECT_GT(CountDark(numbered.amplitude, area(label)), 0);
    EXPECT_EQ(CountDark(plain.amplitude, area(label)), 0);
  }
  for (const ScaleLabel& label : phase_labels) {
    SCOPED_TRACE(label.text.toStdString());
    EXPECT_GT(CountDark(numbered.phase, area(label)), 0);
  }
  // Away from the left edge the drawing is the same.
  EXPECT_EQ(numbered.amplitude.copy(60, 0, 440, 400), plain.amplitude.copy(60, 0, 440, 400));
}

}  // namespace
}  // namespace quorvel
