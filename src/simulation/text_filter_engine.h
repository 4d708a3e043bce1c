#pragma once

#include "scripting/script_var_list.h"
#include "simulation/filter_engine.h"

namespace quorvel {

class ScriptHost;

// Every step through statement texts, as the program's statements are written: the state save
// and restore of ScriptVarList, "dt=" with the number's 15-digit text, and so on. Slow (each
// assignment is a new text to compile) but the plain meaning of a run: the fast engine must
// give bit for bit the same results.
class TextFilterEngine : public FilterEngine {
 public:
  explicit TextFilterEngine(ScriptHost& host) : host_(host) {}

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
  void EndRun() override {}

 private:
  ScriptHost& host_;
  ScriptVarList state_;
  QString functions_;
  QString input_;
};

}  // namespace quorvel
