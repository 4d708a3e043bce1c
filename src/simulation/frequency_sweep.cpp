#include "simulation/frequency_sweep.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <optional>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "simulation/filter_text_check.h"
#include "simulation/run_guard.h"
#include "simulation/sine_fit.h"
#include "simulation/time_run.h"

namespace quorvel {

namespace {

// One sweep. Guarded statements (Fp through RunErrors::Store), beyond those of an attempt: the
// frequency and its derived values, both integrals, the amplitude ratio and the phase.
// Comparisons, constants and the progress ratio (i / n with n > 0) need no check.
class Sweep : TimeRun {
 public:
  Sweep(FilterEngine& engine, RunObserver& observer, const bool& cancel,
        const SweepSettings& settings)
      : TimeRun(engine, observer, cancel, settings.parameters, settings.functions),
        settings_(settings) {}

  RunOutcome Run(SweepResult& result);

 private:
  // Each returns false when the sweep must be left for the report.
  bool SetUp();
  bool Frequency(std::int32_t i, std::int32_t n, double log_ratio, SweepResult& result);
  bool FrequencyStatements();
  // One time step: attempts until one is accepted.
  bool Step();
  bool ClassicFrequency();
  bool PreciseFrequency();
  // Whether the block's estimate says the output has settled.
  bool Settled(const Response& block);
  void StoreClassicPoint(SweepResult& result);
  void StorePrecisePoint(SweepResult& result);
  void StoreNotComputable(ResponsePoint& point) const;

  const SweepSettings& settings_;
  bool began_ = false;

  // Per frequency.
  double f_ = 0;
  double period_ = 0;
  double end_time_ = 0;
  double minimum_vo_ = 0;
  double minimum_time_ = 0;
  double integral_vi_ = 0;
  double integral_vo_ = 0;
  double last_advance_ = 0;
  // False once a measurement failed: the point then has no amplitude and no phase (as when the
  // output was not a finite number).
  bool measured_ = true;
  // Set when an accepted step did not move time on: the frequency ends there.
  bool time_stopped_ = false;

  // Scratch targets of guarded statements.
  double phase_ = 0;

