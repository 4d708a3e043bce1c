// The built quorvel-cli and make_examples, run as the user runs them.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_support.h"

namespace quorvel::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

QString CliPath() { return QStringLiteral(QUORVEL_CLI_PATH); }
QString ExamplesDir() { return QStringLiteral(QUORVEL_EXAMPLES_DIR); }
QString Example(const char* name) { return ExamplesDir() + u'/' + QString::fromLatin1(name); }

struct Outcome {
  int exit_code = -1;
  bool crashed = false;
  std::string out;
  std::string err;
};

Outcome RunTool(const QString& program, const QStringList& args, int timeout_ms = 20000) {
  QProcess process;
  process.start(program, args);
  Outcome o;
  if (!process.waitForStarted(timeout_ms) || !process.waitForFinished(timeout_ms)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << program.toStdString() << " did not finish";
    return o;
  }
  o.exit_code = process.exitCode();
  o.crashed = process.exitStatus() != QProcess::NormalExit;
  o.out = process.readAllStandardOutput().toStdString();
  o.err = process.readAllStandardError().toStdString();
  return o;
}

Outcome RunCli(const QStringList& args) { return RunTool(CliPath(), args); }

// The peak resident size of the tool running with these arguments (output dropped), in KiB; -1
// when it could not run or failed.
long PeakKiB(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = CliPath().toStdString();
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

// Each frequency of a sweep has its own step: setting it must not leave anything behind (a
// compiled text per frequency grew the process by about 46 MB over 60 000 frequencies).
TEST(CliMemoryTest, PeakMemoryDoesNotGrowWithTheNumberOfFrequencies) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own allocations say nothing about the tool's";
#endif
  auto sweep = [](int samples) {
    return PeakKiB({"sweep", "--functions", "vo = vo + (vi - vo) * dt * 3000", "--start", "100",
                    "--end", "10000", "--oscillations", "1", "--samples", std::to_string(samples)});
  };
  const long few = sweep(2000);
  const long many = sweep(60000);
  ASSERT_GT(few, 0);
  ASSERT_GT(many, 0);
  EXPECT_LT(many - few, 4096) << "2 000 frequencies: " << few << " KiB, 60 000: " << many << " KiB";
}

TEST(ExamplesTest, CommittedFilesAreWhatTheGeneratorWrites) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Outcome made = RunTool(QStringLiteral(QUORVEL_MAKE_EXAMPLES_PATH), {dir.path()});
  ASSERT_EQ(made.exit_code, 0) << made.err;

  const QStringList filter = {QStringLiteral("*.flt")};
  const QStringList committed = QDir(ExamplesDir()).entryList(filter, QDir::Files, QDir::Name);
  const QStringList generated = QDir(dir.path()).entryList(filter, QDir::Files, QDir::Name);
  EXPECT_EQ(committed, generated);
  EXPECT_EQ(committed.size(), 4);
  for (const QString& name : generated) {
    SCOPED_TRACE(name.toStdString());
    QFile a(ExamplesDir() + u'/' + name);
    QFile b(dir.filePath(name));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll())
        << "regenerate with: make_examples " << ExamplesDir().toStdString();
  }
}

TEST(CliBinaryTest, RcLowPassExampleCrossesSeventyOnePercentNearOneKilohertz) {
  const Outcome o = RunCli({QStringLiteral("sweep"), Example("rc_lowpass.flt")});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.err, "") << "no terminal: no progress line; no report asked for";
  const ParsedCsv csv = ParseCsv(o.out, 3);
  ASSERT_TRUE(csv.ok) << o.out;
  EXPECT_EQ(csv.header, "frequency_hz,amplitude,phase_deg");
  ASSERT_EQ(csv.rows.size(), 40u);
  EXPECT_DOUBLE_EQ(csv.rows.front()[0], 10);
  EXPECT_NEAR(csv.rows.back()[0], 100000, 1e-6);
  const double cutoff = FallingCrossing(csv.rows, 0.71);
  EXPECT_NEAR(cutoff, 1000, 50);
}

