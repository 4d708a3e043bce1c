// The windows' data export and quorvel-cli write one format: the same test, run in this process
// as a window runs it and exported with the core's table writer, gives the bytes that the built
// tool prints for it.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>
#include <sstream>
#include <string>
#include <variant>

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "graphs/measurement_table.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/run_observer.h"
#include "simulation/script_filter_engine.h"

namespace quorvel {
namespace {

std::string CliOutput(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(QUORVEL_CLI_PATH), args);
  if (!process.waitForStarted(20000) || !process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "quorvel-cli did not finish";
    return {};
  }
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return process.readAllStandardOutput().toStdString();
}

std::string ExamplePath(const char* name) { return std::string(QUORVEL_EXAMPLES_DIR) + '/' + name; }

// The settings the tool takes from the file, which are the window's settings for that test.
cli::RunSettings SettingsOf(cli::Command command, const std::string& file) {
  cli::CliOptions options;
  options.command = command;
  options.file = file;
  std::ostringstream err;
  std::optional<cli::RunSettings> settings = cli::PrepareRun(options, err);
  EXPECT_TRUE(settings.has_value()) << err.str();
  return settings.value_or(cli::RunSettings{});
}

class ExportMatchesCliTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.LoadCode(PreludeText()).ok()); }

  ScriptHost host_;
  SilentObserver observer_;
  bool cancel_ = false;
};

TEST_F(ExportMatchesCliTest, SweepOfTheRcLowPassExample) {
  const std::string file = ExamplePath("rc_lowpass.flt");
  const auto settings = std::get<SweepSettings>(SettingsOf(cli::Command::Sweep, file));
  ScriptFilterEngine engine(host_);
  SweepResult result;
  ASSERT_TRUE(RunFrequencySweep(engine, observer_, settings, result, cancel_).started());
  ASSERT_GT(result.count, 2);

  const std::string exported = SweepCsv(result);
  EXPECT_EQ(exported, CliOutput({QStringLiteral("sweep"), QString::fromStdString(file)}));
  EXPECT_EQ(exported.rfind("frequency_hz,amplitude,phase_deg\n", 0), 0u);
}

TEST_F(ExportMatchesCliTest, ScopeOfTheParametricExample) {
  const std::string file = ExamplePath("parametric_lowpass.flt");
  const auto settings = std::get<ScopeSettings>(SettingsOf(cli::Command::Scope, file));
  ScriptFilterEngine engine(host_);
  TimeTrace trace;
  ASSERT_TRUE(SimulateTrace(engine, observer_, settings, trace, cancel_).started());
  ASSERT_GT(trace.count, 10);

  const std::string exported = TraceCsv(trace);
  EXPECT_EQ(exported, CliOutput({QStringLiteral("scope"), QString::fromStdString(file)}));
  EXPECT_EQ(exported.rfind("time_s,vi,vo,frames\n", 0), 0u);
}

}  // namespace
}  // namespace quorvel
