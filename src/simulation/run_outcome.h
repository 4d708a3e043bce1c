#pragma once

// What a run hands back when it returns: whether it ran, its report, its error counts and, when
// a script call ended it, that call's error.

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

#include "scripting/script_value.h"

namespace quorvel {

struct ErrorCounts {
  std::int32_t total = 0;
  std::int32_t timestep = 0;
  std::int32_t overflow = 0;

  friend bool operator==(const ErrorCounts&, const ErrorCounts&) = default;
};

enum class RunStatus {
  kCompleted,  // ran to its end: "Operazione completata"
  kCancelled,  // stopped early by the user, or by a call the time limit or memory guard stopped:
               // "Operazione annullata"
  kRefused,    // not started: its settings cannot make a run that ends (`message` says why)
  kBusy,       // not started: another run is in progress
};

struct RunOutcome {
  RunStatus status = RunStatus::kBusy;
  // The run's report (CR LF line ends); empty when the run did not start.
  QString report;
  // For kRefused, the sentence to show the user.
  QString message;
  ErrorCounts counts;
  // The failed call that ended the run (time limit or memory guard), when one did.
  std::optional<ScriptError> stop_error;

  // True when the run started, so that its result and report are new.
  bool started() const {
    return status == RunStatus::kCompleted || status == RunStatus::kCancelled;
  }
};

// The outcome of a run refused with `message`.
inline RunOutcome RefusedRun(QString message) {
  RunOutcome outcome;
  outcome.status = RunStatus::kRefused;
  outcome.message = std::move(message);
  return outcome;
}

// The refusals' messages.
inline constexpr char16_t kBadFixedStepMessage[] =
    u"Il passo dt fissato dai parametri deve essere un numero maggiore di 0";
inline constexpr char16_t kTooManyStepsMessage[] =
    u"Il passo dt fissato dai parametri è troppo piccolo: la simulazione richiederebbe più di "
    u"2147483647 passi per frequenza";
inline constexpr char16_t kBadFrequencyMessage[] =
    u"La frequenza deve essere un numero maggiore di 0";

}  // namespace quorvel
