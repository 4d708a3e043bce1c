// quorvel-cli: runs the frequency sweep or the oscilloscope run of a test without windows and
// writes the result as CSV, or compares two such tables. See HelpText() for the command line.

#include <unistd.h>

#include <atomic>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_compare.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_options.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

int main(int argc, char** argv) {
  using namespace quorvel::cli;

  // Before any other thread exists: the engine's threads inherit the blocked signals.
  BlockInterruptSignals();

  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
  switch (parsed.kind) {
    case ParsedCommandLine::Kind::Help:
      std::cout << HelpText() << std::flush;
      return std::cout ? kExitOk : kExitFailure;
    case ParsedCommandLine::Kind::Version:
      std::cout << VersionText() << std::flush;
      return std::cout ? kExitOk : kExitFailure;
    case ParsedCommandLine::Kind::UsageError:
      std::cerr << "quorvel-cli: " << parsed.message << '\n' << UsageHint();
      return kExitUsage;
    case ParsedCommandLine::Kind::Run:
      break;
  }

  // From here a signal ends the tool: at once while the test is read (a FIFO without a writer
  // blocks there), as "Ferma" once the run has started.
  std::atomic<bool> interrupt{false};
  InterruptWatcher watcher(interrupt);
  const CliOptions& options = parsed.options;
  if (options.command == Command::Compare) return RunCompare(options, std::cout, std::cerr);

  // -o FILE: the CSV is kept and replaces FILE's contents once the run is over (a run cut off
  // by a signal included), so that FILE never holds half a table.
  const bool to_file = options.output && *options.output != "-";
  if (const auto problem = OutputProblem(options)) {
    std::cerr << *options.output << ": " << *problem << '\n';
    return kExitFailure;
  }

  const std::optional<RunSettings> settings = PrepareRun(options, std::cerr);
  if (!settings) return kExitFailure;

  quorvel::ScriptEngineInit engine;
  int status = kExitFailure;
  {
    quorvel::ScriptHost host;
    if (const quorvel::ScriptStatus loaded = host.LoadCode(quorvel::PreludeText()); !loaded) {
      std::cerr << "quorvel-cli: " << loaded.error().description.toStdString() << '\n';
      return kExitFailure;
    }
    std::ostringstream csv;
    CommandIo io{to_file ? static_cast<std::ostream&>(csv) : std::cout, std::cerr,
                 isatty(STDERR_FILENO) != 0, options.report};
    watcher.RunStarts([&host] { host.CancelRunningCall(); });
    status = ExecuteRun(*settings, host, interrupt, io);
    watcher.RunEnds();
    // A refused run wrote nothing and leaves FILE alone.
    if (to_file && status == kExitOk && !csv.view().empty()) {
      if (const auto problem = WriteOutputFile(*options.output, csv.str())) {
        std::cerr << *options.output << ": " << *problem << '\n';
        return kExitFailure;
      }
    }
  }
  // A run cut off by a signal ends as the signal would have ended it, so that a script can tell
  // it from a finished run.
  if (const int signal_number = watcher.received_signal(); signal_number != 0) {
    return ExitStatusForSignal(signal_number);
  }
  return status;
}
