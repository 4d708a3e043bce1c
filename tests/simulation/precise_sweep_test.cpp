// The precise method against closed-form responses: the continuous examples against their
// analytic response, digital filters with a fixed dt against their exact z-domain response.

#include <QByteArray>
#include <QFile>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <string>

#include "documents/test_document.h"
#include "graphs/response_graph.h"
#include "simulation/frequency_sweep.h"
#include "simulation/sine_fit.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

using Complex = std::complex<double>;
constexpr double kPiAsWritten = 3.14159265358979;  // the examples' texts write π so

TestDocument Example(const char* name) {
  QFile file(QStringLiteral(QUORVEL_EXAMPLES_DIR "/") + QString::fromLatin1(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  CodecResult<TestDocument> read = ReadTestDocument(file.readAll());
  EXPECT_TRUE(read.ok()) << name;
  return read.ok() ? read.value() : TestDocument{};
}

// The worst amplitude error (relative) and phase error (degrees) of a sweep's points against a
// response.
struct Worst {
  double amplitude = 0;
  double phase = 0;
};

Worst Compare(const SweepResult& result, const std::function<Complex(double)>& response) {
  Worst worst;
  for (std::int32_t i = 0; i < result.count; ++i) {
    const ResponsePoint& p = result.points[static_cast<std::size_t>(i)];
    const Complex h = response(p.frequency);
    const double amplitude_error = std::fabs(p.amplitude / std::abs(h) - 1);
    double phase_error = std::fabs(p.phase - std::arg(h) * 180 / std::numbers::pi);
    phase_error = std::min(phase_error, std::fabs(phase_error - 360));
    worst.amplitude =
        std::max(worst.amplitude, std::isnan(amplitude_error) ? 1e9 : amplitude_error);
    worst.phase = std::max(worst.phase, std::isnan(phase_error) ? 1e9 : phase_error);
  }
  return worst;
}

class PreciseSweepTest : public RunTest {
 protected:
  SweepResult Sweep(SweepSettings settings) {
    settings.method = SweepMethod::kPrecise;
    SilentObserver observer;
    const bool cancel = false;
    SweepResult result;
    outcome_ = RunFrequencySweep(*engine_, observer, settings, result, cancel);
    EXPECT_EQ(outcome_.status, RunStatus::kCompleted);
    EXPECT_EQ(outcome_.counts.total, 0);
    EXPECT_EQ(result.count, settings.samples);
    return result;
  }
  bool Slow() const { return std::string(GetParam().name) == "Text"; }

  RunOutcome outcome_;
};

TEST_P(PreciseSweepTest, RcLowPassIsWithinATenthOfAPercentAndDegreeOfItsAnalyticResponse) {
  if (Slow()) GTEST_SKIP() << "long run, fast engine only (the engines are proven equal)";
  const TestDocument rc = Example("rc_lowpass.flt");
  const SweepResult result = Sweep({10, 100000, 40, 10, rc.parameters, rc.functions});
  const double time_constant = 1 / (2 * kPiAsWritten * 1000);
  const Worst worst = Compare(
      result, [&](double f) { return 1.0 / Complex(1, 2 * std::numbers::pi * f * time_constant); });
  EXPECT_LT(worst.amplitude, 0.001);
  EXPECT_LT(worst.phase, 0.1);
  // The cutoff markers read the precise points as they read the classic ones.
  const std::vector<double> cutoffs = CutoffFrequencies(result);
  ASSERT_EQ(cutoffs.size(), 1u);
  EXPECT_NEAR(cutoffs[0], 1000, 60);  // 0,71 lies a little below 1/sqrt(2)
}

TEST_P(PreciseSweepTest, RlcBandPassIsWithinATenthOfAPercentAndDegreeOfItsAnalyticResponse) {
  if (Slow()) GTEST_SKIP() << "long run, fast engine only (the engines are proven equal)";
  const TestDocument rlc = Example("rlc_bandpass.flt");
  const SweepResult result = Sweep({10, 100000, 40, 10, rlc.parameters, rlc.functions});
  const double w0 = 2 * kPiAsWritten * 1000;
  const double l = 0.1;
  const double c = 1 / (w0 * w0 * l);
  const double r = w0 * l / 2;
  const Worst worst = Compare(result, [&](double f) {
    const Complex s(0, 2 * std::numbers::pi * f);
    return r / (r + s * l + 1.0 / (s * c));
  });
  EXPECT_LT(worst.amplitude, 0.001);
  EXPECT_LT(worst.phase, 0.1);
}

// Digital filters at 48 kHz: a one-pole low-pass and an RBJ biquad low-pass (1 kHz, Q = 2),
// against H(z) at z = exp(j w / 48000), at frequencies up to 23 kHz (Nyquist: 24 kHz).
struct DigitalCase {
  const char* name;
  const char16_t* parameters;
  const char16_t* functions;
  std::function<Complex(Complex)> response;  // of z^-1
};

TEST_P(PreciseSweepTest, DigitalFiltersAreWithinAHundredthOfTheirExactResponse) {
  if (Slow()) GTEST_SKIP() << "long run, fast engine only (the engines are proven equal)";
  constexpr double kFs = 48000;
  // RBJ cookbook low-pass at 1 kHz, Q = 2.
  const double w = 2 * std::numbers::pi * 1000 / kFs;
  const double alpha = std::sin(w) / (2 * 2);
  const double a0 = 1 + alpha;
  const double b0 = (1 - std::cos(w)) / 2 / a0;
  const double b1 = (1 - std::cos(w)) / a0;
  const double b2 = b0;
  const double a1 = -2 * std::cos(w) / a0;
  const double a2 = (1 - alpha) / a0;
  const QString biquad_parameters =
      QStringLiteral("dt = 1/48000\r\nb0 = %1; b1 = %2; b2 = %3; a1 = %4; a2 = %5")
          .arg(b0, 0, 'g', 17)
          .arg(b1, 0, 'g', 17)
          .arg(b2, 0, 'g', 17)
          .arg(a1, 0, 'g', 17)
          .arg(a2, 0, 'g', 17);
  // The program keeps its state with 15 significant digits, so the coefficients the filter
  // really uses are the 17-digit ones above (constants in the parameters, not state).
  struct Case {
    const char* name;
    QString parameters;
    QString functions;
    std::function<Complex(Complex)> response;
  };
  const Case cases[] = {
      {"one-pole", u"dt = 1/48000\r\na = 0.2"_qs, u"y = y + a * (vi - y)\r\nvo = y"_qs,
       [](Complex zi) { return 0.2 / (1.0 - 0.8 * zi); }},
      {"biquad", biquad_parameters,
       u"y = b0*vi + b1*x1 + b2*x2 - a1*y1 - a2*y2\r\nx2 = x1; x1 = vi; y2 = y1; y1 = y\r\n"
       "vo = y"_qs,
       [&](Complex zi) { return (b0 + b1 * zi + b2 * zi * zi) / (1.0 + a1 * zi + a2 * zi * zi); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SweepResult result = Sweep({10, 23000, 40, 10, c.parameters, c.functions});
    const Worst worst = Compare(result, [&](double f) {
      return c.response(std::exp(Complex(0, -2 * std::numbers::pi * f / kFs)));
    });
    EXPECT_LT(worst.amplitude, 0.0001);
    EXPECT_LT(worst.phase, 0.01);
  }
}

TEST_P(PreciseSweepTest, AWireIsExactlyOneAndZeroDegrees) {
  for (const char16_t* parameters : {u"", u"dt = 1/44100"}) {
    SCOPED_TRACE(QString::fromUtf16(parameters).toStdString());
    const SweepResult result =
        Sweep({10, 20000, 5, 3, QString::fromUtf16(parameters), u"vo = vi"_qs});
    for (std::int32_t i = 0; i < result.count; ++i) {
      EXPECT_EQ(result.points[i].amplitude, 1.0);
      EXPECT_EQ(result.points[i].phase, 0.0);
    }
  }
}

TEST_P(PreciseSweepTest, TheReportNamesTheMethodOnlyWhenPrecise) {
  const SweepSettings settings{100, 1000, 2, 1, QString(), u"vo = vi"_qs};
  Sweep(settings);
  const QStringList precise = ReportLines(outcome_.report);
  const auto line = precise.indexOf(u"Metodo di misura: precisa"_qs);
  ASSERT_GT(line, 0);
  EXPECT_TRUE(precise[line - 1].startsWith(u"Errori di overflow: "_qs));

  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  const RunOutcome classic = RunFrequencySweep(*engine_, observer, settings, result, cancel);
  EXPECT_FALSE(classic.report.contains(u"Metodo"_qs));
  // The same report otherwise, apart from the duration line.
  QStringList without = precise;
  without.removeAt(line);
  EXPECT_EQ(without.mid(2), ReportLines(classic.report).mid(2));
}

TEST_P(PreciseSweepTest, ErrorsAreCountedAsTheClassicRunCountsThem) {
  // A functions text failing at every other step, and a bad output: the same failures, counted
  // by the same trap, in both methods; the points are not computable in both.
  for (const SweepMethod method : {SweepMethod::kClassic, SweepMethod::kPrecise}) {
    SilentObserver observer;
    const bool cancel = false;
    SweepResult result;
    const RunOutcome outcome = RunFrequencySweep(
        *engine_, observer, {1000, 1000, 1, 1, QString(), u"vo = NaN"_qs, method}, result, cancel);
    EXPECT_GT(outcome.counts.overflow, 0);
    EXPECT_EQ(outcome.counts.total, outcome.counts.overflow);
    ASSERT_EQ(result.count, 1);
    EXPECT_TRUE(std::isnan(result.points[0].amplitude));
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, PreciseSweepTest, testing::ValuesIn(Engines()), EngineName);

TEST(HarmonicFit, IsExactForASinusoidWithAnOffsetOnAnUnevenGrid) {
  const double w = 2 * std::numbers::pi * 50;
  HarmonicFit fit(w);
  double t = 0.0001;
  for (int k = 0; k < 300; ++k) {
    t += 0.0001 * (1 + 0.7 * std::sin(k * 1.3));  // uneven steps, no whole period
    fit.Add(t, std::sin(w * t), 0.5 * std::sin(w * t - 0.6) + 0.25);
  }
  const std::optional<Response> ratio = fit.Ratio();
  ASSERT_TRUE(ratio.has_value());
  EXPECT_NEAR(ratio->amplitude, 0.5, 1e-12);
  EXPECT_NEAR(ratio->phase, -0.6 * 180 / std::numbers::pi, 1e-9);
}

TEST(HarmonicFit, NeedsThreeSamplesThatTellTheBasisApart) {
  HarmonicFit fit(1);
  fit.Add(0, 1, 1);
  fit.Add(1, 1, 1);
  EXPECT_FALSE(fit.Ratio().has_value());
  HarmonicFit same_phase(2 * std::numbers::pi);
  for (int k = 0; k < 5; ++k) same_phase.Add(k, 1, 1);  // every sample at one phase
  EXPECT_FALSE(same_phase.Ratio().has_value());
}

TEST(PhaseInSweepRange, RunsFromMinus179AndAHalfTo180AndAHalf) {
  EXPECT_EQ(PhaseInSweepRange(-179.4), -179.4);
  EXPECT_EQ(PhaseInSweepRange(-179.6), 180.4);
  EXPECT_EQ(PhaseInSweepRange(180.4), 180.4);
  EXPECT_EQ(PhaseInSweepRange(180.5), -179.5);
  EXPECT_NEAR(PhaseInSweepRange(-350), 10, 1e-12);
}

}  // namespace
}  // namespace quorvel
