#include "simulation/text_filter_engine.h"

#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

namespace quorvel {

namespace {
ScriptStatus Dropped(const Expected<ScriptValue>& result) {
  if (!result) return result.error();
  return Ok();
}
}  // namespace

ScriptStatus TextFilterEngine::Execute(const QString& text, const QString& source_name) {
  return Dropped(host_.Evaluate(text, source_name));
}

Expected<double> TextFilterEngine::EvaluateNumber(const QString& text) {
  auto value = host_.Evaluate(text);
  if (!value) return value.error();
  return ScriptHost::ToDouble(*value);
}

void TextFilterEngine::BeginRun(const std::vector<QString>& state_names, const QString& functions,
                                const QString& input_statement) {
  state_.Clear();
  for (const QString& name : state_names) SetVar(state_, name, QStringLiteral("0"));
  functions_ = functions;
  input_ = input_statement;
}

void TextFilterEngine::ResetSavedState() {
  for (QString& value : state_.values) value = QStringLiteral("0");
}

void TextFilterEngine::SaveState() { ReadVarValues(state_, host_); }

int TextFilterEngine::RestoreAndSet(double dt, double t, const double* vi) {
  WriteVarValues(state_, host_);
  int failures = 0;
  if (!host_.Evaluate(u"dt="_qs + StatementNumber(dt))) ++failures;
  if (!host_.Evaluate(u"t="_qs + StatementNumber(t))) ++failures;
  if (vi != nullptr && !host_.Evaluate(u"vi="_qs + StatementNumber(*vi))) ++failures;
  return failures;
}

Expected<double> TextFilterEngine::RunInput() { return EvaluateNumber(input_); }

ScriptStatus TextFilterEngine::RunFunctions() {
  return Dropped(host_.Evaluate(functions_, FunctionsSourceName()));
}

Expected<double> TextFilterEngine::ReadOutput() { return EvaluateNumber(QStringLiteral("vo")); }

}  // namespace quorvel
