#include "cli/cli_commands.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_support.h"
#include "documents/safe_file.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

namespace quorvel::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A main window test as the program starts, with a sweep that runs in a blink.
TestDocument QuickSweepTest() {
  TestDocument t;
  t.start_frequency = QStringLiteral("100");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("1");
  t.end_multiplier = 1;
  t.samples = 5;
  t.oscillations = 1;
  return t;
}

// A test with an oscilloscope section that runs at 1 kHz for one period, 100 samples.
TestDocument QuickScopeTest() {
  TestDocument t;
  OscilloscopeSection o;
  o.start_frequency = QStringLiteral("1");
  o.start_multiplier = 1;
  o.end_frequency = QStringLiteral("2");
  o.end_multiplier = 1;
  o.frequency_position = 0;
  o.oscillations = 1;
  o.samples = 100;
  t.oscilloscope = o;
  return t;
}

// --- Settings taken from a test ----------------------------------------------------------

TEST(SweepSettingsTest, FrequenciesAreTheTextsTimesTheirMultipliers) {
  struct Case {
    const char* start_text;
    std::int32_t start_multiplier;
    const char* end_text;
    std::int32_t end_multiplier;
    double start, end;
  };
  const Case cases[] = {
      {"10", 0, "100", 1, 10, 100000},
      {"2,5", 2, "1.5", 0, 2.5e6, 1.5},  // decimal comma or point, as the window accepts
      {"0,001", 0, "100000", 3, 0.001, 1e14},
      {" 7 ", 1, "1e2", 1, 7000, 100000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start_text);
    TestDocument t;
    t.start_frequency = QString::fromUtf8(c.start_text);
    t.start_multiplier = c.start_multiplier;
    t.end_frequency = QString::fromUtf8(c.end_text);
    t.end_multiplier = c.end_multiplier;
    std::ostringstream err;
    const auto s = SweepSettingsFor(t, CliOptions{}, err);
    ASSERT_TRUE(s.has_value()) << err.str();
    EXPECT_DOUBLE_EQ(s->start_frequency, c.start);
    EXPECT_DOUBLE_EQ(s->end_frequency, c.end);
    EXPECT_EQ(err.str(), "");
  }
}

