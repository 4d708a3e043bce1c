#pragma once

// The command line of quorvel-cli: what the user asked for, checked for form only (numbers in
// range, options that belong to the command). Nothing here reads files or runs anything.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulation/frequency_sweep.h"

namespace quorvel::cli {

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the test cannot be read, or its settings are invalid
inline constexpr int kExitUsage = 2;    // the command line itself is wrong
// compare: the tables differ (beyond the tolerance); kExitOk when they match, kExitUsage when a
// file cannot be read or is not a table.
inline constexpr int kExitDiffer = 1;

enum class Command { Sweep, Scope, Compare };

// What "--version" writes: "quorvel-cli 1.0.0" and a line end.
std::string VersionText();

// Limits of the values typed on the command line.
inline constexpr double kMinFrequency = 0.001;  // the smallest start text at multiplier 1
inline constexpr double kMaxFrequency = 1e14;   // the largest text (100000) at multiplier G
inline constexpr std::int32_t kMinSweepSamples = 2;
inline constexpr std::int32_t kMinScopeSamples = 1;
inline constexpr std::int32_t kMaxSamples = 1000000;
inline constexpr std::int32_t kMinOscillations = 1;
inline constexpr std::int32_t kMaxOscillations = 32767;

struct CliOptions {
  Command command = Command::Sweep;
  // The test file, as given (local 8-bit path); "-" is the standard input.
  std::optional<std::string> file;
  // -o FILE: the CSV goes to this file, which is replaced only once the run is over; "-" is the
  // standard output, as without the option.
  std::optional<std::string> output;
  // compare: the two tables (local 8-bit paths, "-" the standard input) and the tolerance.
  std::vector<std::string> tables;
  double tolerance = 0;
  // Filter texts; a lone LF has been made CR LF, as the program's texts are.
  std::optional<QString> parameters;
  std::optional<QString> functions;
  // Overrides of the test's settings. Frequencies in hertz.
  std::optional<double> start_frequency;  // sweep
  std::optional<double> end_frequency;    // sweep
  std::optional<double> frequency;        // scope
  std::optional<std::int32_t> samples;
  std::optional<std::int32_t> oscillations;
  std::optional<QString> waveform;    // scope: a waveform name or an input statement
  std::optional<SweepMethod> method;  // sweep: --method precise|classic
  bool report = false;                // write the run's report to stderr
};

// What the command line asks for: a run (sweep, scope or compare), the help text, the version,
// or nothing because it is wrong.
struct ParsedCommandLine {
  enum class Kind { Run, Help, Version, UsageError };
  Kind kind = Kind::UsageError;
  CliOptions options;   // for Run
  std::string message;  // for UsageError: what is wrong, in one line, without a line end
};

// Parses the arguments after the program name. Options may stand before or after the command
// and the file; "--name=value" works as "--name value"; "--" ends the options. The first of
// "-h"/"--help", "--version" or a mistake, reading from the left, decides.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help, with its final line end.
std::string HelpText();

// One line pointing at --help, for usage errors.
std::string UsageHint();

// A filter text from the command line: every LF not preceded by CR becomes CR LF.
QString FilterTextFromArgument(const std::string& argument);

}  // namespace quorvel::cli
