#include "simulation/filter_engine.h"

#include "numbers/number_text.h"
#include "scripting/script_host.h"

namespace quorvel {

ScriptStatus FilterEngine::SetNumber(const QString& name, double value) {
  return Execute(name + u'=' + StatementNumber(value), QString());
}

bool FilterEngine::Attempt(double dt, double t, const double* vi, AttemptSink& sink) {
  if (!sink.Restored(RestoreAndSet(dt, t, vi))) return false;
  if (vi == nullptr && !sink.Input(RunInput())) return false;
  if (!sink.Functions(RunFunctions())) return false;
  return sink.Output(ReadOutput());
}

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

ScriptStatus HostFilterEngine::SetNumber(const QString& name, double value) {
  if (stop_) return *stop_;
  return Watched(DoSetNumber(name, value));
}

void HostFilterEngine::RunInside(const std::function<void()>& body) {
  if (EntersOnce()) {
    host_.RunInsideOneCall(body);
  } else {
    body();
  }
}

bool HostFilterEngine::DoAttempt(double dt, double t, const double* vi, AttemptSink& sink) {
  return FilterEngine::Attempt(dt, t, vi, sink);
}

// The parts of a whole attempt through the engine's watch, each as its separate call gives it:
// a part the host stopped ends the run (every later call fails at once with that error), so
// the parts the host did not run after it give that error, as long as the sink goes on.
class HostFilterEngine::WatchedParts final : public AttemptSink {
 public:
  WatchedParts(HostFilterEngine& engine, AttemptSink& sink, bool has_input)
      : engine_(engine), sink_(sink), parts_(has_input ? 4 : 3), has_input_(has_input) {}

  bool Restored(const Expected<int>& failures) override {
    ++reported_;
    const Expected<int> watched = engine_.Watched(failures);
    return go_on_ = sink_.Restored(watched ? *watched : (engine_.stop_ ? 0 : 1));
  }
  bool Input(const Expected<double>& vi) override {
    ++reported_;
    return go_on_ = sink_.Input(engine_.Watched(vi));
  }
  bool Functions(const ScriptStatus& status) override {
    ++reported_;
    return go_on_ = sink_.Functions(engine_.Watched(status));
  }
  bool Output(const Expected<double>& vo) override {
    ++reported_;
    return go_on_ = sink_.Output(engine_.Watched(vo));
  }

  bool Finish() {
    while (go_on_ && reported_ < parts_ && engine_.stop_) {
      const ScriptError& stop = *engine_.stop_;
      const int part = has_input_ ? reported_ : reported_ + 1;  // 0 restore, 1 input, ...
      ++reported_;
      if (part == 0) {
        go_on_ = sink_.Restored(0);
      } else if (part == 1) {
        go_on_ = sink_.Input(stop);
      } else if (part == 2) {
        go_on_ = sink_.Functions(stop);
      } else {
        go_on_ = sink_.Output(stop);
      }
    }
    return go_on_ && reported_ == parts_;
  }

 private:
  HostFilterEngine& engine_;
  AttemptSink& sink_;
  const int parts_;
  const bool has_input_;
  int reported_ = 0;
  bool go_on_ = true;
};

bool HostFilterEngine::Attempt(double dt, double t, const double* vi, AttemptSink& sink) {
  if (stop_ || !DoesWholeAttempts()) return FilterEngine::Attempt(dt, t, vi, sink);
  WatchedParts parts(*this, sink, vi == nullptr);
  DoAttempt(dt, t, vi, parts);
  return parts.Finish();
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
