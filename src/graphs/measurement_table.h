#pragma once

// The measured points of a run as a table of text: CSV for files (the same bytes that
// quorvel-cli writes) and tab-separated text for the clipboard, which spreadsheets paste into
// columns.

#include <string>

#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"

namespace quorvel {

inline constexpr char kCsvSeparator = ',';
inline constexpr char kTabSeparator = '\t';

// A double in C notation (point, exponent when shorter) with the fewest digits that read back
// to the same value: "1000", "0.5", "1e-07", "-0.125". Non-finite values are "nan", "inf" and
// "-inf".
std::string TableNumber(double value);

// Appends the header "frequency_hz,amplitude,phase_deg" and one line per measured point (the
// first result.count points): frequency in hertz, amplitude ratio, phase in degrees. Each line
// ends with LF; `separator` stands between the columns.
void AppendSweepTable(const SweepResult& result, char separator, std::string& out);

// Appends the header "time_s,vi,vo,frames" and one line per stored sample (the first
// trace.count): time in seconds, input, output and the frames since the previous sample.
void AppendTraceTable(const TimeTrace& trace, char separator, std::string& out);

// The whole tables, with commas (files) or tabs (the clipboard).
std::string SweepCsv(const SweepResult& result);
std::string SweepTsv(const SweepResult& result);
std::string TraceCsv(const TimeTrace& trace);
std::string TraceTsv(const TimeTrace& trace);

}  // namespace quorvel
