#include "simulation/script_filter_engine.h"

#include "scripting/script_host.h"

namespace quorvel {

ScriptStatus ScriptFilterEngine::DoBeginRun(const std::vector<QString>& state_names,
                                            const QString& functions,
                                            const QString& input_statement) {
  return host().BeginRun(state_names, functions, input_statement);
}

void ScriptFilterEngine::DoResetSavedState() { host().ResetRunState(); }

std::optional<ScriptError> ScriptFilterEngine::DoSaveState() {
  // A stopped statement-text save is reported by the next restore.
  host().SaveRunState();
  return std::nullopt;
}

Expected<int> ScriptFilterEngine::DoRestoreAndSet(double dt, double t, const double* vi) {
  return host().RestoreRunState(dt, t, vi);
}

Expected<double> ScriptFilterEngine::DoRunInput() { return host().RunInputStatement(); }
ScriptStatus ScriptFilterEngine::DoRunFunctions() { return host().RunFunctions(); }
Expected<double> ScriptFilterEngine::DoReadOutput() { return host().ReadOutput(); }
void ScriptFilterEngine::DoEndRun() { host().EndRun(); }
ScriptStatus ScriptFilterEngine::DoSetNumber(const QString& name, double value) {
  return host().SetNumber(name, value);
}
bool ScriptFilterEngine::DoAttempt(double dt, double t, const double* vi, AttemptSink& sink) {
  return host().RunAttempt(dt, t, vi, sink);
}

}  // namespace quorvel