  // The precise method: the fit over the measured periods, and the settling blocks' estimates.
  std::optional<Response> measured_response_;
  std::optional<std::complex<double>> previous_ratio_;
  double previous_change_ = -1;
};

RunOutcome Sweep::Run(SweepResult& result) {
  Open();
  sine_input_ = true;

  const std::int32_t samples = settings_.samples;
  result.count = 0;
  result.points.assign(static_cast<std::size_t>(samples > 0 ? samples : 0), ResponsePoint{});
  const std::int32_t n = samples > 0 ? samples - 1 : -1;
  double log_ratio = 0;
  double ratio = 0;
  if (errors_.Store(ratio, Fp(settings_.end_frequency) / settings_.start_frequency)) {
    if (const auto l = Log10(ratio)) {
      log_ratio = *l;
    } else {
      errors_.Count(run_errors::kInvalidArgument);
    }
  }

  if (SetUp()) {
    for (std::int32_t i = 0; i <= n && !stop_.requested(); ++i) {
      if (!Frequency(i, n, log_ratio, result)) break;
    }
  }
  if (began_) engine_.EndRun();

  QString report = ReportHead() + ReportErrorLines();
  if (settings_.method == SweepMethod::kPrecise) {
    report += u"Metodo di misura: precisa"_qs + kLineEnd;
  }
  return Finish(report + ReportTexts());
}

bool Sweep::SetUp() {
  if (ParametersFixTheStep()) {
    // The filter sets its own step, the same at every frequency.
    const double longest =
        settings_.oscillations / std::min(settings_.start_frequency, settings_.end_frequency);
    if (!ReadFixedStep(longest)) return false;
  }
  // The names are the same at every frequency (the texts do not change), so the engine learns
  // them once; each frequency only sets their saved values back to "0".
  engine_.BeginRun(StateList().names, functions_, QString());
  began_ = true;
  return true;
}

bool Sweep::Frequency(std::int32_t i, std::int32_t n, double log_ratio, SweepResult& result) {
  const bool precise = settings_.method == SweepMethod::kPrecise;
  // A one-point sweep (n = 0) stays at the start frequency.
  const double position = n > 0 ? static_cast<double>(i) / n : 0.0;
  errors_.Store(f_, Pow(10.0, Fp(position) * log_ratio) * settings_.start_frequency);
  errors_.Store(w_, Fp(kTwoPi) * f_);
  errors_.Store(end_time_, Fp(settings_.oscillations) / f_);
  errors_.Store(period_, Fp(1.0) / f_);
  if (step_.adaptive) {
    errors_.Store(step_.dt_min, Fp(1.0) / f_ / 5000.0);
    // The precise method keeps the step fine enough that the filter's own integration does
    // not dominate what it measures.
    if (precise) {
      step_.dt_max = step_.dt_min;
    } else {
      errors_.Store(step_.dt_max, Fp(10.0) * step_.dt_min);
    }
    dt_ = step_.dt_min;
  }
  step_.tolerance = StepControl::kInitialTolerance;

  // From rest: every state variable 0 before the parameters set theirs.
  if (!StartFromRest()) return false;
  if (!FrequencyStatements()) return false;
  engine_.ResetSavedState();
  integral_vi_ = 0;
  integral_vo_ = 0;
  vo_ = 0;
  previous_vi_ = 0;
  previous_vo_ = 0;
  if (!FrequencyStatements()) return false;

  minimum_vo_ = 0;
  minimum_time_ = 0;
  last_advance_ = 0;
  t_ = 0;
  output_failed_ = false;
  measured_ = true;
  time_stopped_ = false;
  if (!(dt_ > 0 && std::isfinite(dt_) && std::isfinite(end_time_) && std::isfinite(period_))) {
    // The frequency's derived values failed (counted): there is no step to take.
    measured_ = false;
  } else if (!(precise ? PreciseFrequency() : ClassicFrequency())) {
    return false;
  }

  if (precise) {
    StorePrecisePoint(result);
  } else {
    StoreClassicPoint(result);
  }
  ++result.count;
  observer_.PointAdded();
  observer_.SetPB(n > 0 ? static_cast<int>(Round(position * 100, 0)) : 100);
  return true;
}

bool Sweep::FrequencyStatements() {
  return calls_.SetNumber(QStringLiteral("dt"), dt_) &&
         calls_.Execute(QStringLiteral("vo=0"), QString()) &&
         calls_.Execute(parameters_, ParametersSourceName());
}

bool Sweep::Step() {
  engine_.SaveState();
  const double t_old = t_;
  bool retry = false;
  do {
    if (!Attempt(t_old, retry)) return false;
    if (EveryNthCall(kPacingPeriod)) {
      if (t_old > last_advance_) {
        observer_.ShowAdv();
        last_advance_ = t_old;
      }
      pacer_.MaybePump(observer_);
      if (stop_.requested()) return false;
    }
  } while (retry);
  if (!(t_ > t_old)) {
    // Only a fixed step can get here (the adaptive one never shrinks to a step that does not
    // advance t), and the same step would fail again: the frequency ends.
    errors_.Count(run_errors::kOverflow);
    measured_ = false;
    time_stopped_ = true;
  }
  return true;
}

bool Sweep::ClassicFrequency() {
  while (t_ <= end_time_ && !time_stopped_) {
    if (!Step()) return false;
    // Measurement on the accepted attempt; the phase looks at the first period only.
    if (t_ <= period_ && vo_ < minimum_vo_) {
      minimum_vo_ = vo_;
      minimum_time_ = t_;
    }
    if (!errors_.Store(integral_vi_, Fp(integral_vi_) + Abs(Fp(vi_)) * dt_)) measured_ = false;
    if (!errors_.Store(integral_vo_, Fp(integral_vo_) + Abs(Fp(vo_)) * dt_)) measured_ = false;
    previous_vi_ = vi_;
    previous_vo_ = vo_;
  }
  return true;
}

bool Sweep::PreciseFrequency() {
  measured_response_.reset();
  previous_ratio_.reset();
  previous_change_ = -1;
  // Settling blocks of whole periods, long enough to hold a few samples at the run's step.
  const double block_periods =
      std::max(1.0, std::ceil(kSettlingBlockSamples * dt_ / period_ - 1e-9));
  const double block = block_periods * period_;
  const double measurement = settings_.oscillations * period_;
  HarmonicFit fit(w_);
  double block_end = block;
  int blocks = 0;
  bool settled = false;
  while (!time_stopped_) {
    if (!Step()) return false;
    previous_vi_ = vi_;
    previous_vo_ = vo_;
    if (output_failed_) return true;  // no point to measure; the run goes on
    if (!settled && t_ > block_end) {
      ++blocks;
      const std::optional<Response> estimate = fit.Ratio();
      settled = blocks >= kMaxSettlingBlocks || (estimate && Settled(*estimate));
      fit.Clear();
      if (settled) {
        block_end += measurement;
      } else {
        while (t_ > block_end) block_end += block;
      }
    } else if (settled && t_ > block_end) {
      break;
    }
    fit.Add(t_, vi_, vo_);
  }
  measured_response_ = fit.Ratio();
  return true;
}

bool Sweep::Settled(const Response& block) {
  const std::complex<double> ratio =
      std::polar(block.amplitude, block.phase * std::numbers::pi / 180);
  const double scale = kSettlingTolerance * std::max(std::abs(ratio), 1e-9);
  bool settled = false;
  if (previous_ratio_) {
    const double change = std::abs(ratio - *previous_ratio_);
    if (change <= 1e-3 * scale) {
      settled = true;  // the same estimate again, to the last digits
    } else if (change <= scale && previous_change_ > 0) {
      const double r = change / previous_change_;
      settled = r < 1 && change * r / (1 - r) <= scale;
    }
    previous_change_ = change;
  }
  previous_ratio_ = ratio;
  return settled;
}

void Sweep::StoreNotComputable(ResponsePoint& point) const {
  point.amplitude = std::numeric_limits<double>::quiet_NaN();
  point.phase = std::numeric_limits<double>::quiet_NaN();
}

void Sweep::StorePrecisePoint(SweepResult& result) {
  ResponsePoint& point = result.points[static_cast<std::size_t>(result.count)];
  point.frequency = f_;
  if (output_failed_ || !measured_ || !measured_response_) {
    StoreNotComputable(point);
    return;
  }
  point.amplitude = measured_response_->amplitude;
  point.phase = measured_response_->phase;
}

void Sweep::StoreClassicPoint(SweepResult& result) {
  const auto index = static_cast<std::size_t>(result.count);
  ResponsePoint& point = result.points[index];
  point.frequency = f_;
  if (output_failed_ || !measured_) {
    StoreNotComputable(point);
    return;
  }
  if (integral_vi_ == 0) {
    point.amplitude = 0;
  } else {
    errors_.Store(point.amplitude, Fp(integral_vo_) / integral_vi_);
  }
  if (minimum_vo_ != 0) {
    // The input's minimum lies at 0.75 / f: an output whose minimum comes later lags.
    errors_.Store(phase_, (Fp(0.75) / f_ - minimum_time_) * f_ * 360.0);
    if (std::fabs(phase_) >= 180.5) phase_ = std::fabs(phase_) - 360;
    point.phase = phase_;
    return;
  }
  // No negative output: the phase of the last point that has one.
  point.phase = 0;
  for (std::size_t k = index; k > 0; --k) {
    if (!std::isnan(result.points[k - 1].phase)) {
      point.phase = result.points[k - 1].phase;
      break;
    }
  }
}

}  // namespace

RunOutcome RunFrequencySweep(FilterEngine& engine, RunObserver& observer,
                             const SweepSettings& settings, SweepResult& result,
                             const bool& cancel) {
  if (!IsRunnableFrequency(settings.start_frequency, settings.oscillations) ||
      !IsRunnableFrequency(settings.end_frequency, settings.oscillations)) {
    return RefusedRun(QString::fromUtf16(kBadFrequencyMessage));
  }
  if (auto problem = TopLevelDeclarationProblem(settings.parameters, settings.functions)) {
    return RefusedRun(*problem);
  }
  const RunGuard guard;
  if (!guard.acquired()) return RunOutcome{};
  Sweep sweep(engine, observer, cancel, settings);
  RunOutcome outcome;
  engine.RunInside([&] { outcome = sweep.Run(result); });
  return outcome;
}

}  // namespace quorvel
