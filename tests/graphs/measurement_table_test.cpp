#include "graphs/measurement_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

SweepResult ThreeOfFourPoints() {
  SweepResult result;
  result.points = {
      {10, -0.5, 1}, {1000, -45, 0.7071067811865476}, {1e5, -89.4, 1e-07}, {2e5, -90, 0.5}};
  result.count = 3;  // a cancelled run: the last point was never measured
  return result;
}

TimeTrace TwoOfThreeSamples() {
  TimeTrace trace;
  trace.times = {0, 0.00025, 0.0005};
  trace.inputs = {0, 1, -0.1};
  trace.outputs = {0, 0.125, 3.3e-10};
  trace.framesPerSample = {1, 37, 2};
  trace.count = 2;
  return trace;
}

TEST(MeasurementTableTest, SweepCsvHasTheToolsColumnsAndOnlyTheMeasuredPoints) {
  EXPECT_EQ(SweepCsv(ThreeOfFourPoints()),
            "frequency_hz,amplitude,phase_deg\n"
            "10,1,-0.5\n"
            "1000,0.7071067811865476,-45\n"
            "1e+05,1e-07,-89.4\n");
}

TEST(MeasurementTableTest, TabSeparatedTablesHoldTheSameFields) {
  const std::string csv = SweepCsv(ThreeOfFourPoints());
  std::string expected = csv;
  for (char& c : expected) c = c == ',' ? '\t' : c;
  EXPECT_EQ(SweepTsv(ThreeOfFourPoints()), expected);
  EXPECT_EQ(SweepTsv(ThreeOfFourPoints()).find(','), std::string::npos);

  const std::string trace_csv = TraceCsv(TwoOfThreeSamples());
  std::string trace_expected = trace_csv;
  for (char& c : trace_expected) c = c == ',' ? '\t' : c;
  EXPECT_EQ(TraceTsv(TwoOfThreeSamples()), trace_expected);
}

TEST(MeasurementTableTest, TraceCsvHasTimeInputOutputAndFrames) {
  EXPECT_EQ(TraceCsv(TwoOfThreeSamples()),
            "time_s,vi,vo,frames\n"
            "0,0,0,1\n"
            "0.00025,1,0.125,37\n");
}

TEST(MeasurementTableTest, EmptyAndInconsistentRunsGiveTheHeaderAndThePresentRows) {
  EXPECT_EQ(SweepCsv(SweepResult{}), "frequency_hz,amplitude,phase_deg\n");
  SweepResult negative = ThreeOfFourPoints();
  negative.count = -3;
  EXPECT_EQ(SweepCsv(negative), "frequency_hz,amplitude,phase_deg\n");

  // A count beyond the arrays, or columns of different lengths, never reads past the shortest.
  SweepResult overcounted = ThreeOfFourPoints();
  overcounted.count = 99;
  const std::string overcounted_csv = SweepCsv(overcounted);
  EXPECT_EQ(std::count(overcounted_csv.begin(), overcounted_csv.end(), '\n'), 5);
  TimeTrace ragged = TwoOfThreeSamples();
  ragged.count = 3;
  ragged.framesPerSample.resize(1);
  EXPECT_EQ(TraceCsv(ragged), "time_s,vi,vo,frames\n0,0,0,1\n");
}

TEST(MeasurementTableTest, ValuesThatAreNotNumbersAreEmptyFields) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  SweepResult result;
  result.points = {{1000, nan, nan}, {2000, -inf, 0.5}};
  result.count = 2;
  EXPECT_EQ(SweepCsv(result), "frequency_hz,amplitude,phase_deg\n1000,,\n2000,0.5,\n");
  TimeTrace trace;
  trace.times = {0.5};
  trace.inputs = {inf};
  trace.outputs = {nan};
  trace.framesPerSample = {4};
  trace.count = 1;
  EXPECT_EQ(TraceTsv(trace), "time_s\tvi\tvo\tframes\n0.5\t\t\t4\n");
  EXPECT_EQ(TableField(nan), "");
  EXPECT_EQ(TableField(-inf), "");
  EXPECT_EQ(TableField(0.25), "0.25");
}

// A writer that streams rows as the run stores them writes the whole table's bytes.
TEST(MeasurementTableTest, RowByRowIsTheWholeTable) {
  for (const char separator : {kCsvSeparator, kTabSeparator}) {
    const SweepResult result = ThreeOfFourPoints();
    std::string streamed = SweepTableHeader(separator);
    for (std::int32_t i = 0; i < result.count; ++i) {
      AppendSweepRow(result.points[static_cast<std::size_t>(i)], separator, streamed);
    }
    std::string whole;
    AppendSweepTable(result, separator, whole);
    EXPECT_EQ(streamed, whole);

    const TimeTrace trace = TwoOfThreeSamples();
    std::string streamed_trace = TraceTableHeader(separator);
    for (std::size_t i = 0; i < 2; ++i) AppendTraceRow(trace, i, separator, streamed_trace);
    std::string whole_trace;
    AppendTraceTable(trace, separator, whole_trace);
    EXPECT_EQ(streamed_trace, whole_trace);
  }
}

TEST(MeasurementTableTest, NumbersAreTheShortestTextsThatReadBackExactly) {
  const std::vector<double> values = {0.1,
                                      1.0 / 3,
                                      -2.5e-300,
                                      6.02214076e23,
                                      1e21,
                                      1e-5,
                                      123456789012345678.0,
                                      std::nextafter(1.0, 2.0),
                                      std::numeric_limits<double>::denorm_min()};
  for (const double value : values) {
    SCOPED_TRACE(value);
    const std::string text = TableNumber(value);
    double back = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(ec, std::errc());
    EXPECT_EQ(ptr, text.data() + text.size());
    EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    EXPECT_EQ(text.find(','), std::string::npos);
  }
  EXPECT_EQ(TableNumber(0.1), "0.1");
  EXPECT_EQ(TableNumber(-0.0), "-0");
  EXPECT_EQ(TableNumber(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(TableNumber(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(TableNumber(-std::numeric_limits<double>::infinity()), "-inf");
}

TEST(MeasurementTableTest, ANameWithoutExtensionGetsCsv) {
  const std::pair<const char*, const char*> cases[] = {
      {"/tmp/misure", "/tmp/misure.csv"},         {"/tmp/misure.csv", "/tmp/misure.csv"},
      {"/tmp/misure.CSV", "/tmp/misure.CSV"},     {"/tmp/misure.txt", "/tmp/misure.txt"},
      {"/tmp/a.b/misure", "/tmp/a.b/misure.csv"},  // a dot in a folder is no extension
  };
  for (const auto& [typed, written] : cases) {
    EXPECT_EQ(CsvFilePath(QString::fromUtf8(typed)), QString::fromUtf8(written)) << typed;
  }
  EXPECT_EQ(CsvFileFilter(), QStringLiteral("File CSV (*.csv)"));
}

}  // namespace
}  // namespace quorvel
