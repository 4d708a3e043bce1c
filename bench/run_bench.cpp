// End-to-end cost of the runs. The same sweep and oscilloscope configurations run these ways in
// one process:
//   bare    the run's loop written out in C++ for the filter at hand, plain doubles: the floor
//   exact   the same loop with the program's 15-digit rounding of dt, t, vi and of every saved
//           state value, so that it gives the program's results bit for bit (checked)
//   loop    the program's own run with the filter in C++ plugged in where the engine goes: the
//           cost of the run's loop, error trap and bookkeeping
//   real    the program's run on the script host, as the program runs
//   calls   the same with each part of an attempt its own outermost engine call, as the program
//           made them before runs entered the engine once (the gain of doing so)
//   naive   (with --naive) every statement evaluated as text, compile cache off
// and the table gives attempts, ns of CPU time per attempt, CPU time per run (the best of the
// repeats), the ratios real/exact and real/bare, and whether exact gave the same bits as real.
// A last line measures what pacing (progress checks and event delivery) costs a run.
//
//   run_bench [--naive] [--repeats N] [--only ENGINE[,ENGINE...]]
#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "scripting/script_var_list.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/script_filter_engine.h"
#include "simulation/step_control.h"
#include "simulation/text_filter_engine.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

// The CPU time of this thread, in seconds: what a run costs, whatever else the machine runs.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The filter's variables, by slot. The engine-facing names map to slots once, at set-up.
struct NativeVars {
  std::vector<double> v;
  QHash<QString, int> slot_of;
  int Slot(const QString& name) {
    auto it = slot_of.find(name);
    if (it != slot_of.end()) return *it;
    v.push_back(0);
    return slot_of[name] = int(v.size()) - 1;
  }
};

struct NativeFilter {
  const char* label;
  QString parameters;
  QString functions;
  // Set-up by name (runs once per frequency); the step by slot.
  std::function<void(NativeVars&)> run_parameters;
  std::function<std::function<void(std::vector<double>&)>(NativeVars&)> bind_functions;
};

// A filter written in C++ that answers the run's calls as the script engine would, without
// any engine: the floor of the loop.
class NativeFilterEngine : public FilterEngine {
 public:
  explicit NativeFilterEngine(const NativeFilter& filter) : filter_(filter) {
    dt_ = vars_.Slot(u"dt"_qs);
    t_ = vars_.Slot(u"t"_qs);
    vi_ = vars_.Slot(u"vi"_qs);
    vo_ = vars_.Slot(u"vo"_qs);
  }

  ScriptStatus Execute(const QString& text, const QString&) override {
    if (text == filter_.parameters) {
      filter_.run_parameters(vars_);
      return Ok();
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq > 0) {
      if (auto value = ParseNumber(QStringView(text).mid(eq + 1))) {
        vars_.v[size_t(vars_.Slot(text.left(eq)))] = *value;
      }
    }
    return Ok();
  }
  Expected<double> EvaluateNumber(const QString& text) override {
    return vars_.v[size_t(vars_.Slot(text))];
  }
  void BeginRun(const std::vector<QString>& names, const QString&, const QString&) override {
    state_.clear();
    for (const QString& n : names) state_.push_back(vars_.Slot(n));
    saved_.assign(state_.size(), 0);
    rounded_.assign(state_.size(), 0);
    step_ = filter_.bind_functions(vars_);
    w_ = vars_.Slot(u"_w"_qs);
  }
  void ResetSavedState() override {
    std::fill(saved_.begin(), saved_.end(), 0);
    std::fill(rounded_.begin(), rounded_.end(), 0);
  }
  void SaveState() override {
    for (size_t i = 0; i < state_.size(); ++i) {
      const double raw = vars_.v[size_t(state_[i])];
      if (raw != rounded_[i]) rounded_[i] = RoundTo15Digits(raw);
      saved_[i] = rounded_[i];
    }
  }
  int RestoreAndSet(double dt, double t, const double* vi) override {
    ++attempts;
    for (size_t i = 0; i < state_.size(); ++i) vars_.v[size_t(state_[i])] = saved_[i];
    vars_.v[size_t(dt_)] = RoundTo15Digits(dt);
    vars_.v[size_t(t_)] = RoundTo15Digits(t);
    if (vi != nullptr) vars_.v[size_t(vi_)] = RoundTo15Digits(*vi);
    return 0;
  }
  Expected<double> RunInput() override {
    // The oscilloscope's sine: vi = Math.sin(t * _w).
    return vars_.v[size_t(vi_)] = std::sin(vars_.v[size_t(t_)] * vars_.v[size_t(w_)]);
  }
  ScriptStatus RunFunctions() override {
    step_(vars_.v);
    return Ok();
  }
  Expected<double> ReadOutput() override { return vars_.v[size_t(vo_)]; }
  void EndRun() override {}