TEST(CliBinaryTest, ScopeOfTheParametricExampleUsesItsSection) {
  const Outcome o = RunCli(
      {QStringLiteral("scope"), Example("parametric_lowpass.flt"), QStringLiteral("--report")});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const ParsedCsv csv = ParseCsv(o.out, 4);
  ASSERT_TRUE(csv.ok);
  EXPECT_EQ(csv.header, "time_s,vi,vo,frames");
  EXPECT_EQ(std::to_string(csv.rows.size()), LineValue(o.err, "Numero campioni: "));
  EXPECT_GE(csv.rows.size(), 1000u);
  // A square wave of +-1 at 100 Hz through RC = 0.55 ms: the input is always +-1 and the output
  // nearly reaches it before each edge.
  double max_out = 0;
  for (const auto& row : csv.rows) {
    EXPECT_EQ(std::fabs(row[1]), 1.0);
    max_out = std::max(max_out, row[2]);
  }
  EXPECT_GT(max_out, 0.99);
  EXPECT_NE(o.err.find("Segnale in ingresso (f = 100 Hz):\nquadra\n"), std::string::npos) << o.err;
}

struct ExitCase {
  const char* name;
  QStringList args;
  int exit_code;
  std::string stdout_start;  // the output begins so (empty: no output at all)
  std::string stderr_part;   // found in stderr (empty: stderr is empty)
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class CliExitTest : public testing::TestWithParam<ExitCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    Write("bad_header.flt", "\"Quorvel - OMBRAT\",\"1.0.0\"\r\n");
    Write("bad_frequency.flt", "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"dieci\"\r\n");
    Write("a.csv", "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7071,-45\n");
    Write("b.csv", "frequency_hz,amplitude,phase_deg\n10,1,-0.5\n1000,0.7,-45\n");
    Write("c.csv", "time_s,vi,vo,frames\n0,0,0,1\n");
  }
  // "@name" in a case stands for the file `name` in the test's folder.
  QStringList Arguments(const QStringList& args) const {
    QStringList result = args;
    for (QString& arg : result) {
      if (arg.startsWith(u'@')) arg = dir_.filePath(arg.mid(1));
    }
    return result;
  }

 private:
  void Write(const char* name, const QByteArray& bytes) {
    QFile file(dir_.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  QTemporaryDir dir_;
};

TEST_P(CliExitTest, ExitCodeAndOutputs) {
  const ExitCase& c = GetParam();
  const Outcome o = RunCli(Arguments(c.args));
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, c.exit_code) << o.err;
  if (c.stdout_start.empty()) {
    EXPECT_EQ(o.out, "");
  } else {
    EXPECT_EQ(o.out.rfind(c.stdout_start, 0), 0u) << o.out;
  }
  if (c.stderr_part.empty()) {
    EXPECT_EQ(o.err, "");
  } else {
    EXPECT_NE(o.err.find(c.stderr_part), std::string::npos) << o.err;
  }
}

const QString kSweep = QStringLiteral("sweep");
const QString kScope = QStringLiteral("scope");

