#include "simulation/filter_engine.h"

#include "scripting/script_host.h"

namespace quorvel {

template <typename T>
T HostFilterEngine::Watched(T result) {
  if (in_run_ && !result.ok() && !stop_ && script_errors::StopsTheRun(result.error().number)) {
    stop_ = result.error();
  }
  return result;
}

ScriptStatus HostFilterEngine::Execute(const QString& text, const QString& source_name) {
  if (stop_) return *stop_;
  auto result = host_.Evaluate(text, source_name);
  if (!result) return Watched(ScriptStatus(result.error()));
  return Ok();
}

Expected<double> HostFilterEngine::EvaluateNumber(const QString& text) {
  if (stop_) return *stop_;
  auto value = host_.Evaluate(text);
  if (!value) return Watched(Expected<double>(value.error()));
  return ScriptHost::ToDouble(*value);
}

void HostFilterEngine::BeginRun(const std::vector<QString>& state_names, const QString& functions,
                                const QString& input_statement) {
  in_run_ = true;
  stop_.reset();
  if (auto status = DoBeginRun(state_names, functions, input_statement); !status) {
    stop_ = status.error();
  }
}

void HostFilterEngine::ResetSavedState() {
  if (!stop_) DoResetSavedState();
}

void HostFilterEngine::SaveState() {
  if (stop_) return;
  if (auto error = DoSaveState()) (void)Watched(ScriptStatus(*error));
}

int HostFilterEngine::RestoreAndSet(double dt, double t, const double* vi) {
  if (stop_) return 0;
  auto failures = Watched(DoRestoreAndSet(dt, t, vi));
  if (failures) return *failures;
  return stop_ ? 0 : 1;
}

Expected<double> HostFilterEngine::RunInput() {
  if (stop_) return *stop_;
  return Watched(DoRunInput());
}

ScriptStatus HostFilterEngine::RunFunctions() {
  if (stop_) return *stop_;
  return Watched(DoRunFunctions());
}

Expected<double> HostFilterEngine::ReadOutput() {
  if (stop_) return *stop_;
  return Watched(DoReadOutput());
}

void HostFilterEngine::EndRun() {
  DoEndRun();
  in_run_ = false;
  stop_.reset();
}

}  // namespace quorvel
