#pragma once

// The measured points of a run as a table of text: CSV for files (the format of quorvel-cli's
// output, so that one tool reads both) and tab-separated text for the clipboard, which
// spreadsheets paste into columns.

#include <QString>

#include <cstddef>
#include <string>

#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"

namespace quorvel {

inline constexpr char kCsvSeparator = ',';
inline constexpr char kTabSeparator = '\t';

// A double in C notation (point, exponent when shorter) with the fewest digits that read back
// to the same value: "1000", "0.5", "1e-07", "1e+05", "-0.125". Non-finite values are "nan",
// "inf" and "-inf".
std::string TableNumber(double value);

// A table field: TableNumber for a finite value, empty for one that is not (a sweep point the
// filter made not computable reads "1000,,").
std::string TableField(double value);

// The header lines, with their LF: "frequency_hz,amplitude,phase_deg" and
// "time_s,vi,vo,frames", `separator` between the column names.
std::string SweepTableHeader(char separator);
std::string TraceTableHeader(char separator);

// One row with its LF: frequency in hertz, amplitude ratio, phase in degrees; time in seconds,
// input, output and the frames since the previous sample (sample `i`, which must be stored in
// every column). A writer that streams rows as a run stores them writes the same bytes as the
// whole tables below.
void AppendSweepRow(const ResponsePoint& point, char separator, std::string& out);
void AppendTraceRow(const TimeTrace& trace, std::size_t i, char separator, std::string& out);

// Appends the header and one row per measured point (the first result.count points).
void AppendSweepTable(const SweepResult& result, char separator, std::string& out);

// Appends the header and one row per stored sample (the first trace.count, never past the
// shortest column).
void AppendTraceTable(const TimeTrace& trace, char separator, std::string& out);

// The whole tables, with commas (files) or tabs (the clipboard).
std::string SweepCsv(const SweepResult& result);
std::string SweepTsv(const SweepResult& result);
std::string TraceCsv(const TimeTrace& trace);
std::string TraceTsv(const TimeTrace& trace);

// The save dialog's file type for tables: "File CSV (*.csv)".
QString CsvFileFilter();

// The file a table is written to for a name typed in the save dialog: the name itself when it has
// an extension ("misure.txt"), else the name with ".csv" added ("misure" gives "misure.csv").
QString CsvFilePath(const QString& name);

}  // namespace quorvel
