// Accuracy of the two sweep methods against closed-form responses. Each filter is swept with
// both methods on the real script engine (40 frequencies, 10 oscillations each), and each row
// gives, per decade, the worst amplitude error (percent) and phase error (degrees) of the points
// in it, then the run's attempts and time. Continuous filters are compared with their analytic
// response, digital ones (fixed dt, 48 kHz) with their exact z-domain response.

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/frequency_sweep.h"
#include "simulation/run_observer.h"
#include "simulation/script_filter_engine.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;
using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979;  // as the filter texts write it
constexpr double kFs = 48000;

struct Filter {
  const char* label;
  QString parameters;
  QString functions;
  double end_frequency;
  std::function<Complex(double)> response;
};

Complex Digital(double f, const std::function<Complex(Complex)>& h_of_z_inverse) {
  return h_of_z_inverse(std::exp(Complex(0, -2 * std::numbers::pi * f / kFs)));
}

std::vector<Filter> Filters() {
  const double w0 = 2 * kPi * 1000;
  const double rc = 1 / w0;
  const double l = 0.1;
  const double c = 1 / (w0 * w0 * l);
  const double r = w0 * l / 2;
  const double z = 0.707106781186548;
  // RBJ low-pass biquad at 1 kHz, Q = 2, 48 kHz.
  const double wd = 2 * std::numbers::pi * 1000 / kFs;
  const double alpha = std::sin(wd) / 4;
  const double a0 = 1 + alpha;
  const double b0 = (1 - std::cos(wd)) / 2 / a0;
  const double b1 = (1 - std::cos(wd)) / a0;
  const double a1 = -2 * std::cos(wd) / a0;
  const double a2 = (1 - alpha) / a0;
  const QString biquad =
      QStringLiteral("dt = 1/48000\r\nb0 = %1; b1 = %2; b2 = %1; a1 = %3; a2 = %4")
          .arg(b0, 0, 'g', 17)
          .arg(b1, 0, 'g', 17)
          .arg(a1, 0, 'g', 17)
          .arg(a2, 0, 'g', 17);
  return {
      {"RC low-pass 1 kHz", u"RC = 1/(2*3.14159265358979*1000)"_qs,
       u"vo = vo + (vi - vo) * dt / RC"_qs, 100000,
       [rc](double f) { return 1.0 / Complex(1, 2 * std::numbers::pi * f * rc); }},
      {"RLC band-pass 1 kHz Q=2",
       u"w0 = 2*3.14159265358979*1000\r\nL = 0.1\r\nC = 1/(w0*w0*L)\r\nR = w0*L/2"_qs,
       u"i = i + (vi - R*i - vc) * dt / L\r\nvc = vc + i * dt / C\r\nvo = R * i"_qs, 100000,
       [=](double f) {
         const Complex s(0, 2 * std::numbers::pi * f);
         return r / (r + s * l + 1.0 / (s * c));
       }},
      {"Butterworth LP 1 kHz", u"w0 = 2*3.14159265358979*1000\r\nz = 0.707106781186548"_qs,
       u"x2 = x2 + (w0*w0*(vi - x1) - 2*z*w0*x2) * dt\r\nx1 = x1 + x2 * dt\r\nvo = x1"_qs, 100000,
       [=](double f) {
         const Complex s(0, 2 * std::numbers::pi * f);
         return w0 * w0 / (s * s + 2 * z * w0 * s + w0 * w0);
       }},
      {"one-pole 48 kHz", u"dt = 1/48000\r\na = 0.2"_qs, u"y = y + a * (vi - y)\r\nvo = y"_qs,
       23000,
       [](double f) { return Digital(f, [](Complex zi) { return 0.2 / (1.0 - 0.8 * zi); }); }},
      {"biquad 48 kHz", biquad,
       u"y = b0*vi + b1*x1 + b2*x2 - a1*y1 - a2*y2\r\nx2 = x1; x1 = vi; y2 = y1; y1 = y\r\n"
       "vo = y"_qs,
       23000,
       [=](double f) {
         return Digital(f, [=](Complex zi) {
           return (b0 + b1 * zi + b0 * zi * zi) / (1.0 + a1 * zi + a2 * zi * zi);
         });
       }},
  };
}

