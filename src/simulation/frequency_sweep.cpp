#include "simulation/frequency_sweep.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_var_list.h"
#include "simulation/pacing.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

const QString kLineEnd = QStringLiteral("\r\n");

// One sweep. Floating-point statements whose operands can be anything the filter produced, or
// whose divisor can be 0, go through Fp and RunErrors::Store: the frequency and its derived
// values, the time, the input, slope, tolerance candidate, output change, step shrink and growth,
// both integrals, the amplitude ratio and the phase. Comparisons, constants and the progress
// ratio (i / n with n > 0) need no check. A failed statement leaves its target as it was, which
// is why the targets are members: they keep their value from attempt to attempt.
class Sweep {
 public:
  Sweep(FilterEngine& engine, RunObserver& observer, const bool& cancel, const QString& parameters,
        const QString& functions)
      : observer_(observer),
        stop_(cancel),
        errors_(observer),
        calls_(engine, errors_, stop_),
        engine_(engine),
        parameters_(parameters),
        functions_(functions) {}

  RunOutcome Run(double start_frequency, double end_frequency, std::int32_t samples,
                 std::int16_t oscillations, SweepResult& result);

 private:
  // Each returns false when the sweep must be left for the report.
  bool SetUp(double longest_duration);
  bool Frequency(std::int32_t i, std::int32_t n, double start_frequency, double log_ratio,
                 std::int16_t oscillations, SweepResult& result);
  bool FrequencyStatements();
  bool TimeStep();
  void StorePoint(SweepResult& result);
  QString Report(const Clock::time_point& start_tick) const;

  RunObserver& observer_;
  RunStop stop_;
  RunErrors errors_;
  TrappedEngine calls_;
  FilterEngine& engine_;
  RunPacer pacer_;
  const QString& parameters_;
  const QString& functions_;

  bool began_ = false;
  // Why the run was refused after its parameters ran (a fixed dt that makes no run that ends).
  QString refusal_;

  // Per frequency.
  double f_ = 0;
  double w_ = 0;
  double period_ = 0;
  double end_time_ = 0;
  double dt_ = 0;
  StepControl step_;  // dt0 and the growth limit are its dt_min and dt_max
  double t_ = 0;
  double vi_ = 0;
  double vo_ = 0;
  double previous_vi_ = 0;
  double previous_vo_ = 0;
  double minimum_vo_ = 0;
  double minimum_time_ = 0;
  double integral_vi_ = 0;
  double integral_vo_ = 0;
  double last_advance_ = 0;
  // False once the frequency's output was not a finite number or a measurement failed: the
  // point then has no amplitude and no phase.
  bool computable_ = true;
  // Set when an accepted step did not move time on: the frequency ends there.
  bool time_stopped_ = false;

  // Scratch targets of guarded statements.
  double phase_ = 0;
};

RunOutcome Sweep::Run(double start_frequency, double end_frequency, std::int32_t samples,
                      std::int16_t oscillations, SweepResult& result) {
  observer_.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  observer_.PumpEvents();
  pacer_.MarkPumped();
  const Clock::time_point start_tick = Clock::now();

  result.count = 0;
  result.points.assign(static_cast<std::size_t>(samples > 0 ? samples : 0), ResponsePoint{});
  const std::int32_t n = samples > 0 ? samples - 1 : -1;
  double log_ratio = 0;
  double ratio = 0;
  if (errors_.Store(ratio, Fp(end_frequency) / start_frequency)) {
    if (const auto l = Log10(ratio)) {
      log_ratio = *l;
    } else {
      errors_.Count(run_errors::kInvalidArgument);
    }
  }

  const double longest_duration = oscillations / std::min(start_frequency, end_frequency);
  if (SetUp(longest_duration)) {
    for (std::int32_t i = 0; i <= n && !stop_.requested(); ++i) {
      if (!Frequency(i, n, start_frequency, log_ratio, oscillations, result)) break;
    }
  }
  if (began_) engine_.EndRun();

  RunOutcome outcome;
  outcome.counts = errors_.counts();
  outcome.stop_error = stop_.limit_error();
  if (!refusal_.isEmpty()) {
    outcome.status = RunStatus::kRefused;
    outcome.message = refusal_;
  } else {
    outcome.status = stop_.requested() ? RunStatus::kCancelled : RunStatus::kCompleted;
    outcome.report = Report(start_tick);
  }
  observer_.Unload2();
  return outcome;
}

bool Sweep::SetUp(double longest_duration) {
  ScriptVarList assigned;
  CollectAssignedNames(parameters_, assigned);
  if (FindVar(assigned, QStringLiteral("dt")) >= 0) {
    // The filter sets its own step, the same at every frequency.
    step_.adaptive = false;
    if (!calls_.Execute(parameters_, ParametersSourceName())) return false;
    if (!calls_.ReadNumber(QStringLiteral("dt"), dt_)) return false;
    if (const std::optional<QString> problem = FixedStepProblem(dt_, longest_duration)) {
      refusal_ = *problem;
      return false;
    }
  }

  // The names are the same at every frequency (the texts do not change), so the engine learns
  // them once; each frequency only sets their saved values back to "0".
  ScriptVarList state;
  CollectAssignedNames(parameters_, state);
  CollectAssignedNames(functions_, state);
  const QString zero = QStringLiteral("0");
  SetVar(state, QStringLiteral("dt"), zero);
  SetVar(state, QStringLiteral("vi"), zero);
  SetVar(state, QStringLiteral("vo"), zero);
  engine_.BeginRun(state.names, functions_, QString());
  began_ = true;
  return true;
}