  long attempts = 0;

 private:
  const NativeFilter& filter_;
  NativeVars vars_;
  std::vector<int> state_;
  std::vector<double> saved_;
  std::vector<double> rounded_;
  std::function<void(std::vector<double>&)> step_;
  int dt_, t_, vi_, vo_, w_ = 0;
};

// Counts attempts for the engines that do not count themselves.
class CountingEngine : public FilterEngine {
 public:
  explicit CountingEngine(FilterEngine& inner) : inner_(inner) {}
  ScriptStatus Execute(const QString& text, const QString& source) override {
    return inner_.Execute(text, source);
  }
  Expected<double> EvaluateNumber(const QString& text) override {
    return inner_.EvaluateNumber(text);
  }
  ScriptStatus SetNumber(const QString& name, double value) override {
    return inner_.SetNumber(name, value);
  }
  void RunInside(const std::function<void()>& body) override { inner_.RunInside(body); }
  bool Attempt(double dt, double t, const double* vi, AttemptSink& sink) override {
    ++attempts;
    return inner_.Attempt(dt, t, vi, sink);
  }
  void BeginRun(const std::vector<QString>& n, const QString& f, const QString& i) override {
    inner_.BeginRun(n, f, i);
  }
  void ResetSavedState() override { inner_.ResetSavedState(); }
  void SaveState() override { inner_.SaveState(); }
  int RestoreAndSet(double dt, double t, const double* vi) override {
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

std::vector<NativeFilter> Filters() {
  std::vector<NativeFilter> filters;
  filters.push_back({"vo=vi", QString(), u"vo=vi\r\n"_qs, [](NativeVars&) {},
                     [](NativeVars& vars) {
                       const size_t vi = size_t(vars.Slot(u"vi"_qs));
                       const size_t vo = size_t(vars.Slot(u"vo"_qs));
                       return [=](std::vector<double>& v) { v[vo] = v[vi]; };
                     }});
  filters.push_back(
      {"RC low-pass", u"RC=0.000159154943091895"_qs, u"vo = vo + (vi - vo) * dt / RC\r\n"_qs,
       [](NativeVars& vars) { vars.v[size_t(vars.Slot(u"RC"_qs))] = 0.000159154943091895; },
       [](NativeVars& vars) {
         const size_t vi = size_t(vars.Slot(u"vi"_qs));
         const size_t vo = size_t(vars.Slot(u"vo"_qs));
         const size_t dt = size_t(vars.Slot(u"dt"_qs));
         const size_t rc = size_t(vars.Slot(u"RC"_qs));
         return [=](std::vector<double>& v) { v[vo] = v[vo] + (v[vi] - v[vo]) * v[dt] / v[rc]; };
       }});
  filters.push_back(
      {"second-order section", u"w0=6283.18530717958; z=0.5"_qs,
       u"x1 = x1 + x2 * dt\r\nx2 = x2 + (w0 * w0 * (vi - x1) - 2 * z * w0 * x2) * dt\r\n"
       "vo = x1\r\n"_qs,
       [](NativeVars& vars) {
         vars.v[size_t(vars.Slot(u"w0"_qs))] = 6283.18530717958;
         vars.v[size_t(vars.Slot(u"z"_qs))] = 0.5;
       },
       [](NativeVars& vars) {
         const size_t vi = size_t(vars.Slot(u"vi"_qs)), vo = size_t(vars.Slot(u"vo"_qs));
         const size_t dt = size_t(vars.Slot(u"dt"_qs)), x1 = size_t(vars.Slot(u"x1"_qs));
         const size_t x2 = size_t(vars.Slot(u"x2"_qs)), w0 = size_t(vars.Slot(u"w0"_qs));
         const size_t z = size_t(vars.Slot(u"z"_qs));
         return [=](std::vector<double>& v) {
           v[x1] = v[x1] + v[x2] * v[dt];
           v[x2] = v[x2] + (v[w0] * v[w0] * (v[vi] - v[x1]) - 2 * v[z] * v[w0] * v[x2]) * v[dt];
           v[vo] = v[x1];
         };
       }});
  filters.push_back({"pows and mod", QString(), u"vo = pows(vi, 3) * 0.5 + mod(vi, 0.25)\r\n"_qs,
                     [](NativeVars&) {},
                     [](NativeVars& vars) {
                       const size_t vi = size_t(vars.Slot(u"vi"_qs));
                       const size_t vo = size_t(vars.Slot(u"vo"_qs));
                       const size_t r = size_t(vars.Slot(u"r"_qs));
                       return [=](std::vector<double>& v) {
                         const double b = v[vi];
                         const double sgn = b > 0 ? 1 : (b < 0 ? -1 : 0);
                         const double pows = std::pow(std::fabs(b), 3) * sgn;
                         v[r] = b / 0.25;
                         const double int_r = v[r] >= 0 ? std::floor(v[r]) : std::ceil(v[r]);
                         v[vo] = pows * 0.5 + (v[r] - int_r) * 0.25;
                       };
                     }});
  return filters;
}

// The runs written out for one filter in C++: the sweep's and the oscilloscope's loops as the
// program makes them (the same frequencies, steps, step control and measurements), without an
// engine, without the error trap's calls and without pacing. With kExact the filter sees what
// the program's statements give it: dt, t and vi rounded to 15 significant digits and every
// state value rounded when it is saved; so the results are the program's bit for bit.
template <bool kExact>
class ReferenceRun {
 public:
  explicit ReferenceRun(const NativeFilter& filter) : filter_(filter) {
    ScriptVarList names;
    CollectAssignedNames(filter.parameters, names);
    CollectAssignedNames(filter.functions, names);
    for (const char16_t* n : {u"dt", u"vi", u"vo"}) SetVar(names, QString::fromUtf16(n), u"0"_qs);
    for (const QString& name : names.names) state_.push_back(size_t(vars_.Slot(name)));
    dt_ = size_t(vars_.Slot(u"dt"_qs));
    t_ = size_t(vars_.Slot(u"t"_qs));
    vi_ = size_t(vars_.Slot(u"vi"_qs));
    vo_ = size_t(vars_.Slot(u"vo"_qs));
    w_ = size_t(vars_.Slot(u"_w"_qs));
    saved_.assign(state_.size(), 0);
    rounded_.assign(state_.size(), 0);
    step_ = filter.bind_functions(vars_);
  }

  long attempts = 0;

  void Sweep(const SweepSettings& s, SweepResult& result) {
    result.points.assign(size_t(s.samples), ResponsePoint{});
    result.count = 0;
    const int n = s.samples - 1;
    const double log_ratio = Log10(s.end_frequency / s.start_frequency).value_or(0);
    for (int i = 0; i <= n; ++i) {
      const double position = n > 0 ? double(i) / n : 0.0;
      const double f = std::pow(10.0, position * log_ratio) * s.start_frequency;
      const double w = kTwoPi * f;
      const double end_time = s.oscillations / f;
      const double period = 1.0 / f;
      StepControl step;
      step.dt_min = 1.0 / f / 5000.0;
      step.dt_max = 10.0 * step.dt_min;
      double dt = step.dt_min;
      FromRest(dt);
      for (int twice = 0; twice < 2; ++twice) {
        if (twice == 1) Reset();
        vars_.v[dt_] = R(dt);
        vars_.v[vo_] = 0;
        filter_.run_parameters(vars_);
      }
      double integral_vi = 0, integral_vo = 0, minimum_vo = 0, minimum_time = 0;
      double t = 0, vi = 0, vo = 0, previous_vi = 0, previous_vo = 0;
      while (t <= end_time) {
        TimeStep(step, dt, t, vi, vo, previous_vi, previous_vo,
                 [&](double time) { return vars_.v[vi_] = R(std::sin(time * w)); });
        if (t <= period && vo < minimum_vo) {
          minimum_vo = vo;
          minimum_time = t;
        }
        integral_vi = integral_vi + std::fabs(vi) * dt;
        integral_vo = integral_vo + std::fabs(vo) * dt;
        previous_vi = vi;
        previous_vo = vo;
      }
      ResponsePoint& point = result.points[size_t(result.count++)];
      point.frequency = f;
      point.amplitude = integral_vi == 0 ? 0 : integral_vo / integral_vi;
      if (minimum_vo != 0) {
        double phase = (0.75 / f - minimum_time) * f * 360.0;
        if (std::fabs(phase) >= 180.5) phase = std::fabs(phase) - 360;
        point.phase = phase;
      } else {
        point.phase = i > 0 ? result.points[size_t(i - 1)].phase : 0;
      }
    }
  }

  // The oscilloscope with the sine input statement, vi = Math.sin(t * _w).
  void Scope(const ScopeSettings& s, TimeTrace& trace) {
    const double f = s.frequency;
    const auto size = size_t(s.samples + 1);
    trace.times.assign(size, 0.0);
    trace.inputs.assign(size, 0.0);
    trace.outputs.assign(size, 0.0);
    trace.framesPerSample.assign(size, 0);
    trace.count = 0;
    FromRest(0);
    const double end_time = double(s.oscillations) / f;
    const double sample_interval = end_time / s.samples;
    vars_.v[dt_] = 0;
    vars_.v[vo_] = 0;
    filter_.run_parameters(vars_);
    StepControl step;
    step.dt_min = 1.0 / f / 5000.0;
    step.dt_max = 10.0 * step.dt_min;
    double dt = step.dt_min;
    vars_.v[w_] = R(kTwoPi * f);
    double t = 0, vi = 0, vo = 0, previous_vi = 0, previous_vo = 0, next_sample_time = 0;
    int frames_since_sample = 0;
    while (t <= end_time) {
      // The input statement, vi = Math.sin(t * _w), on the t and _w the filter sees.
      TimeStep(step, dt, t, vi, vo, previous_vi, previous_vo,
               [&](double) { return vars_.v[vi_] = std::sin(vars_.v[t_] * vars_.v[w_]); });
      ++frames_since_sample;
      if (t >= next_sample_time) {
        const auto k = size_t(trace.count);
        if (k < size) {
          trace.times[k] = t;
          trace.inputs[k] = vi;
          trace.outputs[k] = vo;
          trace.framesPerSample[k] = frames_since_sample;
        }
        frames_since_sample = 0;
        ++trace.count;
        next_sample_time = next_sample_time + sample_interval;
      }
      previous_vi = vi;
      previous_vo = vo;
    }
  }

 private:
  // One time step from t: attempts until the step control keeps one. `input(t)` sets vi once
  // the state is restored and gives it.
  template <typename Input>
  void TimeStep(StepControl& step, double& dt, double& t, double& vi, double& vo,
                double previous_vi, double previous_vo, Input input) {
    Save();
    const double t0 = t;
    bool repeat = false;
    do {
      t = t0 + dt;
      Restore(dt, t);
      vi = input(t);
      step_(vars_.v);
      vo = vars_.v[vo_];
      ++attempts;
      repeat = step.AfterAttempt(errors_, dt, t0, previous_vi, vi, previous_vo, vo);
    } while (repeat);
  }

  static double R(double x) {
    if constexpr (kExact) {
      return RoundTo15Digits(x);
    } else {
      return x;
    }
  }
  void Reset() {
    std::fill(saved_.begin(), saved_.end(), 0);
    std::fill(rounded_.begin(), rounded_.end(), 0);
  }
  void FromRest(double dt) {
    Reset();
    Restore(dt, 0);
    vars_.v[vi_] = 0;
  }
  // Rounds what the save finds as the program does: once per value, and not at all for a value
  // that still holds what it was rounded to or the dt, t or vi just set.
  void Save() {
    for (size_t i = 0; i < state_.size(); ++i) {
      const double raw = vars_.v[state_[i]];
      if (!Same(raw, rounded_[i]) && !Same(raw, vars_.v[dt_]) && !Same(raw, vars_.v[t_]) &&
          !Same(raw, vars_.v[vi_])) {
        rounded_[i] = R(raw);
      } else {
        rounded_[i] = raw;
      }
      saved_[i] = rounded_[i];
    }
  }
  static bool Same(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }
  // dt is rounded when the step control changed it.
  void Restore(double dt, double t) {
    for (size_t i = 0; i < state_.size(); ++i) vars_.v[state_[i]] = saved_[i];
    if (!Same(dt, dt_in_)) {
      dt_in_ = dt;
      dt_rounded_ = R(dt);
    }
    vars_.v[dt_] = dt_rounded_;
    vars_.v[t_] = R(t);
  }

  const NativeFilter& filter_;
  NativeVars vars_;
  std::vector<size_t> state_;
  std::vector<double> saved_;
  std::vector<double> rounded_;
  std::function<void(std::vector<double>&)> step_;
  size_t dt_, t_, vi_, vo_, w_;
  double dt_in_ = std::nan("");
  double dt_rounded_ = 0;
  SilentObserver observer_;
  RunErrors errors_{observer_};
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameSweep(const SweepResult& a, const SweepResult& b) {
  if (a.count != b.count) return false;
  for (size_t i = 0; i < size_t(a.count); ++i) {
    const ResponsePoint &p = a.points[i], &q = b.points[i];
    if (!SameBits(p.frequency, q.frequency) || !SameBits(p.amplitude, q.amplitude) ||
        !SameBits(p.phase, q.phase)) {
      return false;
    }
  }
  return true;
}

bool SameTrace(const TimeTrace& a, const TimeTrace& b) {
  if (a.count != b.count) return false;
  for (size_t i = 0; i < size_t(a.count) && i < a.times.size(); ++i) {
    if (!SameBits(a.times[i], b.times[i]) || !SameBits(a.inputs[i], b.inputs[i]) ||
        !SameBits(a.outputs[i], b.outputs[i]) || a.framesPerSample[i] != b.framesPerSample[i]) {
      return false;
    }
  }
  return true;
}

struct Timing {
  long attempts = 0;
  double seconds = 0;
  double NsPerAttempt() const { return attempts ? seconds * 1e9 / double(attempts) : 0; }
};

enum class Run { Sweep, Scope };

template <typename RunFn>
Timing Time(RunFn&& run, long& attempts, int repeats) {
  Timing best;
  for (int i = 0; i < repeats; ++i) {
    attempts = 0;
    const double start = CpuSeconds();
    run();
    const double s = CpuSeconds() - start;
    if (i == 0 || s < best.seconds) best = {attempts, s};
  }
  return best;
}

// 100 Hz to 10 kHz, 6 frequencies, 10 oscillations each.
SweepSettings SweepOf(const NativeFilter& f) {
  return SweepSettings{100, 10000, 6, 10, f.parameters, f.functions};
}
// 1 kHz, 60 oscillations, 2000 samples.
ScopeSettings ScopeOf(const NativeFilter& f) {
  return ScopeSettings{1000, 60, 2000, u"sinusoidale"_qs, {}, f.parameters, f.functions};
}

struct Results {
  SweepResult sweep;
  TimeTrace trace;
};

void RunOn(FilterEngine& engine, RunObserver& observer, const NativeFilter& f, Run which,
           Results& out) {
  const bool cancel = false;
  if (which == Run::Sweep) {
    (void)RunFrequencySweep(engine, observer, SweepOf(f), out.sweep, cancel);
  } else {
    (void)SimulateTrace(engine, observer, ScopeOf(f), out.trace, cancel);
  }
}

template <bool kExact>
Timing TimeReference(const NativeFilter& f, Run which, int repeats, Results& out) {
  Timing best;
  for (int i = 0; i < repeats; ++i) {
    ReferenceRun<kExact> reference(f);
    const double start = CpuSeconds();
    if (which == Run::Sweep) {
      reference.Sweep(SweepOf(f), out.sweep);
    } else {
      reference.Scope(ScopeOf(f), out.trace);
    }
    const double s = CpuSeconds() - start;
    if (i == 0 || s < best.seconds) best = {reference.attempts, s};
  }
  return best;
}

// Delivers events as a window does during a run, and keeps the time that took.
class PumpingObserver : public SilentObserver {
 public:
  void PumpEvents() override {
    const auto start = Clock::now();
    QCoreApplication::processEvents();
    ++pumps;
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }
  long pumps = 0;
  double seconds = 0;
};

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  using namespace quorvel;
  QCoreApplication app(argc, argv);
  bool naive_too = false;
  int repeats = 5;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--naive") {
      naive_too = true;
    } else if (arg == "--repeats" && i + 1 < argc) {
      repeats = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: run_bench [--naive] [--repeats N] [--only ENGINE]\n");
      return 2;
    }
  }
  // --only takes one engine or a comma-separated list.
  auto wanted = [&](const char* engine) {
    return only.empty() || (u","_qs + QString::fromStdString(only) + u","_qs)
                               .contains(u","_qs + QString::fromLatin1(engine) + u","_qs);
  };
  ScriptEngineInit engine_init;
  ScriptHost host;
  if (!host.LoadCode(PreludeText()).ok()) return 1;
  SilentObserver silent;

