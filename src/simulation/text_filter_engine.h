#pragma once

#include "scripting/script_var_list.h"
#include "simulation/filter_engine.h"

namespace quorvel {

// Every step through statement texts, as the program's statements are written: the state save
// and restore of ScriptVarList, "dt=" with the number's 15-digit text, and so on. Slow (each
// assignment is a new text to compile) but the plain meaning of a run: the fast engine must
// give bit for bit the same results.
class TextFilterEngine : public HostFilterEngine {
 public:
  explicit TextFilterEngine(ScriptHost& host) : HostFilterEngine(host) {}

 protected:
  ScriptStatus DoBeginRun(const std::vector<QString>& state_names, const QString& functions,
                          const QString& input_statement) override;
  void DoResetSavedState() override;
  std::optional<ScriptError> DoSaveState() override;
  Expected<int> DoRestoreAndSet(double dt, double t, const double* vi) override;
  Expected<double> DoRunInput() override;
  ScriptStatus DoRunFunctions() override;
  Expected<double> DoReadOutput() override;
  void DoEndRun() override {}
  ScriptStatus DoSetNumber(const QString& name, double value) override;

 private:
  Expected<double> Number(const QString& text);

  ScriptVarList state_;
  QString functions_;
  QString input_;
};

}  // namespace quorvel