TEST(SweepSettingsTest, InvalidFrequencyTextsGiveTheStartCommandsMessage) {
  struct Case {
    const char* start_text;
    const char* end_text;
    std::string expected_start;  // the message begins so
  };
  const Case cases[] = {
      {"abc", "1", "La frequenza iniziale deve essere un numero\n"},
      {"", "1", "La frequenza iniziale deve essere un numero\n"},
      {"0", "1", "La frequenza iniziale deve essere maggiore o uguale a "},
      {"0,0009", "1", "La frequenza iniziale deve essere maggiore o uguale a "},
      {"100001", "1", "La frequenza iniziale deve essere minore o uguale a "},
      {"1", "x", "La frequenza finale deve essere un numero\n"},
      {"1", "-5", "La frequenza finale deve essere maggiore o uguale a "},
      {"abc", "x", "La frequenza iniziale deve essere un numero\n"},  // the first check wins
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start_text << " / " << c.end_text);
    TestDocument t;
    t.start_frequency = QString::fromUtf8(c.start_text);
    t.end_frequency = QString::fromUtf8(c.end_text);
    std::ostringstream err;
    EXPECT_FALSE(SweepSettingsFor(t, CliOptions{}, err).has_value());
    const std::string message = err.str();
    EXPECT_EQ(message.rfind(c.expected_start, 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
}

TEST(SweepSettingsTest, CommandLineValuesReplaceTheTestsAndSkipTheirChecks) {
  TestDocument t;
  t.start_frequency = QStringLiteral("abc");
  t.end_frequency = QStringLiteral("x");
  t.samples = 40;
  t.oscillations = 9;
  t.parameters = QStringLiteral("k = 1\r\n");
  t.functions = QStringLiteral("vo = k * vi\r\n");
  CliOptions o;
  o.start_frequency = 20;
  o.end_frequency = 2e4;
  std::ostringstream err;
  auto s = SweepSettingsFor(t, o, err);
  ASSERT_TRUE(s.has_value()) << err.str();
  EXPECT_EQ(s->start_frequency, 20);
  EXPECT_EQ(s->end_frequency, 2e4);
  EXPECT_EQ(s->samples, 40);
  EXPECT_EQ(s->oscillations, 9);
  EXPECT_EQ(s->parameters, t.parameters);
  EXPECT_EQ(s->functions, t.functions);

  o.samples = 2;
  o.oscillations = 32767;
  s = SweepSettingsFor(t, o, err);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->samples, 2);
  EXPECT_EQ(s->oscillations, 32767);
}

TEST(ScopeSettingsTest, RunFrequencyLiesBetweenStartAndEndAtTheSliderPosition) {
  struct Case {
    const char* start_text;
    const char* end_text;
    int position;
    double expected;
  };
  const Case cases[] = {
      {"1", "3", 25, 1500},  // 1 kHz .. 3 kHz, a quarter of the way
      {"1", "3", 0, 1000},  {"1", "3", 100, 3000},
      {"3", "1", 0, 3000},  // end below start: position 0 is still the start
      {"3", "1", 50, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start_text << " " << c.end_text << " " << c.position);
    TestDocument t = QuickScopeTest();
    t.oscilloscope->start_frequency = QString::fromUtf8(c.start_text);
    t.oscilloscope->end_frequency = QString::fromUtf8(c.end_text);
    t.oscilloscope->frequency_position = c.position;
    std::ostringstream err;
    const auto s = ScopeSettingsFor(t, CliOptions{}, err);
    ASSERT_TRUE(s.has_value()) << err.str();
    EXPECT_DOUBLE_EQ(s->frequency, c.expected);
  }
}

TEST(ScopeSettingsTest, TakesTheSectionsSettingsAndItsItemsOnlyInParametricMode) {
  TestDocument t = QuickScopeTest();
  t.parameters = QStringLiteral("a = 1\r\n");
  t.functions = QStringLiteral("vo = a * vi\r\n");
  t.oscilloscope->waveform = QStringLiteral("quadra");
  t.oscilloscope->oscillations = 4;
  t.oscilloscope->samples = 300;
  t.oscilloscope->parameter_items = {QStringLiteral("a 50% [0;2]"), QStringLiteral("b 10% [1;2]")};
  std::ostringstream err;
  auto s = ScopeSettingsFor(t, CliOptions{}, err);
  ASSERT_TRUE(s.has_value()) << err.str();
  EXPECT_EQ(s->waveform, QStringLiteral("quadra"));
  EXPECT_EQ(s->oscillations, 4);
  EXPECT_EQ(s->samples, 300);
  EXPECT_EQ(s->parameters, t.parameters);
  EXPECT_EQ(s->functions, t.functions);
  EXPECT_TRUE(s->parameter_items.isEmpty()) << "parametric mode is off";

  t.oscilloscope->parametric_filter = true;
  s = ScopeSettingsFor(t, CliOptions{}, err);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->parameter_items, t.oscilloscope->parameter_items);
}

TEST(ScopeSettingsTest, WithoutASectionTakesWhatOpeningTheOscilloscopeGives) {
  TestDocument t;
  t.start_frequency = QStringLiteral("10");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("5");
  t.end_multiplier = 1;
  t.oscillations = 7;
  t.samples = 300;  // the window's own samples setting is not copied
  std::ostringstream err;
  const auto s = ScopeSettingsFor(t, CliOptions{}, err);
  ASSERT_TRUE(s.has_value()) << err.str();
  EXPECT_DOUBLE_EQ(s->frequency, 10);  // the slider starts at 0: the start frequency
  EXPECT_EQ(s->oscillations, 7);
  EXPECT_EQ(s->samples, OscilloscopeSection{}.samples);
  EXPECT_EQ(s->waveform, QStringLiteral("sinusoidale"));
  EXPECT_TRUE(s->parameter_items.isEmpty());
}

