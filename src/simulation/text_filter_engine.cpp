#include "simulation/text_filter_engine.h"

#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

namespace quorvel {

ScriptStatus TextFilterEngine::DoBeginRun(const std::vector<QString>& state_names,
                                          const QString& functions,
                                          const QString& input_statement) {
  state_.Clear();
  for (const QString& name : state_names) SetVar(state_, name, QStringLiteral("0"));
  functions_ = functions;
  input_ = input_statement;
  return Ok();
}

void TextFilterEngine::DoResetSavedState() {
  for (QString& value : state_.values) value = QStringLiteral("0");
}

std::optional<ScriptError> TextFilterEngine::DoSaveState() { return ReadVarValues(state_, host()); }

Expected<int> TextFilterEngine::DoRestoreAndSet(double dt, double t, const double* vi) {
  if (auto stop = WriteVarValues(state_, host())) return *stop;
  int failures = 0;
  const QString statements[] = {u"dt="_qs + StatementNumber(dt), u"t="_qs + StatementNumber(t),
                                vi != nullptr ? u"vi="_qs + StatementNumber(*vi) : QString()};
  for (const QString& statement : statements) {
    if (statement.isEmpty()) continue;
    auto result = host().Evaluate(statement);
    if (result) continue;
    if (script_errors::StopsTheRun(result.error().number)) return result.error();
    ++failures;
  }
  return failures;
}

Expected<double> TextFilterEngine::Number(const QString& text) {
  auto value = host().Evaluate(text);
  if (!value) return value.error();
  return ScriptHost::ToDouble(*value);
}

Expected<double> TextFilterEngine::DoRunInput() { return Number(input_); }

ScriptStatus TextFilterEngine::DoRunFunctions() {
  auto result = host().Evaluate(functions_, FunctionsSourceName());
  if (!result) return result.error();
  return Ok();
}

ScriptStatus TextFilterEngine::DoSetNumber(const QString& name, double value) {
  auto result = host().Evaluate(name + u'=' + StatementNumber(value));
  if (!result) return result.error();
  return Ok();
}

Expected<double> TextFilterEngine::DoReadOutput() { return Number(QStringLiteral("vo")); }

}  // namespace quorvel
