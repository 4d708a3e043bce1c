#include "simulation/script_filter_engine.h"

#include "scripting/script_host.h"

namespace quorvel {

ScriptStatus ScriptFilterEngine::Execute(const QString& text, const QString& source_name) {
  auto result = host_.Evaluate(text, source_name);
  if (!result) return result.error();
  return Ok();
}

Expected<double> ScriptFilterEngine::EvaluateNumber(const QString& text) {
  auto value = host_.Evaluate(text);
  if (!value) return value.error();
  return ScriptHost::ToDouble(*value);
}

void ScriptFilterEngine::BeginRun(const std::vector<QString>& state_names, const QString& functions,
                                  const QString& input_statement) {
  host_.BeginRun(state_names, functions, input_statement);
}

void ScriptFilterEngine::ResetSavedState() { host_.ResetRunState(); }
void ScriptFilterEngine::SaveState() { host_.SaveRunState(); }
int ScriptFilterEngine::RestoreAndSet(double dt, double t, const double* vi) {
  return host_.RestoreRunState(dt, t, vi);
}
Expected<double> ScriptFilterEngine::RunInput() { return host_.RunInputStatement(); }
ScriptStatus ScriptFilterEngine::RunFunctions() { return host_.RunFunctions(); }
Expected<double> ScriptFilterEngine::ReadOutput() { return host_.ReadOutput(); }
void ScriptFilterEngine::EndRun() { host_.EndRun(); }

}  // namespace quorvel
