#include "graphs/measurement_table.h"

#include <algorithm>
#include <array>
#include <charconv>
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

void AppendSweepTable(const SweepResult& result, char separator, std::string& out) {
  out += "frequency_hz";
  out += separator;
  out += "amplitude";
  out += separator;
  out += "phase_deg\n";
  const std::size_t rows = RowCount(result.count, result.points.size());
  for (std::size_t i = 0; i < rows; ++i) {
    const ResponsePoint& p = result.points[i];
    out += TableNumber(p.frequency);
    out += separator;
    out += TableNumber(p.amplitude);
    out += separator;
    out += TableNumber(p.phase);
    out += '\n';
  }
}

void AppendTraceTable(const TimeTrace& trace, char separator, std::string& out) {
  out += "time_s";
  out += separator;
  out += "vi";
  out += separator;
  out += "vo";
  out += separator;
  out += "frames\n";
  const std::size_t available = std::min({trace.times.size(), trace.inputs.size(),
                                          trace.outputs.size(), trace.framesPerSample.size()});
  const std::size_t rows = RowCount(trace.count, available);
  for (std::size_t i = 0; i < rows; ++i) {
    out += TableNumber(trace.times[i]);
    out += separator;
    out += TableNumber(trace.inputs[i]);
    out += separator;
    out += TableNumber(trace.outputs[i]);
    out += separator;
    out += std::to_string(trace.framesPerSample[i]);
    out += '\n';
  }
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

}  // namespace quorvel
