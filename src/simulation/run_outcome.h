#pragma once

// What a run hands back when it returns: whether it ran, its report, its error counts and, when
// a script call ended it, that call's error.

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "scripting/script_value.h"

namespace quorvel {

struct ErrorCounts {
  std::int32_t total = 0;
  std::int32_t timestep = 0;
  std::int32_t overflow = 0;

  friend bool operator==(const ErrorCounts&, const ErrorCounts&) = default;
};

// One distinct error of a run: its number, its description (with the text and line for a script
// error) and how many times it occurred.
struct ErrorTally {
  int number = 0;
  QString description;
  std::int32_t count = 0;

  friend bool operator==(const ErrorTally&, const ErrorTally&) = default;
};

// "<description> (N volte)", or "(1 volta)": how a window's status bar or report panel and
// quorvel-cli show one distinct error.
QString ErrorTallyText(const ErrorTally& tally);

// How a window's status bar (panel 2) tells of a run's errors: "Errore: " and the first error's
// ErrorTallyText, then, when there were others, how many distinct ones the report lists besides
// ("; altri 2 errori diversi nel report"). A call the user cancelled ("Ferma", "Annulla") is no
// fault of the filter and is left out here (the report lists it): a run whose only error it is
// gives an empty text, as a run without errors does, and the window's "Operazione annullata"
// stays. So is a time-step error ("Timestep troppo piccolo"): counted, not shown; the adaptive
// step meets it in ordinary runs (the edges of a square wave), and the report counts and lists
// it.
QString RunErrorStatusText(const std::vector<ErrorTally>& errors);
// True for a text that RunErrorStatusText made: the status a later run without errors clears.
bool IsRunErrorStatusText(const QString& text);

// The report as a window's report panel shows it: the run's report unchanged, then, after a run
// with errors, an empty line, "Elenco degli errori:" and one line per distinct error
// (ErrorTallyText), the first one first. Line ends are CR LF, as in the report.
QString ReportWithErrorList(const QString& report, const std::vector<ErrorTally>& errors);

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
  // Each distinct error, the first one first, with its count (see RunErrors).
  std::vector<ErrorTally> errors;

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