TEST(ScopeSettingsTest, InvalidFrequencyTextsFailUnlessTheFrequencyIsGiven) {
  TestDocument t = QuickScopeTest();
  t.oscilloscope->end_frequency = QStringLiteral("200000");
  std::ostringstream err;
  EXPECT_FALSE(ScopeSettingsFor(t, CliOptions{}, err).has_value());
  EXPECT_EQ(err.str().rfind("La frequenza finale deve essere minore o uguale a ", 0), 0u)
      << err.str();

  t.oscilloscope->end_frequency = QStringLiteral("1");
  t.oscilloscope->start_frequency = QStringLiteral("uno");
  std::ostringstream err2;
  EXPECT_FALSE(ScopeSettingsFor(t, CliOptions{}, err2).has_value());
  EXPECT_EQ(err2.str(), "La frequenza iniziale deve essere un numero\n");

  CliOptions o;
  o.frequency = 250;
  o.waveform = QStringLiteral("vi = 0.25");
  o.oscillations = 3;
  o.samples = 1;
  std::ostringstream err3;
  const auto s = ScopeSettingsFor(t, o, err3);
  ASSERT_TRUE(s.has_value()) << err3.str();
  EXPECT_EQ(s->frequency, 250);
  EXPECT_EQ(s->waveform, QStringLiteral("vi = 0.25"));
  EXPECT_EQ(s->oscillations, 3);
  EXPECT_EQ(s->samples, 1);
  EXPECT_EQ(err3.str(), "");
}

// --- Reading the test ----------------------------------------------------------------------

TEST(LoadTestTest, WithoutAFileTheDefaultsCarryTheCommandLinesFilter) {
  CliOptions o;
  o.functions = QStringLiteral("vo = -vi\r\n");
  std::ostringstream err;
  auto t = LoadTest(o, err);
  ASSERT_TRUE(t.has_value());
  TestDocument expected;
  expected.functions = QStringLiteral("vo = -vi\r\n");
  EXPECT_TRUE(*t == expected);

  o.parameters = QStringLiteral("k = 2");
  t = LoadTest(o, err);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->parameters, QStringLiteral("k = 2"));
  EXPECT_EQ(err.str(), "");
}

class LoadFileTest : public testing::Test {
 protected:
  std::string Write(const char* name, const QByteArray& bytes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path.toStdString();
  }

  QTemporaryDir dir_;
};

TEST_F(LoadFileTest, ReadsTheFileAndLetsTheCommandLineReplaceItsTexts) {
  TestDocument saved = QuickSweepTest();
  saved.parameters = QStringLiteral("a = 1\r\n");
  saved.functions = QStringLiteral("vo = a * vi\r\n");
  saved.oscilloscope = OscilloscopeSection{};
  saved.oscilloscope->parameter_items = {QStringLiteral("a 10% [0;1]")};
  const CodecResult<QByteArray> bytes = WriteTestDocument(saved);
  ASSERT_TRUE(bytes.ok());
  CliOptions o;
  o.file = Write("test.flt", bytes.value());
  std::ostringstream err;
  auto t = LoadTest(o, err);
  ASSERT_TRUE(t.has_value()) << err.str();
  EXPECT_TRUE(*t == saved);

  o.functions = QStringLiteral("vo = 2 * a * vi\r\n");
  t = LoadTest(o, err);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->functions, *o.functions);
  EXPECT_EQ(t->parameters, saved.parameters);  // only what the command line gives is replaced
  EXPECT_EQ(t->start_frequency, saved.start_frequency);
  EXPECT_EQ(err.str(), "");
}