INSTANTIATE_TEST_SUITE_P(
    Table, CliExitTest,
    testing::Values(
        ExitCase{"help", {QStringLiteral("--help")}, 0, "quorvel-cli - ", ""},
        ExitCase{"short_help", {kScope, QStringLiteral("-h")}, 0, "quorvel-cli - ", ""},
        ExitCase{"nothing", {}, 2, "", "--help"},
        ExitCase{"unknown_option", {kSweep, QStringLiteral("--bogus")}, 2, "", "--bogus"},
        ExitCase{"missing_value", {kSweep, QStringLiteral("--functions")}, 2, "", "--functions"},
        ExitCase{"no_filter", {kScope}, 2, "", "--functions"},
        ExitCase{"bad_number",
                 {kSweep, QStringLiteral("--functions"), QStringLiteral("vo=vi"),
                  QStringLiteral("--start"), QStringLiteral("1,5")},
                 2,
                 "",
                 "1,5"},
        ExitCase{"missing_file", {kSweep, QStringLiteral("@missing.flt")}, 1, "", "missing.flt: "},
        ExitCase{"bad_header",
                 {kSweep, QStringLiteral("@bad_header.flt")},
                 1,
                 "",
                 "Il formato del file non è valido"},
        ExitCase{"bad_frequency",
                 {kSweep, QStringLiteral("@bad_frequency.flt")},
                 1,
                 "",
                 "La frequenza iniziale deve essere un numero\n"},
        ExitCase{"bad_frequency_overridden",
                 {kSweep, QStringLiteral("@bad_frequency.flt"), QStringLiteral("--start=100"),
                  QStringLiteral("--samples=2"), QStringLiteral("--oscillations=1")},
                 0,
                 "frequency_hz,amplitude,phase_deg\n100,1,",
                 ""},
        ExitCase{
            "filter_from_command_line",
            {kScope, QStringLiteral("--functions"), QStringLiteral("vo = 2 * vi"),
             QStringLiteral("--frequency"), QStringLiteral("1000"), QStringLiteral("--samples"),
             QStringLiteral("5"), QStringLiteral("--oscillations"), QStringLiteral("1")},
            0,
            "time_s,vi,vo,frames\n2e-07,",
            ""},
        ExitCase{"bad_fixed_step_sweep",
                 {kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                  QStringLiteral("--parameters"), QStringLiteral("dt = 0")},
                 1,
                 "",
                 "Il passo dt fissato dai parametri deve essere un numero maggiore di 0\n"},
        ExitCase{"bad_fixed_step_scope",
                 {kScope, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                  QStringLiteral("--parameters"), QStringLiteral("dt = 'abc'")},
                 1,
                 "",
                 "Il passo dt fissato dai parametri deve essere un numero maggiore di 0\n"},
        ExitCase{"version", {QStringLiteral("--version")}, 0, "quorvel-cli 1.", ""},
        ExitCase{"compare_equal",
                 {QStringLiteral("compare"), QStringLiteral("@a.csv"), QStringLiteral("@a.csv")},
                 0,
                 "",
                 ""},
        ExitCase{"compare_different",
                 {QStringLiteral("compare"), QStringLiteral("@a.csv"), QStringLiteral("@b.csv")},
                 1,
                 "riga 3, amplitude: 0.7071 / 0.7 (differenza ",
                 ""},
        ExitCase{"compare_within_tolerance",
                 {QStringLiteral("compare"), QStringLiteral("@a.csv"), QStringLiteral("@b.csv"),
                  QStringLiteral("--tolerance=0.01")},
                 0,
                 "",
                 ""},
        ExitCase{"compare_other_tables",
                 {QStringLiteral("compare"), QStringLiteral("@a.csv"), QStringLiteral("@c.csv")},
                 2,
                 "",
                 "le intestazioni sono diverse"},
        ExitCase{
            "compare_missing_file",
            {QStringLiteral("compare"), QStringLiteral("@a.csv"), QStringLiteral("@missing.csv")},
            2,
            "",
            "missing.csv: "},
        ExitCase{"compare_one_file",
                 {QStringLiteral("compare"), QStringLiteral("@a.csv")},
                 2,
                 "",
                 "compare"},
        ExitCase{"output_in_a_missing_folder",
                 {kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                  QStringLiteral("-o"), QStringLiteral("@none/out.csv")},
                 1,
                 "",
                 "non esiste"},
        ExitCase{"output_over_the_test",
                 {kSweep, QStringLiteral("@bad_header.flt"), QStringLiteral("-o"),
                  QStringLiteral("@bad_header.flt")},
                 1,
                 "",
                 "è il file del test"},
        ExitCase{"syntax_error_in_filter",
                 {kSweep, QStringLiteral("--functions"), QStringLiteral("vo = ("),
                  QStringLiteral("--samples"), QStringLiteral("2")},
                 0,
                 "frequency_hz,amplitude,phase_deg\n",
                 "Errori totali: "}));

// --- Ctrl+C ----------------------------------------------------------------------------------

// True once the process blocks SIGINT (its main() has begun): from then on a SIGINT is the
// tool's to handle rather than the default action's.
bool BlocksInterrupt(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("SigBlk:")) {
      bool ok = false;
      const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
      return ok && (mask & (1ULL << (SIGINT - 1))) != 0;
    }
  }
  return false;
}