// Forwards to the real engine and counts the attempts (RestoreAndSet with t above 0).
class CountingEngine : public FilterEngine {
 public:
  explicit CountingEngine(FilterEngine& inner) : inner_(inner) {}

  ScriptStatus Execute(const QString& text, const QString& source_name) override {
    return inner_.Execute(text, source_name);
  }
  Expected<double> EvaluateNumber(const QString& text) override {
    return inner_.EvaluateNumber(text);
  }
  void BeginRun(const std::vector<QString>& names, const QString& functions,
                const QString& input) override {
    inner_.BeginRun(names, functions, input);
  }
  void ResetSavedState() override { inner_.ResetSavedState(); }
  void SaveState() override { inner_.SaveState(); }
  int RestoreAndSet(double dt, double t, const double* vi) override {
    if (t > 0) ++attempts;
    return inner_.RestoreAndSet(dt, t, vi);
  }
  Expected<double> RunInput() override { return inner_.RunInput(); }
  ScriptStatus RunFunctions() override { return inner_.RunFunctions(); }
  Expected<double> ReadOutput() override { return inner_.ReadOutput(); }
  void EndRun() override { inner_.EndRun(); }

  long attempts = 0;

 private:
  FilterEngine& inner_;
};

struct Decade {
  double amplitude = 0;  // worst error, percent
  double phase = 0;      // worst error, degrees
  bool any = false;
};

void Row(ScriptHost& host, const Filter& filter, SweepMethod method) {
  ScriptFilterEngine real(host);
  CountingEngine engine(real);
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  const auto start = Clock::now();
  const RunOutcome outcome = RunFrequencySweep(
      engine, observer,
      {10, filter.end_frequency, 40, 10, filter.parameters, filter.functions, method}, result,
      cancel);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  Decade decades[4];
  for (std::int32_t i = 0; i < result.count; ++i) {
    const ResponsePoint& p = result.points[static_cast<std::size_t>(i)];
    const Complex h = filter.response(p.frequency);
    const int d = std::clamp(static_cast<int>(std::floor(std::log10(p.frequency))) - 1, 0, 3);
    const double amplitude = 100 * std::fabs(p.amplitude / std::abs(h) - 1);
    double phase = std::fabs(p.phase - std::arg(h) * 180 / std::numbers::pi);
    phase = std::min(phase, std::fabs(phase - 360));
    decades[d].amplitude = std::max(decades[d].amplitude, amplitude);
    decades[d].phase = std::max(decades[d].phase, phase);
    decades[d].any = true;
  }
  std::printf("| %-24s | %-8s |", filter.label,
              method == SweepMethod::kClassic ? "classica" : "precisa");
  for (const Decade& d : decades) {
    if (d.any) {
      std::printf(" %9.4f %% / %8.4f° |", d.amplitude, d.phase);
    } else {
      std::printf(" %22s |", "-");
    }
  }
  std::printf(" %9ld | %7.0f |%s\n", engine.attempts, ms,
              outcome.counts.total != 0 ? " (errori)" : "");
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  using namespace quorvel;
  QCoreApplication app(argc, argv);
  ScriptEngineInit engine;
  ScriptHost host;
  if (!host.LoadCode(PreludeText()).ok()) return 1;
  std::printf(
      "| filter                   | method   |      10 Hz - 100 Hz    |     100 Hz - 1 kHz     "
      "|     1 kHz - 10 kHz     |  10 kHz - 100 kHz (*)  |  attempts |      ms |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Filter& filter : Filters()) {
    for (const SweepMethod method : {SweepMethod::kClassic, SweepMethod::kPrecise}) {
      Row(host, filter, method);
    }
  }
  std::printf("\n(*) the digital filters (48 kHz) up to 23 kHz\n");
  return 0;
}