TEST_F(LoadFileTest, FilesThatAreNotTestsGiveOneLineNamingFileAndRecord) {
  struct Case {
    const char* name;
    QByteArray bytes;
    std::string expected_part;
  };
  const Case cases[] = {
      {"header.flt", "\"Quorvel - ombrat\",\"1.0.0\"\r\n", "Il formato del file non è valido"},
      {"text.flt", "just some text\n", "Il formato del file non è valido"},
      {"empty.flt", "", "record 1"},
      {"graphs.flt", "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"Graphs\",9\r\n", "Record 2"},
      {"cut.flt", "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"1\"\r\n\"Fil\",\"vo=vi", "record 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CliOptions o;
    o.file = Write(c.name, c.bytes);
    std::ostringstream err;
    EXPECT_FALSE(LoadTest(o, err).has_value());
    const std::string message = err.str();
    EXPECT_EQ(message.rfind(*o.file + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(c.expected_part), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
}

TEST_F(LoadFileTest, AFileAboveTheSizeLimitIsRefusedWithoutBeingRead) {
  QByteArray bytes = "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"Fil\",\"";
  bytes.append(QByteArray(kMaxTestFileBytes, 'x'));
  bytes.append("\"\r\n");
  CliOptions o;
  o.file = Write("huge.flt", bytes);
  std::ostringstream err;
  EXPECT_FALSE(LoadTest(o, err).has_value());
  EXPECT_EQ(err.str(), *o.file + ": Il file supera il limite di 16 MiB di un file di test\n");
}

TEST_F(LoadFileTest, ParameterItemsWithBadNamesAreSkippedAndSaidOnce) {
  QByteArray bytes =
      "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"-addin-\",\"Oscilloscopio\"\r\n"
      "\"OscParFil\",#TRUE#\r\n"
      "\"OscParS\",\"Math.random 50% [0;1]\"\r\n"
      "\"OscParS\",\"k 50% [0;2]\"\r\n"
      "\"OscParS\",\"x;vo 50% [0;2]\"\r\n";
  CliOptions o;
  o.command = Command::Scope;
  o.file = Write("items.flt", bytes);
  std::ostringstream err;
  const auto t = LoadTest(o, err);
  ASSERT_TRUE(t.has_value()) << err.str();
  ASSERT_TRUE(t->oscilloscope.has_value());
  EXPECT_EQ(t->oscilloscope->parameter_items, QStringList{QStringLiteral("k 50% [0;2]")});
  EXPECT_EQ(t->oscilloscope->skipped_parameter_items, 2);
  const auto settings = ScopeSettingsFor(*t, o, err);
  ASSERT_TRUE(settings.has_value());
  EXPECT_EQ(settings->parameter_items, QStringList{QStringLiteral("k 50% [0;2]")});
  EXPECT_EQ(err.str(),
            "Parametri del filtro parametrico ignorati (il nome non è un identificatore): 2\n");
}

TEST_F(LoadFileTest, AMissingFileGivesTheSystemsError) {
  CliOptions o;
  o.file = dir_.filePath(QStringLiteral("missing.flt")).toStdString();
  std::ostringstream err;
  EXPECT_FALSE(LoadTest(o, err).has_value());
  const std::string message = err.str();
  EXPECT_EQ(message.rfind(*o.file + ": ", 0), 0u) << message;
  EXPECT_GT(message.size(), o.file->size() + 3) << "the reason follows the name";

  o.file = dir_.path().toStdString();  // a folder is not a file either
  std::ostringstream err2;
  EXPECT_FALSE(LoadTest(o, err2).has_value());
  EXPECT_EQ(err2.str().rfind(*o.file + ": ", 0), 0u) << err2.str();
}

// --- Output helpers ----------------------------------------------------------------------

TEST(CsvNumberTest, ReadsBackToTheSameDoubleInCNotation) {
  const double values[] = {0.0,
                           1.0,
                           -2.5,
                           0.1,
                           1.0 / 3.0,
                           99999.99999999837,
                           6.28318530717958e-7,
                           1e22,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(),
                           -179.49999999999997};
  for (const double v : values) {
    SCOPED_TRACE(v);
    const std::string text = CsvNumber(v);
    EXPECT_EQ(text.find(','), std::string::npos);
    double back = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(ec, std::errc());
    EXPECT_EQ(ptr, text.data() + text.size());
    EXPECT_EQ(back, v);
  }
  EXPECT_EQ(CsvNumber(0.1), "0.1");
  EXPECT_EQ(CsvNumber(1000), "1000");
}

TEST(ReportForOutputTest, MakesCrLfLf) {
  EXPECT_EQ(ReportForOutput(QStringLiteral("Operazione completata\r\nErrori totali: 0\r\n"
                                           "\r\nFunzioni del filtro:\r\nvo=vi\r\n\r\n")),
            "Operazione completata\nErrori totali: 0\n\nFunzioni del filtro:\nvo=vi\n\n");
}

// --- Runs ----------------------------------------------------------------------------------

class RunCommandTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.LoadCode(PreludeText()).ok()); }

  // Runs the settings with the report on err; returns the exit status.
  int Run(const RunSettings& settings, bool report = true, bool progress = false) {
    out_.str({});
    err_.str({});
    CommandIo io{out_, err_, progress, report};
    return ExecuteRun(settings, host_, interrupt_, io);
  }
  SweepSettings Sweep(const TestDocument& t) {
    std::ostringstream err;
    auto s = SweepSettingsFor(t, CliOptions{}, err);
    EXPECT_TRUE(s.has_value()) << err.str();
    return s.value_or(SweepSettings{});
  }
  ScopeSettings Scope(const TestDocument& t, const CliOptions& o = {}) {
    std::ostringstream err;
    auto s = ScopeSettingsFor(t, o, err);
    EXPECT_TRUE(s.has_value()) << err.str();
    return s.value_or(ScopeSettings{});
  }

  ScriptHost host_;
  std::atomic<bool> interrupt_{false};
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(RunCommandTest, SweepWritesOneRowPerMeasuredPoint) {
  TestDocument t = QuickSweepTest();
  t.functions = QStringLiteral("vo = vi\r\n");
  ASSERT_EQ(Run(Sweep(t)), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 3);
  ASSERT_TRUE(csv.ok) << out_.str();
  EXPECT_EQ(csv.header, "frequency_hz,amplitude,phase_deg");
  ASSERT_EQ(csv.rows.size(), 5u);
  for (std::size_t i = 0; i < csv.rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(csv.rows[i][0], 100 * std::pow(10.0, i / 4.0), 1e-9 * csv.rows[i][0]);
    EXPECT_EQ(csv.rows[i][1], 1.0);
    EXPECT_LT(std::fabs(csv.rows[i][2]), 1.0);
  }
  EXPECT_EQ(csv.rows[0][0], 100.0);
  // The report, with terminal line ends.
  const std::string err = err_.str();
  EXPECT_EQ(err.rfind("Operazione completata\nDurata simulazione: ", 0), 0u) << err;
  EXPECT_EQ(LineValue(err, "Errori totali: "), "0");
  EXPECT_EQ(err.find('\r'), std::string::npos);
}

TEST_F(RunCommandTest, SweepOfALowPassFallsAndLags) {
  TestDocument t = QuickSweepTest();
  t.parameters = QStringLiteral("RC = 1/(2*3.14159265358979*1000)\r\n");
  t.functions = QStringLiteral("vo = vo + (vi - vo) * dt / RC\r\n");
  t.start_frequency = QStringLiteral("10");
  t.end_frequency = QStringLiteral("100");
  t.samples = 5;  // one a decade: 10 Hz, 100 Hz, 1 kHz, 10 kHz, 100 kHz
  t.oscillations = 5;
  ASSERT_EQ(Run(Sweep(t), false), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 3);
  ASSERT_TRUE(csv.ok);
  ASSERT_EQ(csv.rows.size(), 5u);
  EXPECT_NEAR(csv.rows[0][1], 1.0, 0.01);
  EXPECT_NEAR(csv.rows[2][0], 1000, 1e-9);
  EXPECT_NEAR(csv.rows[2][1], 0.71, 0.03);
  EXPECT_NEAR(csv.rows[2][2], -45, 3);
  EXPECT_LT(csv.rows[4][1], 0.03);
  EXPECT_EQ(err_.str(), "") << "no report asked for, no errors, no cancel: nothing to say";
}

TEST_F(RunCommandTest, FilterErrorsAreCountedNotFailures) {
  TestDocument t = QuickSweepTest();
  t.functions = QStringLiteral("vo = undefined_name\r\n");
  ASSERT_EQ(Run(Sweep(t), false), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 3);
  ASSERT_TRUE(csv.ok);
  EXPECT_EQ(csv.rows.size(), 5u);
  // Without --report, one line still says that the filter failed.
  const std::string count = LineValue(err_.str(), "Errori totali: ");
  EXPECT_GT(std::atoi(count.c_str()), 0) << err_.str();
  EXPECT_NE(count.find("--report"), std::string::npos);
}

TEST_F(RunCommandTest, ScopeWritesOneRowPerSample) {
  TestDocument t = QuickScopeTest();
  ASSERT_EQ(Run(Scope(t)), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 4);
  ASSERT_TRUE(csv.ok) << out_.str();
  EXPECT_EQ(csv.header, "time_s,vi,vo,frames");
  const std::string samples = LineValue(err_.str(), "Numero campioni: ");
  ASSERT_FALSE(samples.empty()) << err_.str();
  EXPECT_EQ(csv.rows.size(), static_cast<std::size_t>(std::stoi(samples)));
  EXPECT_GE(csv.rows.size(), 100u);
  EXPECT_LE(csv.rows.size(), 102u);
  EXPECT_DOUBLE_EQ(csv.rows[0][0], 1e-3 / 5000);  // the first frame ends at dt = dtmin
  for (std::size_t i = 0; i < csv.rows.size(); ++i) {
    SCOPED_TRACE(i);
    const std::vector<double>& row = csv.rows[i];
    if (i > 0) {
      EXPECT_GT(row[0], csv.rows[i - 1][0]);
    }
    EXPECT_NEAR(row[1], std::sin(6.28318530717958 * 1000 * row[0]), 1e-9);
    EXPECT_EQ(row[2], row[1]);  // the default filter vo=vi
    EXPECT_GE(row[3], 1);
    EXPECT_EQ(row[3], std::floor(row[3]));
  }
  EXPECT_NE(err_.str().find("Segnale in ingresso (f = 1 KHz):\nsinusoidale\n"), std::string::npos)
      << err_.str();
}

// The lines of a CSV text after its header, split at commas (empty fields kept).
std::vector<std::vector<std::string>> CsvFields(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = line.find(',', start);
      fields.push_back(
          line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    rows.push_back(std::move(fields));
  }
  return rows;
}

TEST_F(RunCommandTest, ValuesThatAreNotFiniteNumbersAreEmptyFieldsAndCounted) {
  TestDocument sweep = QuickSweepTest();
  sweep.functions = QStringLiteral("vo = (t > 0) ? NaN : 0\r\n");
  ASSERT_EQ(Run(Sweep(sweep), false), kExitOk);
  auto rows = CsvFields(out_.str());
  ASSERT_EQ(rows.size(), 5u) << out_.str();
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    EXPECT_FALSE(row[0].empty()) << "the frequency is known";
    EXPECT_EQ(row[1], "") << "no amplitude";
    EXPECT_EQ(row[2], "") << "no phase";
  }
  EXPECT_GT(std::atoi(LineValue(err_.str(), "Errori totali: ").c_str()), 0) << err_.str();

  TestDocument scope = QuickScopeTest();
  scope.functions = QStringLiteral("vo = 1 / 0\r\n");
  ASSERT_EQ(Run(Scope(scope), true), kExitOk);
  rows = CsvFields(out_.str());
  ASSERT_GE(rows.size(), 100u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 4u);
    EXPECT_FALSE(row[1].empty());
    EXPECT_EQ(row[2], "");
  }
  EXPECT_GT(std::atoi(LineValue(err_.str(), "Errori di overflow: ").c_str()), 100) << err_.str();
}

