#pragma once

#include "simulation/filter_engine.h"

namespace quorvel {

// The real engine: the script host's prepared time-step calls, each attempt one engine call,
// made from inside one call that holds the whole run.
class ScriptFilterEngine : public HostFilterEngine {
 public:
  explicit ScriptFilterEngine(ScriptHost& host) : HostFilterEngine(host) {}

  // Both on by default: each attempt in one engine call, and the whole run inside one call.
  // Off, the engine makes its calls one by one, as the statement-text engine does (the tests
  // compare the ways).
  void SetWholeAttempts(bool on) { whole_attempts_ = on; }
  void SetEnterOnce(bool on) { enter_once_ = on; }

 protected:
  ScriptStatus DoBeginRun(const std::vector<QString>& state_names, const QString& functions,
                          const QString& input_statement) override;
  void DoResetSavedState() override;
  std::optional<ScriptError> DoSaveState() override;
  Expected<int> DoRestoreAndSet(double dt, double t, const double* vi) override;
  Expected<double> DoRunInput() override;
  ScriptStatus DoRunFunctions() override;
  Expected<double> DoReadOutput() override;
  void DoEndRun() override;
  ScriptStatus DoSetNumber(const QString& name, double value) override;
  bool DoesWholeAttempts() const override { return whole_attempts_; }
  bool DoAttempt(double dt, double t, const double* vi, AttemptSink& sink) override;
  bool EntersOnce() const override { return enter_once_; }

 private:
  bool whole_attempts_ = true;
  bool enter_once_ = true;
};

}  // namespace quorvel
