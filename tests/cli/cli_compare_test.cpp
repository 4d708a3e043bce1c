#include "cli/cli_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

namespace quorvel::cli {
namespace {

using Verdict = TableComparison::Verdict;

TEST(ValuesMatchTest, ToleranceIsAbsoluteUpToOneAndRelativeAbove) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double a, b, tolerance;
    bool match;
  };
  const Case cases[] = {
      {0.5, 0.5, 0, true},         {0.5, 0.5000001, 0, false},
      {0.5, 0.5009, 1e-3, true},    // |d| 9e-4 <= 1e-3 * 1
      {0.5, 0.5011, 1e-3, false},   // |d| 1.1e-3 > 1e-3
      {0.001, 0.0019, 1e-3, true},  // small values: absolute
      {-45, -45.04, 1e-3, true},    // 0.04 <= 1e-3 * 45.04
      {-45, -45.1, 1e-3, false},    // 0.1 > 0.0451
      {1e5, 1.0009e5, 1e-3, true},  // frequencies: relative
      {1e5, 1.002e5, 1e-3, false}, {kNan, kNan, 0, true},
      {kNan, 1, 1e300, false},     {kInf, kInf, 0, true},
      {kInf, -kInf, 1e300, false}, {kInf, 1e308, 1e300, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " " + std::to_string(c.b) + " " +
                 std::to_string(c.tolerance));
    EXPECT_EQ(ValuesMatch(c.a, c.b, c.tolerance), c.match);
    EXPECT_EQ(ValuesMatch(c.b, c.a, c.tolerance), c.match);
  }
}

constexpr const char* kTable =
    "frequency_hz,amplitude,phase_deg\n"
    "10,1,-0.5\n"
    "1000,0.7071,-45\n"
    "1e+05,,\n";

struct CompareCase {
  const char* name;
  std::string a;
  std::string b;
  double tolerance;
  Verdict verdict;
  std::string text_part;  // found in the text (empty: the text is empty)
};

void PrintTo(const CompareCase& c, std::ostream* os) { *os << c.name; }

class CompareTablesTest : public testing::TestWithParam<CompareCase> {};

TEST_P(CompareTablesTest, GivesTheVerdictAndSaysWhy) {
  const CompareCase& c = GetParam();
  const TableComparison result = CompareTables(c.a, c.b, c.tolerance, "a.csv", "b.csv");
  EXPECT_EQ(result.verdict, c.verdict);
  if (c.text_part.empty()) {
    EXPECT_EQ(result.text, "");
  } else {
    EXPECT_NE(result.text.find(c.text_part), std::string::npos) << result.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompareTablesTest,
    testing::Values(
        CompareCase{"same", kTable, kTable, 0, Verdict::kEqual, ""},
        CompareCase{"crlf_and_no_last_line_end", kTable,
                    "frequency_hz,amplitude,phase_deg\r\n10,1,-0.5\r\n1000,0.7071,-45\r\n1e+05,,",
                    0, Verdict::kEqual, ""},
        CompareCase{"other_spelling_same_number", kTable,
                    "frequency_hz,amplitude,phase_deg\n10.0,1e0,-0.50\n1e3,0.7071,-45\n100000,,\n",
                    0, Verdict::kEqual, ""},
        CompareCase{"within_tolerance", kTable,
                    "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7075,-45.01\n1e+05,,\n",
                    1e-3, Verdict::kEqual, ""},
        CompareCase{"beyond_tolerance", kTable,
                    "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7101,-45\n1e+05,,\n", 1e-3,
                    Verdict::kDiffer,
                    "riga 3, amplitude: 0.7071 / 0.7101 (differenza 0.0030000000000000027)\n"
                    "Valori diversi: 1 su 9 (tolleranza 0.001)\n"},
        CompareCase{"empty_against_number", kTable,
                    "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7071,-45\n1e+05,0,\n", 1,
                    Verdict::kDiffer, "riga 4, amplitude: (vuoto) / 0\n"},
        CompareCase{"fewer_rows", kTable,
                    "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7071,-45\n", 0,
                    Verdict::kDiffer, "Righe di dati: 3 in a.csv, 2 in b.csv\n"},
        CompareCase{"other_header", kTable, "time_s,vi,vo,frames\n0,0,0,1\n", 0, Verdict::kBadInput,
                    "le intestazioni sono diverse"},
        CompareCase{"missing_field", kTable,
                    "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7071\n", 0,
                    Verdict::kBadInput, "b.csv, riga 3: 2 campi invece di 3"},
        CompareCase{"not_a_number", "frequency_hz,amplitude,phase_deg\n10,1,-0,5\n", kTable, 0,
                    Verdict::kBadInput, "a.csv, riga 2: 4 campi invece di 3"},
        CompareCase{"text_field", kTable, "frequency_hz,amplitude,phase_deg\n10,uno,-0.5\n", 0,
                    Verdict::kBadInput, "b.csv, riga 2: \"uno\" non è un numero"},
        CompareCase{"blank_line_inside", kTable, "frequency_hz,amplitude,phase_deg\n\n10,1,-0.5\n",
                    0, Verdict::kBadInput, "b.csv, riga 2: 1 campi invece di 3"},
        CompareCase{"empty_file", "", kTable, 0, Verdict::kBadInput, "a.csv: il file è vuoto"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(CompareTablesTest, ListsTwentyDifferencesAndCountsTheRest) {
  std::string a = "time_s,vi,vo,frames\n";
  std::string b = a;
  for (int i = 0; i < 30; ++i) {
    a += std::to_string(i) + ",0,0,1\n";
    b += std::to_string(i) + ",0,1,1\n";
  }
  const TableComparison result = CompareTables(a, b, 0, "a", "b");
  EXPECT_EQ(result.verdict, Verdict::kDiffer);
  EXPECT_NE(result.text.find("riga 2, vo: 0 / 1 (differenza 1)\n"), std::string::npos);
  EXPECT_NE(result.text.find("riga 21, vo: 0 / 1 (differenza 1)\n"), std::string::npos);
  EXPECT_EQ(result.text.find("riga 22,"), std::string::npos);
  EXPECT_NE(result.text.find("... e altre 10\nValori diversi: 30 su 120"), std::string::npos)
      << result.text;
}

}  // namespace
}  // namespace quorvel::cli
