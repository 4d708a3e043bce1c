#include "simulation/oscilloscope_run.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <utility>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_var_list.h"
#include "simulation/filter_text_check.h"
#include "simulation/run_guard.h"
#include "simulation/time_run.h"

namespace quorvel {

namespace {

struct Waveform {
  const char16_t* name;
  const char16_t* statement;
};

constexpr std::array<Waveform, 9> kWaveforms{{
    {u"sinusoidale", u"vi = Math.sin(t * _w)"},
    {u"quadra", u"vi = (int(t * 2 * _f) % 2) * 2 - 1"},
    {u"dente di sega", u"vi = mod(t, 1 / _f) * _f * 2 - 1"},
    {u"dente di sega 2", u"vi = 1 - mod(t, 1 / _f) * _f * 2"},
    {u"triangolare", u"vi = (Math.abs(mod(t + 0.5 / _f, 1 / _f) * _f - 0.5) - 0.25) * 4"},
    {u"segnale+rumore", u"vi = Math.sin(t * _w) * 0.7 + Math.random() * 0.6 - 0.3"},
    {u"AM", u"vi = Math.sin(t * _w) * (2 + Math.sin(t * PI2 / _tf * 2)) / 3"},
    {u"ASK", u"vi = Math.sin(t * _w) * (int(t / _tf * 4) % 2)"},
    {u"rumore", u"vi = Math.random() * 2 - 1"},
}};

// Grows the trace to `size` elements per array. Capacity grows geometrically so that a long
// trace costs amortised constant time per sample, while the arrays' sizes stay exactly the
// upper bound the trace needs.
void GrowTrace(TimeTrace& trace, std::size_t size) {
  auto grow = [size](auto& array) {
    if (array.capacity() < size) array.reserve(std::max(size, 2 * array.capacity()));
    array.resize(size);
  };
  grow(trace.times);
  grow(trace.inputs);
  grow(trace.outputs);
  grow(trace.framesPerSample);
}

// One oscilloscope run. Guarded statements (Fp through RunErrors::Store), beyond those of an
// attempt: the total time, sample interval, step bounds, parameter values and run constants, the
// next sample time, the progress percent and the two averages of the report. A failed constant
// or parameter value skips its assignment.
class TraceRun : TimeRun {
 public:
  TraceRun(FilterEngine& engine, RunObserver& observer, const bool& stop,
           const ScopeSettings& settings)
      : TimeRun(engine, observer, stop, settings.parameters, settings.functions),
        settings_(settings) {}

  RunOutcome Run(TimeTrace& trace);

 private:
  // Each returns false when the run must be left for the report.
  bool SetUp();
  bool AssignConstants();
  bool Assign(const QString& name, Fp value);
  bool TimeLoop(TimeTrace& trace);
  void PacingPoint(double t0);
  void StoreSample(TimeTrace& trace);
  QString Report(std::int32_t count);

  const ScopeSettings& settings_;
  ScriptVarList state_;

  double f_ = 0;
  double end_time_ = 0;
  double sample_interval_ = 0;
  double parameter_value_ = 0;