TEST_F(RunCommandTest, EachDistinctFilterErrorIsSaidOnceWithItsCountAndLine) {
  TestDocument t = QuickSweepTest();
  t.functions = QStringLiteral("vo = vi\r\nvo = (1 +* 2)\r\n");
  for (const bool report : {false, true}) {
    SCOPED_TRACE(report ? "with --report" : "without --report");
    ASSERT_EQ(Run(Sweep(t), report), kExitOk);
    const std::string err = err_.str();
    const std::size_t at = err.find("Errore: SyntaxError: ");
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("Errore: ", at + 1), std::string::npos) << "one distinct error, once";
    const std::string line = err.substr(at, err.find('\n', at) - at);
    EXPECT_NE(line.find("(Funzioni del filtro, riga 2)"), std::string::npos) << line;
    const std::string total = LineValue(err, "Errori totali: ");
    EXPECT_NE(line.find(" (" + total.substr(0, total.find(' ')) + " volte)"), std::string::npos)
        << line << " / " << total;
  }
}

TEST_F(RunCommandTest, TopLevelLetIsRefusedNamingTheLine) {
  TestDocument t = QuickSweepTest();
  t.functions = QStringLiteral("let g = 2\r\nvo = g * vi\r\n");
  EXPECT_EQ(Run(Sweep(t)), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str().rfind("Funzioni del filtro, riga 1: la dichiarazione let ", 0), 0u)
      << err_.str();
}

