#include "cli/cli_commands.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <utility>

#include "cli/cli_progress.h"
#include "documents/safe_file.h"
#include "graphs/measurement_table.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "scripting/script_host.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/script_filter_engine.h"

namespace quorvel::cli {

namespace {

// The ranges of the windows' scroll bars and sliders. A test read from a file already holds
// values inside them; a test built in memory is brought inside them the same way.
constexpr std::int32_t kMinMultiplier = 0;
constexpr std::int32_t kMaxMultiplier = 3;
constexpr std::int32_t kMinMainOscillations = 1;
constexpr std::int32_t kMaxMainOscillations = 100;
constexpr std::int32_t kMinMainSamples = 5;
constexpr std::int32_t kMaxMainSamples = 500;
constexpr std::int32_t kMinScopeBarSamples = 100;
constexpr std::int32_t kMaxScopeBarSamples = 2000;
constexpr int kFrequencySliderMaximum = 100;

// 10 raised to 3 k, for the positions of a frequency unit bar.
double Multiplier(std::int32_t exponent) {
  static constexpr std::array<double, 4> kMultipliers = {1.0, 1e3, 1e6, 1e9};
  return kMultipliers[static_cast<std::size_t>(
      std::clamp(exponent, kMinMultiplier, kMaxMultiplier))];
}

// A frequency text checked as the start command checks it, times its multiplier. `field` is
// "La frequenza iniziale " or "La frequenza finale ".
std::optional<double> CheckedFrequency(const QString& text, std::int32_t multiplier_exponent,
                                       const char* field, std::ostream& err) {
  const QString message = ValidateNumber(text, false, 0.001, 100000);
  if (!message.isEmpty()) {
    err << field << message.toStdString() << '\n';
    return std::nullopt;
  }
  const std::optional<double> value = ParseNumber(text);
  if (!value) {  // ValidateNumber accepted it, so this does not happen
    err << field << "deve essere un numero\n";
    return std::nullopt;
  }
  return *value * Multiplier(multiplier_exponent);
}

constexpr const char* kStartField = "La frequenza iniziale ";
constexpr const char* kEndField = "La frequenza finale ";

// The description of a codec error with the record it came from, unless it names it already.
std::string CodecMessage(const CodecError& error) {
  QString text = error.description;
  if (error.record > 0 &&
      !text.contains(QStringLiteral("record %1").arg(error.record), Qt::CaseInsensitive)) {
    text += QStringLiteral(" (record %1)").arg(error.record);
  }
  return text.toStdString();
}

// The CSV of a run on its way out, in the core's table format (the windows' data export writes
// the same bytes): the header with the first row (or at the end of a run that produced none),
// then each row as soon as the run stores it, flushed, so that a run cut off by a signal keeps
// every row it measured. A run that is refused writes nothing.
class CsvStream {
 public:
  CsvStream(std::ostream& out, std::string header) : out_(out), header_(std::move(header)) {}

  void WriteHeader() {
    if (header_written_) return;
    out_ << header_ << std::flush;
    header_written_ = true;
  }

  void SweepRows(const SweepResult& result) {
    const auto count = static_cast<std::size_t>(std::max(result.count, 0));
    for (; written_ < count && written_ < result.points.size(); ++written_) {
      std::string row;
      AppendSweepRow(result.points[written_], kCsvSeparator, row);
      Write(row);
    }
  }

  void TraceRows(const TimeTrace& trace) {
    const auto count = static_cast<std::size_t>(std::max(trace.count, 0));
    for (; written_ < count && written_ < trace.times.size(); ++written_) {
      std::string row;
      AppendTraceRow(trace, written_, kCsvSeparator, row);
      Write(row);
    }
  }

 private:
  void Write(const std::string& row) {
    WriteHeader();
    out_ << row << std::flush;
  }

  std::ostream& out_;
  std::string header_;
  bool header_written_ = false;
  std::size_t written_ = 0;
};

// Sets the host's busy hook for the life of a run and takes it away afterwards.
class BusyHookScope {
 public:
  BusyHookScope(ScriptHost& host, std::function<void()> hook) : host_(host) {
    host_.SetBusyHook(std::move(hook));
  }
  ~BusyHookScope() { host_.SetBusyHook(nullptr); }
  BusyHookScope(const BusyHookScope&) = delete;
  BusyHookScope& operator=(const BusyHookScope&) = delete;