// Starts the tool, sends `signal_number` at each of `delays` (measured from the moment the tool
// blocks SIGINT) and waits for the end.
Outcome Interrupt(const QStringList& args, std::initializer_list<milliseconds> delays,
                  milliseconds* ended_after = nullptr, int signal_number = SIGINT) {
  QProcess process;
  process.start(CliPath(), args);
  Outcome o;
  if (!process.waitForStarted(10000)) {
    ADD_FAILURE() << "not started";
    return o;
  }
  const qint64 pid = process.processId();
  const auto deadline = steady_clock::now() + std::chrono::seconds(10);
  while (!BlocksInterrupt(pid) && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  const auto blocked_at = steady_clock::now();
  for (const milliseconds delay : delays) {
    std::this_thread::sleep_until(blocked_at + delay);
    ::kill(static_cast<pid_t>(pid), signal_number);
  }
  if (!process.waitForFinished(15000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "did not stop on SIGINT";
    return o;
  }
  if (ended_after != nullptr) {
    *ended_after = std::chrono::duration_cast<milliseconds>(steady_clock::now() - blocked_at);
  }
  o.exit_code = process.exitCode();
  o.crashed = process.exitStatus() != QProcess::NormalExit;
  o.out = process.readAllStandardOutput().toStdString();
  o.err = process.readAllStandardError().toStdString();
  return o;
}

TEST(CliInterruptTest, CtrlCEndsALongSweepWithThePointsSoFar) {
  // 1 Hz, 50 oscillations per point, 500 points: minutes without the interrupt.
  milliseconds ended_after{};
  const Outcome o =
      Interrupt({kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                 QStringLiteral("--start=1"), QStringLiteral("--end=1"),
                 QStringLiteral("--samples=500"), QStringLiteral("--oscillations=50")},
                {milliseconds(300)}, &ended_after);
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 130) << "a cut-off run ends as SIGINT would end it; " << o.err;
  const ParsedCsv csv = ParseCsv(o.out, 3);
  ASSERT_TRUE(csv.ok) << o.out;
  EXPECT_LT(csv.rows.size(), 500u);
  EXPECT_EQ(o.err, "Operazione annullata\n");
  EXPECT_LT(ended_after, milliseconds(5000));
}

TEST(CliInterruptTest, CtrlCStopsAFilterInAnEndlessLoop) {
  milliseconds ended_after{};
  const Outcome o = Interrupt({kSweep, QStringLiteral("--functions"),
                               QStringLiteral("while (true) {}"), QStringLiteral("--report")},
                              {milliseconds(300)}, &ended_after);
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(o.out, "frequency_hz,amplitude,phase_deg\n");
  EXPECT_EQ(o.err.rfind("Operazione annullata\n", 0), 0u) << o.err;
  EXPECT_LT(ended_after, milliseconds(5000)) << "well before the engine's own 10 s limit";
}

TEST(CliInterruptTest, ASecondCtrlCEndsTheToolAtOnce) {
  // The endless loop keeps the run going for the grace period after the first SIGINT, so the
  // second one arrives while it still runs.
  const Outcome o =
      Interrupt({kSweep, QStringLiteral("--functions"), QStringLiteral("while (true) {}")},
                {milliseconds(300), milliseconds(330)});
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_NE(o.err.find("Interrotto."), std::string::npos) << o.err;
}

// A sweep of quick points (1 kHz, one oscillation each, about 3 ms a point): the rows arrive one
// by one on stdout while it runs. The signal comes once three rows have been read.
struct CutOffCase {
  const char* name;
  int signal_number;
  int exit_code;
};

void PrintTo(const CutOffCase& c, std::ostream* os) { *os << c.name; }

class CliCutOffTest : public testing::TestWithParam<CutOffCase> {};

TEST_P(CliCutOffTest, ASignalMidSweepKeepsTheRowsWrittenAndGivesItsOwnStatus) {
  const CutOffCase& c = GetParam();
  QProcess process;
  process.start(CliPath(), {kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                            QStringLiteral("--start=1000"), QStringLiteral("--end=1000"),
                            QStringLiteral("--samples=1000000"), QStringLiteral("--oscillations=1"),
                            QStringLiteral("--report")});
  ASSERT_TRUE(process.waitForStarted(10000));
  std::string before;
  const auto deadline = steady_clock::now() + std::chrono::seconds(15);
  while (std::count(before.begin(), before.end(), '\n') < 4 && steady_clock::now() < deadline) {
    process.waitForReadyRead(100);
    before += process.readAllStandardOutput().toStdString();
  }
  ASSERT_GE(std::count(before.begin(), before.end(), '\n'), 4)
      << "the header and three rows arrive while the run goes on";
  ::kill(static_cast<pid_t>(process.processId()), c.signal_number);
  if (!process.waitForFinished(15000)) {
    process.kill();
    process.waitForFinished();
    FAIL() << "did not stop on the signal";
  }
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), c.exit_code);
  const std::string out = before + process.readAllStandardOutput().toStdString();
  const std::string err = process.readAllStandardError().toStdString();
  EXPECT_EQ(out.rfind(before, 0), 0u);
  const ParsedCsv csv = ParseCsv(out, 3);
  ASSERT_TRUE(csv.ok) << "whole rows only";
  EXPECT_GE(csv.rows.size(), 3u);
  EXPECT_LT(csv.rows.size(), 1000000u);
  for (const auto& row : csv.rows) EXPECT_EQ(row[1], 1.0);
  EXPECT_EQ(err.rfind("Operazione annullata\n", 0), 0u) << err;
}

