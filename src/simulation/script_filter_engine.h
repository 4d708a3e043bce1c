#pragma once

#include "simulation/filter_engine.h"

namespace quorvel {

// The real engine: the script host's prepared time-step calls.
class ScriptFilterEngine : public HostFilterEngine {
 public:
  explicit ScriptFilterEngine(ScriptHost& host) : HostFilterEngine(host) {}

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
};

}  // namespace quorvel
