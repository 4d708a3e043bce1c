#include "simulation/run_errors.h"

#include <limits>

namespace quorvel {

namespace {

void Saturating(std::int32_t& counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

}  // namespace

namespace {

// The descriptions of the errors a run raises itself.
QString RunErrorDescription(int number) {
  switch (number) {
    case run_errors::kInvalidArgument:
      return QStringLiteral("Argomento non valido");
    case run_errors::kOverflow:
      return QStringLiteral("Overflow: un valore non è un numero finito");
    case run_errors::kDivisionByZero:
      return QStringLiteral("Divisione per zero");
    case run_errors::kTimestepTooSmall:
      return QStringLiteral("Timestep troppo piccolo");
    default:
      return QStringLiteral("Errore %1").arg(number);
  }
}

}  // namespace

void RunErrors::Count(int number) { Count(ScriptError{number, RunErrorDescription(number)}); }

void RunErrors::Count(const ScriptError& error) {
  Saturating(counts_.total);
  if (error.number == run_errors::kOverflow) Saturating(counts_.overflow);
  if (error.number == run_errors::kTimestepTooSmall) Saturating(counts_.timestep);
  Tally(error.number,
        error.description.isEmpty() ? RunErrorDescription(error.number) : error.description);
  observer_.AddErr();
}

void RunErrors::Tally(int number, const QString& description) {
  for (ErrorTally& tally : tallies_) {
    if (tally.number == number && tally.description == description) {
      Saturating(tally.count);
      return;
    }
  }
  if (tallies_.size() + 1 < kMaxErrorTallies) {
    tallies_.push_back(ErrorTally{number, description, 1});
    return;
  }
  // The last place gathers every further new error.
  if (tallies_.size() + 1 == kMaxErrorTallies) {
    tallies_.push_back(ErrorTally{0, QStringLiteral("Altri errori"), 0});
  }
  Saturating(tallies_.back().count);
}

ScriptError TrappedEngine::FailedAssignment() {
  return ScriptError{script_errors::kRuntime,
                     QStringLiteral("Assegnazione non riuscita di una variabile di stato, di dt, "
                                    "di t o di vi")};
}

bool RunErrors::Increment(std::int32_t& counter) {
  if (counter == std::numeric_limits<std::int32_t>::max()) {
    Count(run_errors::kOverflow);
    return false;
  }
  ++counter;
  return true;
}

}  // namespace quorvel
