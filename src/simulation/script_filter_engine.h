#pragma once

#include "simulation/filter_engine.h"

namespace quorvel {

class ScriptHost;

// The real engine: the script host's prepared time-step calls.
class ScriptFilterEngine : public FilterEngine {
 public:
  explicit ScriptFilterEngine(ScriptHost& host) : host_(host) {}

  ScriptStatus Execute(const QString& text, const QString& source_name) override;
  Expected<double> EvaluateNumber(const QString& text) override;
  void BeginRun(const std::vector<QString>& state_names, const QString& functions,
                const QString& input_statement) override;
  void ResetSavedState() override;
  void SaveState() override;
  int RestoreAndSet(double dt, double t, const double* vi) override;
  Expected<double> RunInput() override;
  ScriptStatus RunFunctions() override;
  Expected<double> ReadOutput() override;
  void EndRun() override;

 private:
  ScriptHost& host_;
};

}  // namespace quorvel