INSTANTIATE_TEST_SUITE_P(Signals, CliCutOffTest,
                         testing::Values(CutOffCase{"SIGTERM", SIGTERM, 143},
                                         CutOffCase{"SIGHUP", SIGHUP, 129},
                                         CutOffCase{"SIGINT", SIGINT, 130}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(CliInterruptTest, ASignalWhileAFifoWithoutWriterIsOpenedEndsTheTool) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fifo = dir.filePath(QStringLiteral("test.flt"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  milliseconds ended_after{};
  const Outcome o = Interrupt({kSweep, fifo}, {milliseconds(300)}, &ended_after);
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("Interrotto."), std::string::npos) << o.err;
  EXPECT_LT(ended_after, milliseconds(3000));
}

// --- Standard input and -o FILE ---------------------------------------------------------------

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// The tool with its standard input read from `input`.
Outcome RunCliWithInput(const QStringList& args, const QString& input) {
  QProcess process;
  process.setStandardInputFile(input);
  process.start(CliPath(), args);
  Outcome o;
  if (!process.waitForStarted(20000) || !process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "quorvel-cli did not finish";
    return o;
  }
  o.exit_code = process.exitCode();
  o.crashed = process.exitStatus() != QProcess::NormalExit;
  o.out = process.readAllStandardOutput().toStdString();
  o.err = process.readAllStandardError().toStdString();
  return o;
}

TEST(CliStandardInputTest, ADashReadsTheTestFromStandardInputWithTheFilesLimit) {
  const Outcome from_file = RunCli({kSweep, Example("rc_lowpass.flt")});
  ASSERT_EQ(from_file.exit_code, 0) << from_file.err;
  const Outcome piped = RunCliWithInput({kSweep, QStringLiteral("-")}, Example("rc_lowpass.flt"));
  EXPECT_EQ(piped.exit_code, 0) << piped.err;
  EXPECT_EQ(piped.out, from_file.out);
  EXPECT_EQ(piped.err, "");

  const auto start = steady_clock::now();
  const Outcome endless =
      RunCliWithInput({kScope, QStringLiteral("-")}, QStringLiteral("/dev/zero"));
  EXPECT_EQ(endless.exit_code, 1);
  EXPECT_EQ(endless.out, "");
  EXPECT_EQ(endless.err, "stdin: Il file supera il limite di 16 MiB di un file di test\n");
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(5));

  const Outcome empty = RunCliWithInput({kSweep, QStringLiteral("-")}, QStringLiteral("/dev/null"));
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_EQ(empty.err.rfind("stdin: ", 0), 0u) << empty.err;
}

class CliOutputFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    WriteFile(Out(), "old contents\n");
  }
  QString Out() const { return dir_.filePath(QStringLiteral("out.csv")); }
  QTemporaryDir dir_;
};

TEST_F(CliOutputFileTest, TheCsvGoesToTheFileAndNothingToStandardOutput) {
  const Outcome plain = RunCli({kSweep, Example("rc_lowpass.flt")});
  ASSERT_EQ(plain.exit_code, 0) << plain.err;
  const Outcome to_file = RunCli({kSweep, Example("rc_lowpass.flt"), QStringLiteral("-o"), Out()});
  EXPECT_EQ(to_file.exit_code, 0) << to_file.err;
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(to_file.err, "");
  EXPECT_EQ(FileBytes(Out()).toStdString(), plain.out);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
      << "no temporary file left beside it";

  const Outcome dash =
      RunCli({kSweep, Example("rc_lowpass.flt"), QStringLiteral("-o"), QStringLiteral("-")});
  EXPECT_EQ(dash.out, plain.out) << "-o - is the standard output";
}