  std::printf("%-21s %-5s %-6s %8s %11s %9s %10s %9s %5s\n", "filter", "run", "engine", "attempts",
              "ns/attempt", "ms/run", "real/exact", "real/bare", "bits");
  for (const NativeFilter& f : Filters()) {
    for (Run which : {Run::Sweep, Run::Scope}) {
      const char* run_name = which == Run::Sweep ? "sweep" : "scope";
      Results bare_out, exact_out, loop_out, real_out, calls_out, naive_out;
      Timing t_bare, t_exact, t_loop, t_real, t_calls, t_naive;
      if (wanted("bare")) t_bare = TimeReference<false>(f, which, repeats, bare_out);
      if (wanted("exact")) t_exact = TimeReference<true>(f, which, repeats, exact_out);
      if (wanted("loop")) {
        NativeFilterEngine native(f);
        t_loop = Time([&] { RunOn(native, silent, f, which, loop_out); }, native.attempts, repeats);
      }
      if (wanted("real")) {
        ScriptFilterEngine real_inner(host);
        CountingEngine real(real_inner);
        t_real = Time([&] { RunOn(real, silent, f, which, real_out); }, real.attempts, repeats);
      }
      if (wanted("calls")) {
        ScriptFilterEngine calls_inner(host);
        calls_inner.SetWholeAttempts(false);
        calls_inner.SetEnterOnce(false);
        CountingEngine calls(calls_inner);
        t_calls = Time([&] { RunOn(calls, silent, f, which, calls_out); }, calls.attempts, repeats);
      }
      if (naive_too) {
        host.SetCompileCacheEnabled(false);
        TextFilterEngine naive_inner(host);
        CountingEngine naive(naive_inner);
        t_naive = Time([&] { RunOn(naive, silent, f, which, naive_out); }, naive.attempts, 2);
        host.SetCompileCacheEnabled(true);
      }
      const bool same_bits = which == Run::Sweep ? SameSweep(exact_out.sweep, real_out.sweep)
                                                 : SameTrace(exact_out.trace, real_out.trace);
      for (auto [name, t] :
           {std::pair{"bare", t_bare}, std::pair{"exact", t_exact}, std::pair{"loop", t_loop},
            std::pair{"real", t_real}, std::pair{"calls", t_calls}, std::pair{"naive", t_naive}}) {
        if (t.attempts == 0) continue;
        std::printf("%-21s %-5s %-6s %8ld %11.1f %9.2f", f.label, run_name, name, t.attempts,
                    t.NsPerAttempt(), t.seconds * 1e3);
        const bool real = std::string(name) == "real";
        if ((real || std::string(name) == "calls") && t_exact.attempts > 0 && t_bare.attempts > 0) {
          std::printf(" %10.1f %9.1f", t.NsPerAttempt() / t_exact.NsPerAttempt(),
                      t.NsPerAttempt() / t_bare.NsPerAttempt());
          if (real) std::printf(" %5s", same_bits ? "same" : "DIFF");
        }
        std::printf("\n");
      }
    }
  }

  // Pacing: the share of a real run spent delivering events, as a window would.
  const NativeFilter& rc = Filters()[1];
  ScriptFilterEngine real_inner(host);
  PumpingObserver pumping;
  const bool cancel = false;
  SweepResult result;
  const auto start = Clock::now();
  (void)RunFrequencySweep(real_inner, pumping,
                          SweepSettings{100, 10000, 10, 40, rc.parameters, rc.functions}, result,
                          cancel);
  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "\npacing: RC sweep of %.0f ms delivered events %ld times, %.2f ms in all: %.2f %% "
      "of the run\n",
      total * 1e3, pumping.pumps, pumping.seconds * 1e3, pumping.seconds / total * 100);
  return 0;
}
