#include "cli/cli_compare.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>
#include <vector>

#include "graphs/measurement_table.h"

namespace quorvel::cli {

namespace {

// A line of a table: its number in the file and its fields.
struct TableLine {
  std::size_t number = 0;
  std::vector<std::string_view> fields;
};

struct Table {
  std::vector<TableLine> lines;  // the header first
};

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

// The lines of `text` without their line ends; a last line without one counts, an empty last
// piece after the final line end does not.
Table SplitTable(std::string_view text) {
  Table table;
  std::size_t start = 0;
  std::size_t number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    table.lines.push_back({++number, SplitFields(line)});
    start = end + 1;
  }
  return table;
}

// A field's value: nullopt for an empty field; false in `ok` for a field that is not a number.
std::optional<double> FieldValue(std::string_view field, bool& ok) {
  ok = true;
  if (field.empty()) return std::nullopt;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || ptr != field.data() + field.size()) {
    ok = false;
    return std::nullopt;
  }
  return value;
}

std::string LineText(std::string_view name, std::size_t number) {
  return std::string(name) + ", riga " + std::to_string(number);
}

// Checks the shape of a table and reads its values; a problem is written to `problem`.
bool ReadValues(const Table& table, std::string_view name, std::size_t columns,
                std::vector<std::vector<std::optional<double>>>& rows, std::string& problem) {
  for (std::size_t i = 1; i < table.lines.size(); ++i) {
    const TableLine& line = table.lines[i];
    if (line.fields.size() != columns) {
      problem = LineText(name, line.number) + ": " + std::to_string(line.fields.size()) +
                " campi invece di " + std::to_string(columns);
      return false;
    }
    std::vector<std::optional<double>> row;
    row.reserve(columns);
    for (const std::string_view field : line.fields) {
      bool ok = true;
      row.push_back(FieldValue(field, ok));
      if (!ok) {
        problem = LineText(name, line.number) + ": \"" + std::string(field) + "\" non è un numero";
        return false;
      }
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::string ValueText(const std::optional<double>& value) {
  return value ? TableNumber(*value) : std::string("(vuoto)");
}

bool FieldsMatch(const std::optional<double>& a, const std::optional<double>& b, double tolerance) {
  if (!a || !b) return !a && !b;
  return ValuesMatch(*a, *b, tolerance);
}

}  // namespace

bool ValuesMatch(double a, double b, double tolerance) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  if (std::isinf(a) || std::isinf(b)) return a == b;
  const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= tolerance * scale;
}

TableComparison CompareTables(std::string_view a, std::string_view b, double tolerance,
                              std::string_view name_a, std::string_view name_b) {
  TableComparison result;
  const Table table_a = SplitTable(a);
  const Table table_b = SplitTable(b);
  for (const auto& [table, name] : {std::pair{&table_a, name_a}, std::pair{&table_b, name_b}}) {
    if (table->lines.empty()) {
      result.text = std::string(name) + ": il file è vuoto, manca l'intestazione";
      return result;
    }
  }
  const std::vector<std::string_view>& header = table_a.lines[0].fields;
  if (header != table_b.lines[0].fields) {
    result.text = "le intestazioni sono diverse: " + std::string(name_a) + " ha \"" +
                  std::string(a.substr(0, a.find_first_of("\r\n"))) + "\", " + std::string(name_b) +
                  " ha \"" + std::string(b.substr(0, b.find_first_of("\r\n"))) + "\"";
    return result;
  }
  std::vector<std::vector<std::optional<double>>> rows_a;
  std::vector<std::vector<std::optional<double>>> rows_b;
  if (!ReadValues(table_a, name_a, header.size(), rows_a, result.text) ||
      !ReadValues(table_b, name_b, header.size(), rows_b, result.text)) {
    return result;
  }

  std::string listed;
  std::size_t differences = 0;
  std::size_t compared = 0;
  const std::size_t common = std::min(rows_a.size(), rows_b.size());
  for (std::size_t row = 0; row < common; ++row) {
    for (std::size_t column = 0; column < header.size(); ++column) {
      ++compared;
      const std::optional<double>& va = rows_a[row][column];
      const std::optional<double>& vb = rows_b[row][column];
      if (FieldsMatch(va, vb, tolerance)) continue;
      if (++differences > kMaxListedDifferences) continue;
      listed += "riga " + std::to_string(row + 2) + ", " + std::string(header[column]) + ": " +
                ValueText(va) + " / " + ValueText(vb);
      if (va && vb && std::isfinite(*va) && std::isfinite(*vb)) {
        listed += " (differenza " + TableNumber(std::fabs(*va - *vb)) + ")";
      }
      listed += '\n';
    }
  }
  const bool same_rows = rows_a.size() == rows_b.size();
  if (differences == 0 && same_rows) {
    result.verdict = TableComparison::Verdict::kEqual;
    return result;
  }
  result.verdict = TableComparison::Verdict::kDiffer;
  result.text = listed;
  if (differences > kMaxListedDifferences) {
    result.text += "... e altre " + std::to_string(differences - kMaxListedDifferences) + '\n';
  }
  if (!same_rows) {
    result.text += "Righe di dati: " + std::to_string(rows_a.size()) + " in " +
                   std::string(name_a) + ", " + std::to_string(rows_b.size()) + " in " +
                   std::string(name_b) + '\n';
  }
  result.text += "Valori diversi: " + std::to_string(differences) + " su " +
                 std::to_string(compared) + " (tolleranza " + TableNumber(tolerance) + ")\n";
  return result;
}

std::optional<std::string> ReadTableFile(const std::string& path, std::string& text) {
  text.clear();
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) return std::string(std::strerror(errno));
    in = &file;
  }
  std::vector<char> chunk(64 * 1024);
  while (*in) {
    in->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto n = static_cast<std::size_t>(in->gcount());
    if (text.size() + n > kMaxTableBytes) {
      text.clear();
      return "il file supera il limite di " + std::to_string(kMaxTableBytes >> 20) +
             " MiB di una tabella";
    }
    text.append(chunk.data(), n);
  }
  if (in->bad()) {
    text.clear();
    return std::string("errore di lettura");
  }
  return std::nullopt;
}

int RunCompare(const CliOptions& options, std::ostream& out, std::ostream& err) {
  std::string texts[2];
  for (std::size_t i = 0; i < 2; ++i) {
    if (const auto problem = ReadTableFile(options.tables[i], texts[i])) {
      err << options.tables[i] << ": " << *problem << '\n';
      return kExitUsage;
    }
  }
  const auto name = [](const std::string& path) {
    return path == "-" ? std::string("stdin") : path;
  };
  const TableComparison comparison = CompareTables(
      texts[0], texts[1], options.tolerance, name(options.tables[0]), name(options.tables[1]));
  switch (comparison.verdict) {
    case TableComparison::Verdict::kEqual:
      return kExitOk;
    case TableComparison::Verdict::kDiffer:
      out << comparison.text << std::flush;
      return out ? kExitDiffer : kExitUsage;
    case TableComparison::Verdict::kBadInput:
      err << comparison.text << '\n';
      return kExitUsage;
  }
  return kExitUsage;
}

}  // namespace quorvel::cli