TEST_F(RunCommandTest, TheMethodComesFromTheTestUnlessTheCommandLineSaysOtherwise) {
  TestDocument t = QuickSweepTest();
  EXPECT_EQ(Sweep(t).method, SweepMethod::kClassic);
  t.precise_method = true;
  EXPECT_EQ(Sweep(t).method, SweepMethod::kPrecise);
  CliOptions o;
  o.method = SweepMethod::kClassic;
  std::ostringstream err;
  EXPECT_EQ(SweepSettingsFor(t, o, err)->method, SweepMethod::kClassic);

  t.functions = QStringLiteral("vo = vi\r\n");
  ASSERT_EQ(Run(Sweep(t)), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 3);
  ASSERT_TRUE(csv.ok);
  ASSERT_EQ(csv.rows.size(), 5u);
  for (const auto& row : csv.rows) {
    EXPECT_EQ(row[1], 1.0);
    EXPECT_EQ(row[2], 0.0);
  }
  EXPECT_NE(err_.str().find("Metodo di misura: precisa\n"), std::string::npos) << err_.str();
}

TEST_F(RunCommandTest, ARefusedFixedStepWritesItsMessageAndNoCsv) {
  TestDocument t = QuickSweepTest();
  t.parameters = QStringLiteral("dt = -1\r\n");
  EXPECT_EQ(Run(Sweep(t)), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "Il passo dt fissato dai parametri deve essere un numero maggiore di 0\n");

  TestDocument s = QuickScopeTest();
  s.parameters = QStringLiteral("dt = 1e-20\r\n");
  EXPECT_EQ(Run(Scope(s)), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str().rfind("Il passo dt fissato dai parametri è troppo piccolo", 0), 0u)
      << err_.str();
}

