#pragma once

// Shared by the command-line tool's tests: reading back the CSV the tool writes.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quorvel::cli {

struct ParsedCsv {
  std::string header;
  std::vector<std::vector<double>> rows;
  bool ok = false;  // every line had `columns` fields that parse completely as numbers
};

// Splits CSV text with "\n" line ends; every field after the header must be a C-locale number.
inline ParsedCsv ParseCsv(std::string_view text, std::size_t columns) {
  ParsedCsv csv;
  std::size_t pos = 0;
  bool first = true;
  csv.ok = true;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) {
      csv.ok = false;  // the last line must end too
      end = text.size();
    }
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (first) {
      csv.header = std::string(line);
      first = false;
      continue;
    }
    std::vector<double> row;
    std::size_t field_start = 0;
    while (true) {
      const std::size_t comma = line.find(',', field_start);
      const std::string_view field =
          line.substr(field_start, comma == std::string_view::npos ? line.size() - field_start
                                                                   : comma - field_start);
      double value = 0;
      const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
      if (ec != std::errc() || ptr != field.data() + field.size() || field.empty()) {
        csv.ok = false;
      }
      row.push_back(value);
      if (comma == std::string_view::npos) break;
      field_start = comma + 1;
    }
    if (row.size() != columns) csv.ok = false;
    csv.rows.push_back(std::move(row));
  }
  if (first) csv.ok = false;  // not even a header
  return csv;
}

// The value after `prefix` on the line of `text` that starts with it (lines end with "\n").
inline std::string LineValue(const std::string& text, const std::string& prefix) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    pos = end + 1;
  }
  return {};
}

// The frequency at which the amplitude first falls through `level`, interpolated on a log
// frequency axis between the two points around it; 0 when it never does.
inline double FallingCrossing(const std::vector<std::vector<double>>& rows, double level) {
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const double a0 = rows[i - 1][1];
    const double a1 = rows[i][1];
    if (a0 >= level && a1 < level) {
      const double x = (a0 - level) / (a0 - a1);
      return rows[i - 1][0] * std::pow(rows[i][0] / rows[i - 1][0], x);
    }
  }
  return 0;
}

}  // namespace quorvel::cli
