#include "graphs/measurement_table.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>

namespace quorvel {
namespace {

// The rows that are present: at most `count`, and never past the shortest column.
std::size_t RowCount(std::int32_t count, std::size_t available) {
  if (count <= 0) return 0;
  return std::min(static_cast<std::size_t>(count), available);
}

}  // namespace

std::string TableNumber(double value) {
  std::array<char, 32> buffer{};
  const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec != std::errc()) return "nan";  // 32 characters hold every double; not reached
  return std::string(buffer.data(), ptr);
}

std::string TableField(double value) {
  return std::isfinite(value) ? TableNumber(value) : std::string();
}

std::string SweepTableHeader(char separator) {
  std::string header = "frequency_hz";
  header += separator;
  header += "amplitude";
  header += separator;
  header += "phase_deg\n";
  return header;
}

std::string TraceTableHeader(char separator) {
  std::string header = "time_s";
  header += separator;
  header += "vi";
  header += separator;
  header += "vo";
  header += separator;
  header += "frames\n";
  return header;
}

void AppendSweepRow(const ResponsePoint& point, char separator, std::string& out) {
  out += TableField(point.frequency);
  out += separator;
  out += TableField(point.amplitude);
  out += separator;
  out += TableField(point.phase);
  out += '\n';
}

void AppendTraceRow(const TimeTrace& trace, std::size_t i, char separator, std::string& out) {
  out += TableField(trace.times[i]);
  out += separator;
  out += TableField(trace.inputs[i]);
  out += separator;
  out += TableField(trace.outputs[i]);
  out += separator;
  out += std::to_string(trace.framesPerSample[i]);
  out += '\n';
}

void AppendSweepTable(const SweepResult& result, char separator, std::string& out) {
  out += SweepTableHeader(separator);
  const std::size_t rows = RowCount(result.count, result.points.size());
  for (std::size_t i = 0; i < rows; ++i) AppendSweepRow(result.points[i], separator, out);
}

void AppendTraceTable(const TimeTrace& trace, char separator, std::string& out) {
  out += TraceTableHeader(separator);
  const std::size_t available = std::min({trace.times.size(), trace.inputs.size(),
                                          trace.outputs.size(), trace.framesPerSample.size()});
  const std::size_t rows = RowCount(trace.count, available);
  for (std::size_t i = 0; i < rows; ++i) AppendTraceRow(trace, i, separator, out);
}

std::string SweepCsv(const SweepResult& result) {
  std::string out;
  AppendSweepTable(result, kCsvSeparator, out);
  return out;
}

std::string SweepTsv(const SweepResult& result) {
  std::string out;
  AppendSweepTable(result, kTabSeparator, out);
  return out;
}

std::string TraceCsv(const TimeTrace& trace) {
  std::string out;
  AppendTraceTable(trace, kCsvSeparator, out);
  return out;
}

std::string TraceTsv(const TimeTrace& trace) {
  std::string out;
  AppendTraceTable(trace, kTabSeparator, out);
  return out;
}

QString CsvFileFilter() { return QStringLiteral("File CSV (*.csv)"); }

QString CsvFilePath(const QString& name) {
  if (!QFileInfo(name).suffix().isEmpty()) return name;
  return name + QStringLiteral(".csv");
}

}  // namespace quorvel
