#pragma once

// "quorvel-cli compare A.csv B.csv --tolerance X": two tables that the tool wrote (a stored
// result and a new run, for a regression check) compared value by value.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli_options.h"

namespace quorvel::cli {

// The largest table compare reads: a million rows of the widest table fit many times.
inline constexpr std::size_t kMaxTableBytes = std::size_t{256} << 20;

// How many differing values compare lists before it only counts them.
inline constexpr std::size_t kMaxListedDifferences = 20;

// Whether two values of a table match: |a - b| <= tolerance * max(1, |a|, |b|), so that the
// tolerance is absolute for values up to 1 (amplitude ratios) and relative for larger ones
// (frequencies, phases in degrees). NaN matches NaN and an infinity the same infinity.
bool ValuesMatch(double a, double b, double tolerance);

struct TableComparison {
  enum class Verdict { kEqual, kDiffer, kBadInput };
  Verdict verdict = Verdict::kBadInput;
  // kDiffer: the differences, one a line, then a summary line (for stdout). kBadInput: what is
  // wrong with which file, one line (for stderr). kEqual: empty.
  std::string text;
};

// Compares two tables (a header line naming the columns, then rows of numbers separated by
// commas; LF or CR LF line ends; an empty field is a value that is not a number). The headers
// must be the same and every row must have as many fields as its header, else the input is bad;
// then the tables are equal when they have the same number of rows and every value matches the
// other table's value in the same row and column. Lines are numbered from 1 (the header).
TableComparison CompareTables(std::string_view a, std::string_view b, double tolerance,
                              std::string_view name_a, std::string_view name_b);

// Reads a table file ("-": the standard input) into `text`, at most kMaxTableBytes; nullopt on
// success, else the description of the problem.
std::optional<std::string> ReadTableFile(const std::string& path, std::string& text);

// The compare command: reads both tables, compares them, writes the differences to `out` and a
// problem with the input to `err`. Returns kExitOk (equal), kExitDiffer or kExitUsage (a file
// cannot be read or is not a table).
int RunCompare(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quorvel::cli