// A FIFO (like /dev/null or /dev/stdout) is written to, not replaced by a regular file.
TEST_F(CliOutputFileTest, AFifoIsWrittenToAndStaysAFifo) {
  const Outcome plain = RunCli({kSweep, Example("rc_lowpass.flt")});
  ASSERT_EQ(plain.exit_code, 0) << plain.err;
  ASSERT_LT(plain.out.size(), 60000u) << "fits the pipe's buffer: no reader thread needed";
  const QString fifo = dir_.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const Outcome o = RunCli({kSweep, Example("rc_lowpass.flt"), QStringLiteral("-o"), fifo});
  EXPECT_EQ(o.exit_code, 0) << o.err;
  std::string received(plain.out.size() + 16, '\0');
  const ssize_t n = ::read(reader, received.data(), received.size());
  ::close(reader);
  received.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  EXPECT_EQ(received, plain.out);
  struct stat status {};
  ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(CliOutputFileTest, ARefusedRunLeavesTheFileAsItWas) {
  const Outcome o = RunCli({kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                            QStringLiteral("--parameters"), QStringLiteral("dt = 0"),
                            QStringLiteral("--output"), Out()});
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_EQ(FileBytes(Out()), "old contents\n");
}

// A cut-off run keeps in FILE the rows measured so far, as on standard output; FILE appears
// only whole, after the run.
TEST_F(CliOutputFileTest, ACutOffRunWritesTheRowsSoFarAndEndsWithTheSignalsStatus) {
  const Outcome o = Interrupt({kSweep, QStringLiteral("--functions"), QStringLiteral("vo = vi"),
                               QStringLiteral("--start=1000"), QStringLiteral("--end=1000"),
                               QStringLiteral("--samples=1000000"),
                               QStringLiteral("--oscillations=1"), QStringLiteral("-o"), Out()},
                              {milliseconds(1500)}, nullptr, SIGTERM);
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 143) << o.err;
  EXPECT_EQ(o.out, "");
  const ParsedCsv csv = ParseCsv(FileBytes(Out()).toStdString(), 3);
  ASSERT_TRUE(csv.ok) << "a whole table";
  EXPECT_EQ(csv.header, "frequency_hz,amplitude,phase_deg");
  EXPECT_GE(csv.rows.size(), 1u);
  EXPECT_LT(csv.rows.size(), 1000000u);
  EXPECT_EQ(o.err, "Operazione annullata\n");
}

TEST_F(CliOutputFileTest, ASecondSignalEndsAtOnceAndLeavesTheFileAsItWas) {
  const Outcome o = Interrupt({kSweep, QStringLiteral("--functions"),
                               QStringLiteral("while (true) {}"), QStringLiteral("-o"), Out()},
                              {milliseconds(300), milliseconds(330)});
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(FileBytes(Out()), "old contents\n");
}

// The regression check of the help, run by the shell as written there.
TEST(CliRegressionExampleTest, TheHelpsScriptPassesForTheSameFilterAndFailsForAnother) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString script = QStringLiteral(
      "set -o pipefail\n"
      "cli=\"$1\"; test=\"$2\"; shift 2\n"
      "\"$cli\" sweep \"$test\" -o riferimento.csv || exit 3\n"
      "\"$cli\" sweep \"$test\" \"$@\" -o nuovo.csv || exit 2\n"
      "\"$cli\" compare riferimento.csv nuovo.csv --tolerance 1e-6 || exit $?\n"
      "\"$cli\" sweep \"$test\" \"$@\" | \"$cli\" compare riferimento.csv - --tolerance 1e-6\n");
  const auto run = [&](const QStringList& extra) {
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("bash"),
                QStringList{QStringLiteral("-c"), script, QStringLiteral("check"), CliPath(),
                            Example("rc_lowpass.flt")} +
                    extra);
    EXPECT_TRUE(shell.waitForFinished(60000));
    return std::pair{shell.exitCode(), shell.readAllStandardOutput().toStdString()};
  };
  const auto [same_status, same_out] = run({});
  EXPECT_EQ(same_status, 0) << same_out;
  EXPECT_EQ(same_out, "");
  // Another time constant: the amplitudes differ beyond the tolerance.
  const auto [other_status, other_out] =
      run({QStringLiteral("--parameters"), QStringLiteral("RC = 1/(2*3.14159265358979*1200)")});
  EXPECT_EQ(other_status, 1);
  EXPECT_NE(other_out.find("Valori diversi: "), std::string::npos) << other_out;
}

TEST(CliBinaryTest, EndlessInputStopsAtTheSizeLimit) {
  const auto start = steady_clock::now();
  const Outcome o = RunCli({kSweep, QStringLiteral("/dev/zero")});
  EXPECT_FALSE(o.crashed);
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "/dev/zero: Il file supera il limite di 16 MiB di un file di test\n");
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quorvel::cli