bool Sweep::Frequency(std::int32_t i, std::int32_t n, double start_frequency, double log_ratio,
                      std::int16_t oscillations, SweepResult& result) {
  // A one-point sweep (n = 0) stays at the start frequency.
  const double position = n > 0 ? static_cast<double>(i) / n : 0.0;
  errors_.Store(f_, Pow(10.0, Fp(position) * log_ratio) * start_frequency);
  errors_.Store(w_, Fp(kTwoPi) * f_);
  errors_.Store(end_time_, Fp(oscillations) / f_);
  errors_.Store(period_, Fp(1.0) / f_);
  if (step_.adaptive) {
    errors_.Store(step_.dt_min, Fp(1.0) / f_ / 5000.0);
    errors_.Store(step_.dt_max, Fp(10.0) * step_.dt_min);
    dt_ = step_.dt_min;
  }
  step_.tolerance = StepControl::kInitialTolerance;

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
  computable_ = true;
  time_stopped_ = false;
  if (!(dt_ > 0 && std::isfinite(dt_) && std::isfinite(end_time_))) {
    // The frequency's derived values failed (counted): there is no step to take.
    computable_ = false;
  } else {
    while (t_ <= end_time_ && !time_stopped_) {
      if (!TimeStep()) return false;
    }
  }

  StorePoint(result);
  ++result.count;
  observer_.PointAdded();
  observer_.SetPB(n > 0 ? static_cast<int>(Round(position * 100, 0)) : 100);
  return true;
}

bool Sweep::FrequencyStatements() {
  return calls_.Execute(u"dt="_qs + StatementNumber(dt_), QString()) &&
         calls_.Execute(QStringLiteral("vo=0"), QString()) &&
         calls_.Execute(parameters_, ParametersSourceName());
}

bool Sweep::TimeStep() {
  engine_.SaveState();
  const double t_old = t_;
  bool retry = false;
  do {
    errors_.Store(t_, Fp(t_old) + dt_);
    // The input as the filter receives it ("vi=" carries 15 significant digits), so that the
    // integrals compare the output with the input the filter actually saw.
    if (errors_.Store(vi_, Sin(Fp(t_) * w_))) vi_ = RoundTo15Digits(vi_);
    if (!calls_.CheckAssignments(engine_.RestoreAndSet(dt_, t_, &vi_))) return false;
    if (!calls_.Check(engine_.RunFunctions())) return false;
    if (!calls_.Check(engine_.ReadOutput(), vo_)) return false;
    if (!std::isfinite(vo_)) {
      errors_.Count(run_errors::kOverflow);
      computable_ = false;
    }

    retry = step_.AfterAttempt(errors_, dt_, t_old, previous_vi_, vi_, previous_vo_, vo_);

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
    computable_ = false;
    time_stopped_ = true;
  }

  // Measurement on the accepted attempt; the phase looks at the first period only.
  if (t_ <= period_ && vo_ < minimum_vo_) {
    minimum_vo_ = vo_;
    minimum_time_ = t_;
  }
  if (!errors_.Store(integral_vi_, Fp(integral_vi_) + Abs(Fp(vi_)) * dt_)) computable_ = false;
  if (!errors_.Store(integral_vo_, Fp(integral_vo_) + Abs(Fp(vo_)) * dt_)) computable_ = false;
  previous_vi_ = vi_;
  previous_vo_ = vo_;
  return true;
}

void Sweep::StorePoint(SweepResult& result) {
  const auto index = static_cast<std::size_t>(result.count);
  ResponsePoint& point = result.points[index];
  point.frequency = f_;
  if (!computable_) {
    point.amplitude = std::numeric_limits<double>::quiet_NaN();
    point.phase = std::numeric_limits<double>::quiet_NaN();
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

QString Sweep::Report(const Clock::time_point& start_tick) const {
  const auto elapsed_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_tick).count();
  const double seconds = Round(static_cast<double>(elapsed_ms) / 1000, 0);
  const ErrorCounts& counts = errors_.counts();

  QString report;
  report += stop_.requested() ? u"Operazione annullata"_qs : u"Operazione completata"_qs;
  report += kLineEnd;
  report += u"Durata simulazione: "_qs + FormatEng(seconds, -3, QStringLiteral("s")) + kLineEnd;
  report += u"Errori totali: "_qs + QString::number(counts.total) + kLineEnd;
  report += u"Errori di timestep: "_qs + QString::number(counts.timestep) + kLineEnd;
  report += u"Errori di overflow: "_qs + QString::number(counts.overflow) + kLineEnd;
  report += kLineEnd + u"Funzioni del filtro:"_qs + kLineEnd + functions_ + kLineEnd;
  report += kLineEnd + u"Parametri del filtro:"_qs + kLineEnd + parameters_ + kLineEnd;
  return report;
}

}  // namespace

RunOutcome RunFrequencySweep(FilterEngine& engine, RunObserver& observer, double start_frequency,
                             double end_frequency, std::int32_t samples, std::int16_t oscillations,
                             const QString& parameters, const QString& functions,
                             SweepResult& result, const bool& cancel) {
  if (!IsRunnableFrequency(start_frequency, oscillations) ||
      !IsRunnableFrequency(end_frequency, oscillations)) {
    return RefusedRun(QString::fromUtf16(kBadFrequencyMessage));
  }
  const RunGuard guard;
  if (!guard.acquired()) return RunOutcome{};
  Sweep sweep(engine, observer, cancel, parameters, functions);
  return sweep.Run(start_frequency, end_frequency, samples, oscillations, result);
}

}  // namespace quorvel
