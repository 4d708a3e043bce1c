#pragma once

// Shared by the run tests: the engines the runs are tested on, a fixture with a fresh host per
// test, an engine that records the set-up statements, and an observer with hooks.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/filter_engine.h"
#include "simulation/run_observer.h"
#include "simulation/run_outcome.h"
#include "simulation/script_filter_engine.h"
#include "simulation/text_filter_engine.h"

namespace quorvel {

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// An engine under test. Every engine must give the same results, so the run tests are
// instantiated once per engine.
struct EngineCase {
  const char* name;
  std::function<std::unique_ptr<FilterEngine>(ScriptHost&)> make;
};

inline void PrintTo(const EngineCase& engine, std::ostream* os) { *os << engine.name; }

inline std::vector<EngineCase> Engines() {
  return {
      {"Text", [](ScriptHost& host) { return std::make_unique<TextFilterEngine>(host); }},
      {"Script", [](ScriptHost& host) { return std::make_unique<ScriptFilterEngine>(host); }},
  };
}

inline std::string EngineName(const testing::TestParamInfo<EngineCase>& info) {
  return info.param.name;
}

// Forwards to another engine and records what the run asked for.
class RecordingEngine : public FilterEngine {
 public:
  explicit RecordingEngine(FilterEngine& inner) : inner_(inner) {}

  std::vector<QString> executed;  // every Execute text, in order
  std::vector<QString> state_names;
  QString input_statement;
  int begin_runs = 0;
  int end_runs = 0;
  int resets = 0;
  int functions_runs = 0;
  double min_dt = std::numeric_limits<double>::infinity();
  double max_dt = -std::numeric_limits<double>::infinity();

  ScriptStatus Execute(const QString& text, const QString& source_name) override {
    executed.push_back(text);
    return inner_.Execute(text, source_name);
  }
  Expected<double> EvaluateNumber(const QString& text) override {
    return inner_.EvaluateNumber(text);
  }
  void BeginRun(const std::vector<QString>& names, const QString& functions,
                const QString& input) override {
    ++begin_runs;
    state_names = names;
    input_statement = input;
    inner_.BeginRun(names, functions, input);
  }
  void ResetSavedState() override {
    ++resets;
    inner_.ResetSavedState();
  }
  void SaveState() override { inner_.SaveState(); }
  // min_dt and max_dt: the steps of the attempts, whose t is always above 0 (a run's start
  // from rest restores the state with t = 0).
  int RestoreAndSet(double dt, double t, const double* vi) override {
    if (t > 0 && dt < min_dt) min_dt = dt;
    if (t > 0 && dt > max_dt) max_dt = dt;
    return inner_.RestoreAndSet(dt, t, vi);
  }
  Expected<double> RunInput() override { return inner_.RunInput(); }
  ScriptStatus RunFunctions() override {
    ++functions_runs;
    return inner_.RunFunctions();
  }
  Expected<double> ReadOutput() override { return inner_.ReadOutput(); }
  void EndRun() override {
    ++end_runs;
    inner_.EndRun();
  }

 private:
  FilterEngine& inner_;
};

// Counts every call; a test hooks the calls it wants to act on.
class HookedObserver : public RunObserver {
 public:
  int show2 = 0;
  int set_pb = 0;
  int show_adv = 0;
  int add_err = 0;
  int unload2 = 0;
  int pump_events = 0;
  int last_percent = -1;
  QString callback_name;
  QString title;

  std::function<void()> on_set_pb;
  std::function<void()> on_show_adv;
  std::function<void()> on_add_err;
  std::function<void()> on_pump_events;

  int calls() const { return show2 + set_pb + show_adv + add_err + unload2 + pump_events; }

  void Show2(const QString& callback, const QString& t) override {
    ++show2;
    callback_name = callback;
    title = t;
  }
  void SetPB(int percent) override {
    ++set_pb;
    last_percent = percent;
    if (on_set_pb) on_set_pb();
  }
  void ShowAdv() override {
    ++show_adv;
    if (on_show_adv) on_show_adv();
  }
  void AddErr() override {
    ++add_err;
    if (on_add_err) on_add_err();
  }
  void Unload2() override { ++unload2; }
  void PumpEvents() override {
    ++pump_events;
    if (on_pump_events) on_pump_events();
  }
};

// A fresh host with the prelude for each test, and the engine under test on it.
class RunTest : public testing::TestWithParam<EngineCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.LoadCode(PreludeText()).ok());
    engine_ = GetParam().make(host_);
  }

  ScriptHost host_;  // declared first: the engine goes before the host
  std::unique_ptr<FilterEngine> engine_;
};

// The report of a run that started, nullopt for one that did not.
inline std::optional<QString> ReportOf(const RunOutcome& outcome) {
  if (!outcome.started()) return std::nullopt;
  return outcome.report;
}

inline QStringList ReportLines(const QString& report) {
  return report.split(QStringLiteral("\r\n"));
}

// The value after `prefix` on the report line that starts with it, or -1.
inline int ReportCount(const QString& report, const QString& prefix) {
  for (const QString& line : ReportLines(report)) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).toInt();
  }
  return -1;
}

}  // namespace quorvel
