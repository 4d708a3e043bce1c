#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "window_core/version_info.h"

namespace quorvel::cli {
namespace {

using Kind = ParsedCommandLine::Kind;

struct CommandLineCase {
  std::vector<std::string> args;
  Kind expected;
  // For usage errors: a piece of the message that says what is wrong.
  std::string message_part;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
  *os << "quorvel-cli";
  for (const std::string& arg : c.args) *os << " [" << arg << "]";
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, IsAcceptedOrRefusedAsExpected) {
  const CommandLineCase& c = GetParam();
  const ParsedCommandLine parsed = ParseCommandLine(c.args);
  EXPECT_EQ(parsed.kind, c.expected) << parsed.message;
  if (c.expected == Kind::UsageError) {
    EXPECT_NE(parsed.message.find(c.message_part), std::string::npos) << parsed.message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTest,
    testing::Values(
        // Good command lines.
        CommandLineCase{{"sweep", "a.flt"}, Kind::Run, ""},
        CommandLineCase{{"scope", "a.flt"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "--functions", "vo=vi"}, Kind::Run, ""},
        CommandLineCase{{"scope", "--functions=vo=vi", "--parameters=k=1"}, Kind::Run, ""},
        CommandLineCase{{"--report", "sweep", "a.flt"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "a.flt", "--parameters", "x=1"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "a.flt", "--start", "0.001", "--end=1e14", "--samples", "2",
                         "--oscillations", "32767"},
                        Kind::Run,
                        ""},
        CommandLineCase{{"scope", "a.flt", "--waveform", "quadra", "--frequency", "2.5",
                         "--samples", "1", "--oscillations", "1"},
                        Kind::Run,
                        ""},
        CommandLineCase{{"sweep", "--", "-odd.flt"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "-"}, Kind::Run, ""},
        // Help wins over what follows it, not over a mistake before it.
        CommandLineCase{{"--help"}, Kind::Help, ""}, CommandLineCase{{"-h"}, Kind::Help, ""},
        CommandLineCase{{"sweep", "-h"}, Kind::Help, ""},
        CommandLineCase{{"scope", "a.flt", "--help", "--bogus"}, Kind::Help, ""},
        CommandLineCase{{"sweep", "--bogus", "--help"}, Kind::UsageError, "--bogus"},
        CommandLineCase{{"--help=yes"}, Kind::UsageError, "--help"},
        // Command and file.
        CommandLineCase{{}, Kind::UsageError, "comando"},
        CommandLineCase{{"a.flt"}, Kind::UsageError, "a.flt"},
        CommandLineCase{{"Sweep", "a.flt"}, Kind::UsageError, "Sweep"},
        CommandLineCase{{"sweep"}, Kind::UsageError, "--functions"},
        CommandLineCase{{"sweep", "--parameters", "x=1"}, Kind::UsageError, "--functions"},
        CommandLineCase{{"sweep", "a.flt", "b.flt"}, Kind::UsageError, "b.flt"},
        // Unknown options and missing values.
        CommandLineCase{{"sweep", "a.flt", "--bogus"}, Kind::UsageError, "--bogus"},
        CommandLineCase{{"sweep", "a.flt", "-x"}, Kind::UsageError, "-x"},
        CommandLineCase{{"sweep", "a.flt", "--start"}, Kind::UsageError, "--start"},
        CommandLineCase{{"sweep", "--functions"}, Kind::UsageError, "--functions"},
        CommandLineCase{{"sweep", "a.flt", "--report=yes"}, Kind::UsageError, "--report"},
        // Frequencies: C-locale numbers in hertz within the program's range.
        CommandLineCase{{"sweep", "a.flt", "--start", "abc"}, Kind::UsageError, "abc"},
        CommandLineCase{{"sweep", "a.flt", "--start", "1,5"}, Kind::UsageError, "1,5"},
        CommandLineCase{{"sweep", "a.flt", "--start", "10Hz"}, Kind::UsageError, "10Hz"},
        CommandLineCase{{"sweep", "a.flt", "--start", ""}, Kind::UsageError, "--start"},
        CommandLineCase{{"sweep", "a.flt", "--start", "0"}, Kind::UsageError, "--start"},
        CommandLineCase{{"sweep", "a.flt", "--start", "0.0009"}, Kind::UsageError, "--start"},
        CommandLineCase{{"sweep", "a.flt", "--end", "1.1e14"}, Kind::UsageError, "--end"},
        CommandLineCase{{"sweep", "a.flt", "--end", "-5"}, Kind::UsageError, "--end"},
        CommandLineCase{{"sweep", "a.flt", "--end", "nan"}, Kind::UsageError, "--end"},
        CommandLineCase{{"sweep", "a.flt", "--end", "inf"}, Kind::UsageError, "--end"},
        CommandLineCase{{"scope", "a.flt", "--frequency", "0"}, Kind::UsageError, "--frequency"},
        // Counts.
        CommandLineCase{{"sweep", "a.flt", "--samples", "1"}, Kind::UsageError, "--samples"},
        CommandLineCase{{"sweep", "a.flt", "--samples", "1000001"}, Kind::UsageError, "--samples"},
        CommandLineCase{{"sweep", "a.flt", "--samples", "2.5"}, Kind::UsageError, "2.5"},
        CommandLineCase{{"sweep", "a.flt", "--samples", "-3"}, Kind::UsageError, "-3"},
        CommandLineCase{{"scope", "a.flt", "--samples", "0"}, Kind::UsageError, "--samples"},
        CommandLineCase{
            {"sweep", "a.flt", "--oscillations", "0"}, Kind::UsageError, "--oscillations"},
        CommandLineCase{
            {"scope", "a.flt", "--oscillations", "32768"}, Kind::UsageError, "--oscillations"},
        CommandLineCase{{"sweep", "a.flt", "--oscillations", "99999999999999999999"},
                        Kind::UsageError,
                        "--oscillations"},
        // Options of the other command.
        CommandLineCase{{"scope", "a.flt", "--start", "10"}, Kind::UsageError, "sweep"},
        CommandLineCase{{"scope", "a.flt", "--end", "10"}, Kind::UsageError, "sweep"},
        CommandLineCase{{"sweep", "a.flt", "--frequency", "10"}, Kind::UsageError, "scope"},
        CommandLineCase{{"--waveform", "quadra", "sweep", "a.flt"}, Kind::UsageError, "scope"},
        // The measuring method.
        CommandLineCase{{"sweep", "a.flt", "--method", "precise"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "a.flt", "--method=classic"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "a.flt", "--method", "precisa"}, Kind::UsageError, "precisa"},
        CommandLineCase{{"sweep", "a.flt", "--method"}, Kind::UsageError, "--method"},
        CommandLineCase{{"scope", "a.flt", "--method", "precise"}, Kind::UsageError, "sweep"},
        // The version, like the help, wins over what follows it.
        CommandLineCase{{"--version"}, Kind::Version, ""},
        CommandLineCase{{"sweep", "a.flt", "--version", "--bogus"}, Kind::Version, ""},
        CommandLineCase{{"--version=2"}, Kind::UsageError, "--version"},
        // -o FILE for the runs.
        CommandLineCase{{"sweep", "a.flt", "-o", "out.csv"}, Kind::Run, ""},
        CommandLineCase{{"-o", "-", "scope", "a.flt"}, Kind::Run, ""},
        CommandLineCase{{"scope", "a.flt", "--output=out.csv"}, Kind::Run, ""},
        CommandLineCase{{"sweep", "a.flt", "-o"}, Kind::UsageError, "-o"},
        CommandLineCase{{"sweep", "a.flt", "-o", ""}, Kind::UsageError, "-o"},
        CommandLineCase{{"sweep", "a.flt", "--output="}, Kind::UsageError, "--output"},
        // compare: two tables and a tolerance, nothing of the runs.
        CommandLineCase{{"compare", "a.csv", "b.csv"}, Kind::Run, ""},
        CommandLineCase{{"compare", "-", "b.csv", "--tolerance", "1e-6"}, Kind::Run, ""},
        CommandLineCase{{"--tolerance=0", "compare", "a.csv", "-"}, Kind::Run, ""},
        CommandLineCase{{"compare", "a.csv"}, Kind::UsageError, "compare"},
        CommandLineCase{{"compare"}, Kind::UsageError, "compare"},
        CommandLineCase{{"compare", "a.csv", "b.csv", "c.csv"}, Kind::UsageError, "c.csv"},
        CommandLineCase{{"compare", "-", "-"}, Kind::UsageError, "standard input"},
        CommandLineCase{
            {"compare", "a.csv", "b.csv", "--tolerance", "-1"}, Kind::UsageError, "--tolerance"},
        CommandLineCase{
            {"compare", "a.csv", "b.csv", "--tolerance", "1,5"}, Kind::UsageError, "1,5"},
        CommandLineCase{
            {"compare", "a.csv", "b.csv", "--tolerance", "nan"}, Kind::UsageError, "--tolerance"},
        CommandLineCase{
            {"compare", "a.csv", "b.csv", "--report"}, Kind::UsageError, "sweep e scope"},
        CommandLineCase{
            {"compare", "a.csv", "b.csv", "-o", "x"}, Kind::UsageError, "sweep e scope"},
        CommandLineCase{{"compare", "a.csv", "b.csv", "--start", "1"}, Kind::UsageError, "sweep"},
        CommandLineCase{{"sweep", "a.flt", "--tolerance", "1"}, Kind::UsageError, "compare"}));

TEST(CommandLineTest, KeepsTheOutputFileAndTheTables) {
  ParsedCommandLine parsed = ParseCommandLine({"sweep", "-", "-o", "out.csv"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  EXPECT_EQ(parsed.options.file, "-");
  EXPECT_EQ(parsed.options.output, "out.csv");
  EXPECT_EQ(ParseCommandLine({"sweep", "a.flt"}).options.output, std::nullopt);

  parsed = ParseCommandLine({"compare", "old.csv", "-", "--tolerance=2.5e-3"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  EXPECT_EQ(parsed.options.command, Command::Compare);
  EXPECT_EQ(parsed.options.tables, (std::vector<std::string>{"old.csv", "-"}));
  EXPECT_EQ(parsed.options.tolerance, 2.5e-3);
  EXPECT_EQ(ParseCommandLine({"compare", "a", "b"}).options.tolerance, 0.0);
}

TEST(VersionTextTest, IsTheToolsNameAndTheProgramsVersion) {
  EXPECT_EQ(VersionText(), "quorvel-cli " + ProgramVersion().VersionText().toStdString() + "\n");
  EXPECT_EQ(ProgramVersion().VersionText().count(QLatin1Char('.')), 2);
}

TEST(CommandLineTest, KeepsTheMethod) {
  EXPECT_EQ(ParseCommandLine({"sweep", "a.flt"}).options.method, std::nullopt);
  EXPECT_EQ(ParseCommandLine({"sweep", "a.flt", "--method", "precise"}).options.method,
            SweepMethod::kPrecise);
  EXPECT_EQ(ParseCommandLine({"sweep", "a.flt", "--method", "classic"}).options.method,
            SweepMethod::kClassic);
}

TEST(CommandLineTest, KeepsTheValuesOfASweepCommandLine) {
  const ParsedCommandLine parsed =
      ParseCommandLine({"--oscillations=7", "sweep", "test.flt", "--start", "12.5", "--end", "2e4",
                        "--samples", "30", "--report", "--functions", "vo=vi"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  const CliOptions& o = parsed.options;
  EXPECT_EQ(o.command, Command::Sweep);
  EXPECT_EQ(o.file, "test.flt");
  EXPECT_EQ(o.start_frequency, 12.5);
  EXPECT_EQ(o.end_frequency, 20000.0);
  EXPECT_EQ(o.samples, 30);
  EXPECT_EQ(o.oscillations, 7);
  EXPECT_TRUE(o.report);
  EXPECT_EQ(o.functions, QStringLiteral("vo=vi"));
  EXPECT_FALSE(o.parameters.has_value());
  EXPECT_FALSE(o.frequency.has_value());
  EXPECT_FALSE(o.waveform.has_value());
}

TEST(CommandLineTest, KeepsTheValuesOfAScopeCommandLineAndTheLastOfARepeatedOption) {
  const ParsedCommandLine parsed =
      ParseCommandLine({"scope", "--waveform", "vi = t * _f", "--frequency", "100", "--frequency",
                        "250", "--samples", "1", "--parameters", "k = 2", "--functions", "vo = k"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  const CliOptions& o = parsed.options;
  EXPECT_EQ(o.command, Command::Scope);
  EXPECT_FALSE(o.file.has_value());
  EXPECT_EQ(o.functions, QStringLiteral("vo = k"));
  EXPECT_FALSE(o.report);
  EXPECT_EQ(o.waveform, QStringLiteral("vi = t * _f"));
  EXPECT_EQ(o.frequency, 250.0);
  EXPECT_EQ(o.samples, 1);
  EXPECT_EQ(o.parameters, QStringLiteral("k = 2"));
}

TEST(CommandLineTest, FileAfterDoubleDashMayStartWithADash) {
  const ParsedCommandLine parsed = ParseCommandLine({"scope", "--", "--report"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  EXPECT_EQ(parsed.options.file, "--report");
  EXPECT_FALSE(parsed.options.report);
}

TEST(FilterTextFromArgumentTest, MakesLoneLineFeedsCrLf) {
  struct Case {
    std::string argument;
    QString expected;
  };
  const Case cases[] = {
      {"vo=vi", QStringLiteral("vo=vi")},
      {"a = 1\nb = 2\n", QStringLiteral("a = 1\r\nb = 2\r\n")},
      {"\n", QStringLiteral("\r\n")},
      {"a\r\nb", QStringLiteral("a\r\nb")},        // already CR LF: unchanged
      {"a\r\n\nb", QStringLiteral("a\r\n\r\nb")},  // mixed
      {"a\rb", QStringLiteral("a\rb")},            // a lone CR stays
      {"x = \"è\"", QStringLiteral("x = \"è\"")},  // UTF-8 arguments
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_EQ(FilterTextFromArgument(c.argument), c.expected);
  }
}

TEST(CommandLineTest, FilterTextsOfTheCommandLineGetCrLf) {
  const ParsedCommandLine parsed =
      ParseCommandLine({"sweep", "--parameters", "a = 1\nb = 2", "--functions", "vo = vi\n"});
  ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
  EXPECT_EQ(parsed.options.parameters, QStringLiteral("a = 1\r\nb = 2"));
  EXPECT_EQ(parsed.options.functions, QStringLiteral("vo = vi\r\n"));
}

TEST(HelpTextTest, NamesEveryOptionAndTheExitStatuses) {
  const std::string help = HelpText();
  for (const char* part : {"sweep",
                           "scope",
                           "--parameters",
                           "--functions",
                           "--start",
                           "--end",
                           "--samples",
                           "--oscillations",
                           "--waveform",
                           "--frequency",
                           "--report",
                           "--method",
                           "precise",
                           "classic",
                           "SIGTERM",
                           "143",
                           "--help",
                           "frequency_hz,amplitude,phase_deg",
                           "time_s,vi,vo,frames",
                           "quadra",
                           "triangolare",
                           "Ctrl+C",
                           "Operazione annullata",
                           "--version",
                           "-o FILE",
                           "compare A.csv B.csv",
                           "--tolerance",
                           "standard input",
                           "quorvel-cli compare riferimento.csv nuovo.csv"}) {
    SCOPED_TRACE(part);
    EXPECT_NE(help.find(part), std::string::npos);
  }
  EXPECT_EQ(help.back(), '\n');
}

}  // namespace
}  // namespace quorvel::cli