TEST_F(RunCommandTest, ScopeAssignsTheParametersOnlyInParametricMode) {
  TestDocument t = QuickScopeTest();
  t.functions = QStringLiteral("vo = k\r\n");
  t.oscilloscope->parameter_items = {QStringLiteral("k 50% [0;2]")};
  t.oscilloscope->parametric_filter = true;
  ASSERT_EQ(Run(Scope(t)), kExitOk);
  ParsedCsv csv = ParseCsv(out_.str(), 4);
  ASSERT_TRUE(csv.ok);
  ASSERT_FALSE(csv.rows.empty());
  for (const auto& row : csv.rows) EXPECT_EQ(row[2], 1.0);
  EXPECT_EQ(LineValue(err_.str(), "Errori totali: "), "0");

  t.oscilloscope->parameter_items = {QStringLiteral("k 25% [0,1;0,5]")};  // decimal commas
  ASSERT_EQ(Run(Scope(t)), kExitOk);
  csv = ParseCsv(out_.str(), 4);
  ASSERT_TRUE(csv.ok);
  ASSERT_FALSE(csv.rows.empty());
  for (const auto& row : csv.rows) EXPECT_DOUBLE_EQ(row[2], 0.2);
}

TEST_F(RunCommandTest, ScopeTakesAWaveformStatementFromTheCommandLine) {
  CliOptions o;
  o.waveform = QStringLiteral("vi = 0.25");
  o.samples = 10;
  ASSERT_EQ(Run(Scope(QuickScopeTest(), o)), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 4);
  ASSERT_TRUE(csv.ok);
  EXPECT_GE(csv.rows.size(), 10u);
  EXPECT_LE(csv.rows.size(), 12u);
  for (const auto& row : csv.rows) EXPECT_EQ(row[1], 0.25);
  EXPECT_NE(err_.str().find("):\nvi = 0.25\n"), std::string::npos) << err_.str();
}

TEST_F(RunCommandTest, InterruptBeforeTheSweepMeasuresNothing) {
  TestDocument t = QuickSweepTest();
  interrupt_ = true;
  ASSERT_EQ(Run(Sweep(t)), kExitOk);
  EXPECT_EQ(out_.str(), "frequency_hz,amplitude,phase_deg\n");
  EXPECT_EQ(err_.str().rfind("Operazione annullata\n", 0), 0u) << err_.str();

  // Without --report the cancel is still said.
  ASSERT_EQ(Run(Sweep(t), false), kExitOk);
  EXPECT_EQ(err_.str(), "Operazione annullata\n");
}

