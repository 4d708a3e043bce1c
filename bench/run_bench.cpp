// End-to-end cost of the runs. The same sweep and oscilloscope configurations run three ways in
// one process:
//   real    the script host's prepared step calls (what the program uses)
//   native  the same arithmetic in C++, plugged in where the engine goes: the floor, the cost of
//           the run's own loop, rounding and bookkeeping
//   naive   every statement evaluated as text, compile cache off
// and the table gives attempts, ns per attempt, time per run and the ratios real/native and
// naive/real. A last pair of lines measures what pacing (progress checks and event delivery)
// costs a run.
#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/script_filter_engine.h"
#include "simulation/text_filter_engine.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

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
  void BeginRun(const std::vector<QString>& n, const QString& f, const QString& i) override {
    inner_.BeginRun(n, f, i);
  }
  void ResetSavedState() override { inner_.ResetSavedState(); }
  void SaveState() override { inner_.SaveState(); }
  int RestoreAndSet(double dt, double t, const double* vi) override {
    ++attempts;
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
    const auto start = Clock::now();
    run();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    if (i == 0 || s < best.seconds) best = {attempts, s};
  }
  return best;
}

void RunOn(FilterEngine& engine, RunObserver& observer, const NativeFilter& f, Run which) {
  const bool cancel = false;
  if (which == Run::Sweep) {
    SweepResult result;
    // 100 Hz to 10 kHz, 6 frequencies, 10 oscillations each.
    (void)RunFrequencySweep(engine, observer,
                            SweepSettings{100, 10000, 6, 10, f.parameters, f.functions}, result,
                            cancel);
  } else {
    TimeTrace trace;
    // 1 kHz, 60 oscillations, 2000 samples.
    (void)SimulateTrace(
        engine, observer,
        ScopeSettings{1000, 60, 2000, u"sinusoidale"_qs, {}, f.parameters, f.functions}, trace,
        cancel);
  }
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
  ScriptEngineInit engine_init;
  ScriptHost host;
  if (!host.LoadCode(PreludeText()).ok()) return 1;
  SilentObserver silent;
  const int repeats = 5;

  std::printf("%-22s %-6s %-7s %9s %12s %12s %12s %12s\n", "filter", "run", "engine", "attempts",
              "ns/attempt", "ms/run", "real/native", "naive/real");
  for (const NativeFilter& f : Filters()) {
    for (Run which : {Run::Sweep, Run::Scope}) {
      const char* run_name = which == Run::Sweep ? "sweep" : "scope";
      NativeFilterEngine native(f);
      Timing t_native = Time([&] { RunOn(native, silent, f, which); }, native.attempts, repeats);

      ScriptFilterEngine real_inner(host);
      CountingEngine real(real_inner);
      Timing t_real = Time([&] { RunOn(real, silent, f, which); }, real.attempts, repeats);

      host.SetCompileCacheEnabled(false);
      TextFilterEngine naive_inner(host);
      CountingEngine naive(naive_inner);
      Timing t_naive = Time([&] { RunOn(naive, silent, f, which); }, naive.attempts, 2);
      host.SetCompileCacheEnabled(true);

      for (auto [name, t] : {std::pair{"native", t_native}, std::pair{"real", t_real},
                             std::pair{"naive", t_naive}}) {
        std::printf("%-22s %-6s %-7s %9ld %12.1f %12.2f", f.label, run_name, name, t.attempts,
                    t.NsPerAttempt(), t.seconds * 1e3);
        if (std::string(name) == "real") {
          std::printf(" %12.1f %12.1f", t_real.NsPerAttempt() / t_native.NsPerAttempt(),
                      t_naive.NsPerAttempt() / t_real.NsPerAttempt());
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