  double next_sample_time_ = 0;
  double last_pacing_t0_ = 0;
  double percent_ = 0;
  std::int32_t cycles_ = 0;
  std::int32_t frames_ = 0;
  std::int32_t frames_since_sample_ = 0;
};

RunOutcome TraceRun::Run(TimeTrace& trace) {
  Open();
  f_ = settings_.frequency;

  // The state list first (the texts' names and the parameter items'), so that the run can start
  // from rest before its parameters run.
  state_ = StateList();
  for (const QString& text : settings_.parameter_items) {
    if (const std::optional<ParameterItem> item = ParseParameterItem(text)) {
      SetVar(state_, item->name, QStringLiteral("0"));
    }
  }
  engine_.BeginRun(state_.names, functions_, WaveformStatement(settings_.waveform));

  // Indices 0 to samples.
  const auto size =
      static_cast<std::size_t>(std::max<std::int64_t>(std::int64_t{settings_.samples} + 1, 0));
  trace.times.assign(size, 0.0);
  trace.inputs.assign(size, 0.0);
  trace.outputs.assign(size, 0.0);
  trace.framesPerSample.assign(size, 0);
  trace.count = 0;
  trace.frequency = f_;

  if (StartFromRest() && SetUp() && AssignConstants()) TimeLoop(trace);
  engine_.EndRun();
  // The report is made before the outcome, since it counts its own failures.
  const QString report = refusal_.isEmpty() ? Report(trace.count) : QString();
  return Finish(report);
}

bool TraceRun::SetUp() {
  errors_.Store(end_time_, Fp(settings_.oscillations) / f_);
  errors_.Store(sample_interval_, Fp(end_time_) / settings_.samples);

  // dt is still 0 here.
  if (!calls_.SetNumber(QStringLiteral("dt"), dt_)) return false;
  if (!calls_.Execute(QStringLiteral("vo=0"), QString())) return false;
  if (!calls_.Execute(parameters_, ParametersSourceName())) return false;

  if (!ParametersFixTheStep()) {
    errors_.Store(step_.dt_min, Fp(1.0) / f_ / 5000.0);
    errors_.Store(step_.dt_max, Fp(10.0) * step_.dt_min);
    dt_ = step_.dt_min;
  } else if (!ReadFixedStep(end_time_)) {
    return false;
  }

  for (const QString& text : settings_.parameter_items) {
    const std::optional<ParameterItem> item = ParseParameterItem(text);
    if (!item) {
      errors_.Count(
          ScriptError{script_errors::kTypeMismatch,
                      QStringLiteral("Parametro del filtro parametrico non valido: ") + text});
      if (stop_.requested()) return false;
      continue;
    }
    errors_.Store(parameter_value_,
                  Fp(item->percent) / 100.0 * (Fp(item->maximum) - item->minimum) + item->minimum);
    if (!calls_.SetNumber(item->name, parameter_value_)) return false;
  }
  return true;
}

bool TraceRun::Assign(const QString& name, Fp value) {
  double x = 0;
  if (!errors_.Store(x, value)) return !stop_.requested();
  return calls_.SetNumber(name, x);
}

bool TraceRun::AssignConstants() {
  // The first three as the program has always written them.
  return calls_.Execute(QStringLiteral("PI=3.14159265358979"), QString()) &&
         calls_.Execute(QStringLiteral("PI2=6.28318530717958"), QString()) &&
         calls_.Execute(QStringLiteral("PI_2=1.5707963267949"), QString()) &&
         Assign(QStringLiteral("_f"), f_) && Assign(QStringLiteral("_A"), Fp(299792458.0) / f_) &&
         Assign(QStringLiteral("_T"), Fp(1.0) / f_) &&
         Assign(QStringLiteral("_w"), Fp(kTwoPi) * f_) &&
         Assign(QStringLiteral("_tf"), Fp(settings_.oscillations) / f_);
}

void TraceRun::PacingPoint(double t0) {
  if (errors_.Store(percent_, Fp(t_) / end_time_ * 100.0)) {
    const double rounded = Round(percent_, 0);
    // The progress bar takes 0 to 255; beyond, the value does not convert.
    if (rounded >= 0 && rounded <= 255) {
      observer_.SetPB(static_cast<int>(rounded));
    } else {
      errors_.Count(run_errors::kOverflow);
    }
  }
  if (t0 > last_pacing_t0_) observer_.ShowAdv();
  last_pacing_t0_ = t0;
  pacer_.MaybePump(observer_);
}

bool TraceRun::TimeLoop(TimeTrace& trace) {
  while (t_ <= end_time_) {
    engine_.SaveState();
    const double t0 = t_;
    bool repeat = false;
    do {
      if (!Attempt(t0, repeat)) return false;
      if (EveryNthCall(kPacingPeriod)) {
        PacingPoint(t0);
        if (stop_.requested()) return false;  // this attempt is neither counted nor stored
      }
      errors_.Increment(cycles_);
    } while (repeat);

    errors_.Increment(frames_since_sample_);
    if (t_ >= next_sample_time_) {
      StoreSample(trace);
      frames_since_sample_ = 0;
      errors_.Increment(trace.count);
      observer_.PointAdded();
      errors_.Store(next_sample_time_, Fp(next_sample_time_) + sample_interval_);
    }
    previous_vi_ = vi_;
    previous_vo_ = vo_;
    errors_.Increment(frames_);
    if (!(t_ > t0)) {
      // Only a fixed step can get here (the adaptive one never shrinks to a step that does not
      // advance t), and the same step would fail again: the run ends.
      errors_.Count(run_errors::kOverflow);
      return true;
    }
  }
  return true;
}

void TraceRun::StoreSample(TimeTrace& trace) {
  const auto index = static_cast<std::size_t>(trace.count);
  if (index >= trace.times.size()) GrowTrace(trace, index + 1);
  trace.times[index] = t_;
  trace.inputs[index] = vi_;
  trace.outputs[index] = vo_;
  trace.framesPerSample[index] = frames_since_sample_;
}

QString TraceRun::Report(std::int32_t count) {
  QString report = ReportHead();
  report += u"Numero totale cicli: "_qs + QString::number(cycles_) + kLineEnd;
  report += u"Numeto totale frame: "_qs + QString::number(frames_) + kLineEnd;
  // A line whose value cannot be computed (no frames or no samples yet) is left out; its
  // failure is counted before the error counts are written.
  double average = 0;
  if (errors_.Store(average, Fp(cycles_) / frames_)) {
    report += u"Media cicli per frame: "_qs + NumberText(Round(average, 1)) + kLineEnd;
  }
  report += u"Numero campioni: "_qs + QString::number(count) + kLineEnd;
  if (errors_.Store(average, Fp(frames_) / count)) {
    report += u"Media frame per campione: "_qs + NumberText(Round(average, 1)) + kLineEnd;
  }
  report += ReportErrorLines();
  report += u"Timestep minimo: "_qs + NumberText(step_.dt_min) + kLineEnd;
  report += ReportTexts();
  report += kLineEnd + u"Segnale in ingresso (f = "_qs + FormatEng(f_, -3, QStringLiteral("Hz")) +
            u"):"_qs + kLineEnd + settings_.waveform + kLineEnd;
  return report;
}

}  // namespace

std::optional<ParameterItem> ParseParameterItem(const QString& item) {
  const qsizetype p1 = item.indexOf(u' ');
  if (p1 <= 0) return std::nullopt;  // no blank, or no name before it
  if (!IsParameterName(QStringView(item).left(p1))) return std::nullopt;
  const qsizetype p2 = item.indexOf(u'%', p1);
  if (p2 < 0) return std::nullopt;
  const qsizetype p3 = item.indexOf(u'[', p2);
  if (p3 < 0) return std::nullopt;
  const qsizetype p4 = item.indexOf(u';', p3);
  if (p4 < 0) return std::nullopt;
  const qsizetype p5 = item.indexOf(u']', p4);
  if (p5 < 0) return std::nullopt;

  const QStringView text(item);
  const auto between = [text](qsizetype from, qsizetype to) {
    return ParseNumber(text.mid(from + 1, to - from - 1));
  };
  const std::optional<double> percent = between(p1, p2);
  const std::optional<double> minimum = between(p3, p4);
  const std::optional<double> maximum = between(p4, p5);
  if (!percent || !minimum || !maximum) return std::nullopt;
  return ParameterItem{item.left(p1), *percent, *minimum, *maximum};
}

QStringList WaveformNames() {
  QStringList names;
  for (const Waveform& w : kWaveforms) names << QString::fromUtf16(w.name);
  return names;
}

QString WaveformStatement(const QString& waveform) {
  for (const Waveform& w : kWaveforms) {
    if (waveform == QStringView(w.name)) return QString::fromUtf16(w.statement);
  }
  return waveform;
}

double RunFrequencyFromSlider(int value, int maximum, double fs, double fe) {
  if (maximum <= 0) return fs;
  return static_cast<double>(value) / maximum * (fe - fs) + fs;
}

RunOutcome SimulateTrace(FilterEngine& engine, RunObserver& observer, const ScopeSettings& settings,
                         TimeTrace& trace, const bool& stop) {
  if (!IsRunnableFrequency(settings.frequency, settings.oscillations)) {
    return RefusedRun(QString::fromUtf16(kBadFrequencyMessage));
  }
  if (auto problem = TopLevelDeclarationProblem(settings.parameters, settings.functions)) {
    return RefusedRun(*problem);
  }
  const RunGuard guard;
  if (!guard.acquired()) return RunOutcome{};
  TraceRun run(engine, observer, stop, settings);
  RunOutcome outcome;
  engine.RunInside([&] { outcome = run.Run(trace); });
  return outcome;
}

}  // namespace quorvel
