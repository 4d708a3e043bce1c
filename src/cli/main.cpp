// quorvel-cli: runs the frequency sweep or the oscilloscope run of a test without windows and
// writes the result as CSV. See HelpText() for the command line.

#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_options.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

int main(int argc, char** argv) {
  using namespace quorvel::cli;

  // Before any other thread exists: the engine's threads inherit the blocked SIGINT.
  BlockInterruptSignal();

  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
  switch (parsed.kind) {
    case ParsedCommandLine::Kind::Help:
      std::cout << HelpText() << std::flush;
      return std::cout ? kExitOk : kExitFailure;
    case ParsedCommandLine::Kind::UsageError:
      std::cerr << "quorvel-cli: " << parsed.message << '\n' << UsageHint();
      return kExitUsage;
    case ParsedCommandLine::Kind::Run:
      break;
  }

  const std::optional<RunSettings> settings = PrepareRun(parsed.options, std::cerr);
  if (!settings) return kExitFailure;

  quorvel::ScriptEngineInit engine;
  quorvel::ScriptHost host;
  if (const quorvel::ScriptStatus loaded = host.LoadCode(quorvel::PreludeText()); !loaded) {
    std::cerr << "quorvel-cli: " << loaded.error().description.toStdString() << '\n';
    return kExitFailure;
  }

  std::atomic<bool> interrupt{false};
  CommandIo io{std::cout, std::cerr, isatty(STDERR_FILENO) != 0, parsed.options.report};
  InterruptWatcher watcher(interrupt, [&host] { host.CancelRunningCall(); });
  return ExecuteRun(*settings, host, interrupt, io);
}