TEST_F(RunCommandTest, InterruptDuringTheSweepKeepsThePointsMeasuredSoFar) {
  TestDocument t = QuickSweepTest();
  t.start_frequency = QStringLiteral("1");
  t.end_frequency = QStringLiteral("1");
  t.end_multiplier = 0;
  t.samples = 200;  // about 20 s at 20 oscillations of 1 Hz each
  t.oscillations = 20;
  const auto started = steady_clock::now();
  std::jthread stopper([this] {
    std::this_thread::sleep_for(milliseconds(300));
    interrupt_ = true;
  });
  ASSERT_EQ(Run(Sweep(t)), kExitOk);
  const auto elapsed = steady_clock::now() - started;
  const ParsedCsv csv = ParseCsv(out_.str(), 3);
  ASSERT_TRUE(csv.ok);
  EXPECT_LT(csv.rows.size(), 200u);
  for (const auto& row : csv.rows) EXPECT_EQ(row[0], 1.0);
  EXPECT_EQ(err_.str().rfind("Operazione annullata\n", 0), 0u) << err_.str();
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(RunCommandTest, InterruptDuringTheScopeKeepsTheSamplesSoFar) {
  TestDocument t = QuickScopeTest();
  t.oscilloscope->start_frequency = QStringLiteral("1");
  t.oscilloscope->start_multiplier = 0;
  t.oscilloscope->samples = 2000;
  CliOptions o;
  o.oscillations = 5000;  // minutes
  std::jthread stopper([this] {
    std::this_thread::sleep_for(milliseconds(300));
    interrupt_ = true;
  });
  ASSERT_EQ(Run(Scope(t, o)), kExitOk);
  const ParsedCsv csv = ParseCsv(out_.str(), 4);
  ASSERT_TRUE(csv.ok);
  EXPECT_LT(csv.rows.size(), 2000u);
  EXPECT_EQ(csv.rows.size(),
            static_cast<std::size_t>(std::stoi(LineValue(err_.str(), "Numero campioni: "))));
  EXPECT_EQ(err_.str().rfind("Operazione annullata\n", 0), 0u) << err_.str();
}

TEST_F(RunCommandTest, InterruptStopsAFilterCaughtInAnEndlessLoop) {
  // What Ctrl+C does: the flag at once, then the engine call is cancelled from another thread
  // (as long as the run lasts). The busy hook has copied the flag by then, so the failing call
  // ends the run instead of the next attempt starting the loop again.
  TestDocument t = QuickSweepTest();
  t.functions = QStringLiteral("while (true) {}\r\n");
  std::atomic<bool> finished{false};
  const auto started = steady_clock::now();
  std::jthread stopper([this, &finished] {
    std::this_thread::sleep_for(milliseconds(100));
    interrupt_ = true;
    std::this_thread::sleep_for(milliseconds(200));
    while (!finished) {
      host_.CancelRunningCall();
      std::this_thread::sleep_for(milliseconds(50));
    }
  });
  const int status = Run(Sweep(t));
  finished = true;
  const auto elapsed = steady_clock::now() - started;
  EXPECT_EQ(status, kExitOk);
  EXPECT_EQ(out_.str(), "frequency_hz,amplitude,phase_deg\n");
  EXPECT_EQ(err_.str().rfind("Operazione annullata\n", 0), 0u) << err_.str();
  EXPECT_EQ(LineValue(err_.str(), "Errori totali: "), "1");  // the cancelled call
  EXPECT_LT(elapsed, std::chrono::seconds(3));  // far below the engine's 10 s call limit
}

TEST_F(RunCommandTest, ProgressLineGoesToErrAndIsClearedBeforeTheReport) {
  TestDocument t = QuickSweepTest();
  ASSERT_EQ(Run(Sweep(t), true, true), kExitOk);
  const std::string err = err_.str();
  EXPECT_EQ(err.rfind("\rSimulazione | 0%  tempo residuo: stima in corso...  errori: 0", 0), 0u)
      << err;
  const std::size_t report = err.find("Operazione completata\n");
  ASSERT_NE(report, std::string::npos) << err;
  ASSERT_GT(report, 0u);
  EXPECT_EQ(err[report - 1], '\r') << "the line is blanked and the cursor back at its start";
  EXPECT_EQ(err.find('\r', report), std::string::npos);
  EXPECT_TRUE(ParseCsv(out_.str(), 3).ok) << "the CSV has no progress in it";
}

}  // namespace
}  // namespace quorvel::cli