 private:
  ScriptHost& host_;
};

}  // namespace

std::optional<std::string> OutputProblem(const CliOptions& options) {
  if (!options.output || *options.output == "-") return std::nullopt;
  const QFileInfo output(QString::fromLocal8Bit(*options.output));
  if (output.isDir()) return std::string("è una cartella");
  if (!output.absoluteDir().exists()) {
    return "la cartella " + output.absolutePath().toStdString() + " non esiste";
  }
  if (options.file && *options.file != "-" && output.exists()) {
    const QFileInfo test(QString::fromLocal8Bit(*options.file));
    if (test.exists() && test.canonicalFilePath() == output.canonicalFilePath()) {
      return std::string("è il file del test: il CSV lo sostituirebbe");
    }
  }
  return std::nullopt;
}

std::optional<std::string> WriteOutputFile(const std::string& path, const std::string& csv) {
  if (const auto problem =
          ReplaceFileContents(QString::fromLocal8Bit(path), QByteArray::fromStdString(csv))) {
    return problem->toStdString();
  }
  return std::nullopt;
}

std::string CsvNumber(double value) { return TableNumber(value); }

std::string CsvField(double value) { return TableField(value); }

std::string ReportForOutput(const QString& report) {
  QString text = report;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text.toStdString();
}

std::optional<TestDocument> LoadTest(const CliOptions& options, std::ostream& err) {
  TestDocument test;
  if (options.file) {
    // "-" is the standard input, read with the same limit as a file.
    const bool standard_input = *options.file == "-";
    const std::string name = standard_input ? std::string("stdin") : *options.file;
    QByteArray bytes;
    const auto problem = standard_input
                             ? ReadStandardInputBytes(bytes)
                             : ReadFileBytes(QString::fromLocal8Bit(*options.file), bytes);
    if (problem) {
      err << name << ": " << problem->toStdString() << '\n';
      return std::nullopt;
    }
    CodecResult<TestDocument> read = ReadTestDocument(bytes);
    if (!read) {
      err << name << ": " << CodecMessage(read.error()) << '\n';
      return std::nullopt;
    }
    test = std::move(read.value());
  }
  if (options.parameters) test.parameters = *options.parameters;
  if (options.functions) test.functions = *options.functions;
  return test;
}

std::optional<SweepSettings> SweepSettingsFor(const TestDocument& test, const CliOptions& options,
                                              std::ostream& err) {
  SweepSettings s;
  if (options.start_frequency) {
    s.start_frequency = *options.start_frequency;
  } else {
    const auto start =
        CheckedFrequency(test.start_frequency, test.start_multiplier, kStartField, err);
    if (!start) return std::nullopt;
    s.start_frequency = *start;
  }
  if (options.end_frequency) {
    s.end_frequency = *options.end_frequency;
  } else {
    const auto end = CheckedFrequency(test.end_frequency, test.end_multiplier, kEndField, err);
    if (!end) return std::nullopt;
    s.end_frequency = *end;
  }
  s.samples = options.samples.value_or(std::clamp(test.samples, kMinMainSamples, kMaxMainSamples));
  s.oscillations = static_cast<std::int16_t>(options.oscillations.value_or(
      std::clamp(test.oscillations, kMinMainOscillations, kMaxMainOscillations)));
  s.parameters = test.parameters;
  s.functions = test.functions;
  s.method =
      options.method.value_or(test.precise_method ? SweepMethod::kPrecise : SweepMethod::kClassic);
  return s;
}

std::optional<ScopeSettings> ScopeSettingsFor(const TestDocument& test, const CliOptions& options,
                                              std::ostream& err) {
  // Without a section of its own, the settings are those of the oscilloscope window as it
  // opens on this test: what the "-addin-" record of a file gives.
  OscilloscopeSection section;
  if (test.oscilloscope) {
    section = *test.oscilloscope;
  } else {
    TestDocument opened = test;
    const CodecStatus applied = ApplyTestRecord(
        opened,
        Record{QStringLiteral("-addin-"), RecordValue::Text(kOscilloscopeAddin.toString())});
    if (applied && opened.oscilloscope) section = *opened.oscilloscope;
  }

  ScopeSettings s;
  if (options.frequency) {
    s.frequency = *options.frequency;
  } else {
    const auto fs =
        CheckedFrequency(section.start_frequency, section.start_multiplier, kStartField, err);
    if (!fs) return std::nullopt;
    const auto fe = CheckedFrequency(section.end_frequency, section.end_multiplier, kEndField, err);
    if (!fe) return std::nullopt;
    const int position = std::clamp(section.frequency_position, 0, kFrequencySliderMaximum);
    s.frequency = RunFrequencyFromSlider(position, kFrequencySliderMaximum, *fs, *fe);
  }
  s.oscillations = options.oscillations.value_or(
      std::clamp(section.oscillations, kMinMainOscillations, kMaxMainOscillations));
  s.samples = options.samples.value_or(
      std::clamp(section.samples, kMinScopeBarSamples, kMaxScopeBarSamples));
  s.waveform = options.waveform.value_or(section.waveform);
  if (section.parametric_filter) {
    s.parameter_items = section.parameter_items;
    if (section.skipped_parameter_items > 0) {
      err << "Parametri del filtro parametrico ignorati (il nome non è un identificatore): "
          << section.skipped_parameter_items << '\n';
    }
  }
  s.parameters = test.parameters;
  s.functions = test.functions;
  return s;
}

std::optional<RunSettings> PrepareRun(const CliOptions& options, std::ostream& err) {
  const std::optional<TestDocument> test = LoadTest(options, err);
  if (!test) return std::nullopt;
  if (options.command == Command::Sweep) {
    auto sweep = SweepSettingsFor(*test, options, err);
    if (!sweep) return std::nullopt;
    return RunSettings(std::move(*sweep));
  }
  auto scope = ScopeSettingsFor(*test, options, err);
  if (!scope) return std::nullopt;
  return RunSettings(std::move(*scope));
}

int ExecuteRun(const RunSettings& settings, ScriptHost& host, const std::atomic<bool>& interrupt,
               CommandIo& io) {
  bool cancel = false;
  CliRunObserver observer(interrupt, cancel, io.progress ? &io.err : nullptr);
  ScriptFilterEngine engine(host);
  RunOutcome outcome;
  {
    // The hook runs on this thread, inside a long engine call.
    BusyHookScope hook(host, [&observer] { observer.Poll(); });
    if (const auto* sweep = std::get_if<SweepSettings>(&settings)) {
      SweepResult result;
      CsvStream csv(io.out, SweepTableHeader(kCsvSeparator));
      observer.SetPointAdded([&] { csv.SweepRows(result); });
      outcome = RunFrequencySweep(engine, observer, *sweep, result, cancel);
      csv.SweepRows(result);
      if (outcome.started()) csv.WriteHeader();
    } else {
      const auto& scope = std::get<ScopeSettings>(settings);
      TimeTrace trace;
      CsvStream csv(io.out, TraceTableHeader(kCsvSeparator));
      observer.SetPointAdded([&] { csv.TraceRows(trace); });
      outcome = SimulateTrace(engine, observer, scope, trace, cancel);
      csv.TraceRows(trace);
      if (outcome.started()) csv.WriteHeader();
    }
    observer.SetPointAdded(nullptr);
  }
  io.out << std::flush;
  const bool written_ok = static_cast<bool>(io.out);
  switch (outcome.status) {
    case RunStatus::kBusy:
      io.err << "impossibile avviare la simulazione\n" << std::flush;
      return kExitFailure;
    case RunStatus::kRefused:
      io.err << outcome.message.toStdString() << '\n' << std::flush;
      return kExitFailure;
    case RunStatus::kCompleted:
    case RunStatus::kCancelled:
      break;
  }
  if (io.report) {
    io.err << ReportForOutput(outcome.report);
  } else {
    // Without the report, still say what the user would otherwise miss.
    if (outcome.status == RunStatus::kCancelled) io.err << "Operazione annullata\n";
    if (outcome.counts.total != 0) {
      io.err << "Errori totali: " << outcome.counts.total
             << " (--report per il resoconto completo)\n";
    }
  }
  // What went wrong and where, always: each distinct error once, the first one first.
  for (const ErrorTally& tally : outcome.errors) {
    io.err << "Errore: " << ErrorTallyText(tally).toStdString() << '\n';
  }
  io.err << std::flush;
  if (!written_ok) {
    io.err << "errore di scrittura dell'uscita\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace quorvel::cli
