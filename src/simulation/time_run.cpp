#include "simulation/time_run.h"

#include <cmath>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/filter_program.h"

namespace quorvel {

const QString TimeRun::kLineEnd = QStringLiteral("\r\n");

void TimeRun::Open() {
  observer_.Show2(QStringLiteral("AsyncCallback"), QStringLiteral("Simulazione"));
  observer_.PumpEvents();
  pacer_.MarkPumped();
  start_tick_ = Clock::now();
}

bool TimeRun::ParametersFixTheStep() const {
  ScriptVarList assigned;
  CollectAssignedNames(parameters_, assigned);
  return FindVar(assigned, QStringLiteral("dt")) >= 0;
}

bool TimeRun::ReadFixedStep(double duration) {
  step_.adaptive = false;
  if (!calls_.Execute(parameters_, ParametersSourceName())) return false;
  if (!calls_.ReadNumber(QStringLiteral("dt"), dt_)) return false;
  if (const std::optional<QString> problem = FixedStepProblem(dt_, duration)) {
    refusal_ = *problem;
    return false;
  }
  return true;
}

ScriptVarList TimeRun::StateList() const {
  ScriptVarList state;
  CollectAssignedNames(parameters_, state);
  CollectAssignedNames(functions_, state);
  const QString zero = QStringLiteral("0");
  SetVar(state, QStringLiteral("dt"), zero);
  SetVar(state, QStringLiteral("vi"), zero);
  SetVar(state, QStringLiteral("vo"), zero);
  return state;
}

bool TimeRun::StartFromRest() {
  engine_.ResetSavedState();
  const double zero = 0;
  return calls_.CheckAssignments(engine_.RestoreAndSet(dt_, 0, &zero));
}

bool TimeRun::Attempt(double t0, bool& repeat) {
  errors_.Store(t_, Fp(t0) + dt_);
  if (sine_input_) {
    // The input as the filter receives it ("vi=" carries 15 significant digits), so that the
    // measurement compares the output with the input the filter actually saw.
    if (errors_.Store(vi_, Sin(Fp(t_) * w_))) vi_ = RoundTo15Digits(vi_);
  }
  if (!engine_.Attempt(dt_, t_, sine_input_ ? &vi_ : nullptr, parts_)) return false;
  // Numbers that are not finite are kept as they are, and counted.
  if (!sine_input_ && !std::isfinite(vi_)) errors_.Count(run_errors::kOverflow);
  if (!std::isfinite(vo_)) {
    errors_.Count(run_errors::kOverflow);
    output_failed_ = true;
  }
  repeat = step_.AfterAttempt(errors_, dt_, t0, previous_vi_, vi_, previous_vo_, vo_);
  return true;
}

QString TimeRun::ReportHead() const {
  const auto elapsed_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_tick_).count();
  const double seconds = Round(static_cast<double>(elapsed_ms) / 1000, 0);
  QString head = stop_.requested() ? u"Operazione annullata"_qs : u"Operazione completata"_qs;
  head += kLineEnd;
  head += u"Durata simulazione: "_qs + FormatEng(seconds, -3, QStringLiteral("s")) + kLineEnd;
  return head;
}

QString TimeRun::ReportErrorLines() const {
  const ErrorCounts& counts = errors_.counts();
  return u"Errori totali: "_qs + QString::number(counts.total) + kLineEnd +
         u"Errori di timestep: "_qs + QString::number(counts.timestep) + kLineEnd +
         u"Errori di overflow: "_qs + QString::number(counts.overflow) + kLineEnd;
}

QString TimeRun::ReportTexts() const {
  return kLineEnd + u"Funzioni del filtro:"_qs + kLineEnd + functions_ + kLineEnd + kLineEnd +
         u"Parametri del filtro:"_qs + kLineEnd + parameters_ + kLineEnd;
}

RunOutcome TimeRun::Finish(const QString& report) {
  RunOutcome outcome;
  if (!refusal_.isEmpty()) {
    outcome = RefusedRun(refusal_);
  } else {
    outcome.status = stop_.requested() ? RunStatus::kCancelled : RunStatus::kCompleted;
    outcome.report = report;
  }
  outcome.counts = errors_.counts();
  outcome.stop_error = stop_.limit_error();
  outcome.errors = errors_.tallies();
  observer_.Unload2();
  return outcome;
}

}  // namespace quorvel
