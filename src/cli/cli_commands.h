#pragma once

// The two commands of quorvel-cli, writing to given streams: the test is read, the settings of
// the run are taken from it and from the command line and checked, the run is made on a script
// host, and the result is written as CSV.

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "cli/cli_options.h"
#include "documents/test_document.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"

namespace quorvel {
class ScriptHost;
}

namespace quorvel::cli {

// The settings of the command line's run, ready to run.
using RunSettings = std::variant<SweepSettings, ScopeSettings>;

// The test of a command line: the file when one is given, otherwise the main window's defaults;
// then the texts of --parameters and --functions replace the test's. On failure the message is
// written to `err` (the OS error for a file that cannot be read, the codec's description with
// the record number for one that is not a valid test) and nullopt returned.
std::optional<TestDocument> LoadTest(const CliOptions& options, std::ostream& err);

// The settings of a sweep: start and end frequency texts checked as the start command checks
// them ("La frequenza iniziale " / "La frequenza finale " and the phrase go to `err`, nullopt),
// times the multipliers 10^(3 k); oscillations and samples; then the command line's overrides.
// A frequency that an override replaces is not checked.
std::optional<SweepSettings> SweepSettingsFor(const TestDocument& test, const CliOptions& options,
                                              std::ostream& err);

// The settings of an oscilloscope run, from the test's oscilloscope section (or, when it has
// none, the section that opening the oscilloscope window would give it), then the overrides.
std::optional<ScopeSettings> ScopeSettingsFor(const TestDocument& test, const CliOptions& options,
                                              std::ostream& err);

// LoadTest, then the settings of the command. nullopt when either failed (message written).
std::optional<RunSettings> PrepareRun(const CliOptions& options, std::ostream& err);

// Where a run writes: the CSV, the messages and report, and whether to draw a progress line on
// `err` (only for a terminal).
struct CommandIo {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;
  bool report = false;  // write the run's report to `err`
};

// Runs the settings on `host` (which has the prelude loaded and is not running anything) and
// writes the CSV of the measured points or samples to io.out, the header first and then each
// row as soon as it is measured, flushed. `interrupt` is the signal flag: once set, from any
// thread, the run stops as "Ferma" stops it, with the rows so far written. Returns the exit
// status: 0 after a run, cancelled or not; 1 when the run was refused (its message goes to
// io.err: a fixed dt that is not a number above 0) or the output could not be written.
int ExecuteRun(const RunSettings& settings, ScriptHost& host, const std::atomic<bool>& interrupt,
               CommandIo& io);

// -o FILE, checked before a run so that a long run does not end in a file that cannot be
// written: nullopt when FILE can be written as far as can be told, else what is wrong (its
// folder does not exist, it is a folder, it is the test file itself).
std::optional<std::string> OutputProblem(const CliOptions& options);

// -o FILE after a run: the CSV replaces FILE's contents only once it is completely written
// (ReplaceFileContents), so FILE holds either its old contents or the whole CSV. nullopt on
// success, else the system's description of the failure.
std::optional<std::string> WriteOutputFile(const std::string& path, const std::string& csv);

// The report as written to a terminal or file: CR LF line ends made LF.
std::string ReportForOutput(const QString& report);

// A double in C notation with the fewest digits that read back to the same value (the core's
// TableNumber).
std::string CsvNumber(double value);

// A CSV field: CsvNumber for a finite value, empty for one that is not (a point the filter
// made not computable, a sample that is not a number); the core's TableField.
std::string CsvField(double value);

}  // namespace quorvel::cli
