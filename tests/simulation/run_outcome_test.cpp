// What the windows show of a run's errors: the status text of the first error and the list
// appended to the report.

#include <gtest/gtest.h>

#include <QString>

#include <vector>

#include "simulation/frequency_sweep.h"
#include "simulation/run_outcome.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

const ErrorTally kUndefined{
    5009, u"ReferenceError: g is not defined (Funzioni del filtro, riga 2)"_qs, 1877};
const ErrorTally kTimestep{513, u"Timestep troppo piccolo"_qs, 1};
const ErrorTally kCancelled{5101, u"Script interrotto su richiesta"_qs, 1};
const ErrorTally kSyntax{1002, u"SyntaxError: unexpected token (Parametri del filtro, riga 1)"_qs,
                         7};

TEST(RunErrorTextsTest, TheStatusNamesTheFirstErrorAndHowManyOthersTheReportLists) {
  struct Case {
    const char* name;
    std::vector<ErrorTally> errors;
    QString status;
  };
  const Case cases[] = {
      {"none", {}, QString()},
      {"one",
       {kUndefined},
       u"Errore: ReferenceError: g is not defined (Funzioni del filtro, riga 2) (1877 volte)"_qs},
      {"time step only", {kTimestep}, QString()},
      {"two",
       {kUndefined, kSyntax},
       u"Errore: ReferenceError: g is not defined (Funzioni del filtro, riga 2) (1877 volte); un "
       u"altro errore diverso nel report"_qs},
      {"time step first",
       {kTimestep, kUndefined},
       u"Errore: ReferenceError: g is not defined (Funzioni del filtro, riga 2) (1877 volte)"_qs},
      {"cancelled only", {kCancelled}, QString()},
      {"cancelled after two",
       {kSyntax, kUndefined, kCancelled},
       u"Errore: SyntaxError: unexpected token (Parametri del filtro, riga 1) (7 volte); un altro "
       u"errore diverso nel report"_qs},
      {"three",
       {kSyntax, kTimestep, kUndefined, {5007, u"TypeError: x (riga 1)"_qs, 2}},
       u"Errore: SyntaxError: unexpected token (Parametri del filtro, riga 1) (7 volte); altri 2 "
       u"errori diversi nel report"_qs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString status = RunErrorStatusText(c.errors);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(IsRunErrorStatusText(status), !c.status.isEmpty());
  }
  for (const char* other : {"Ombrat - Ferrolt", "Operazione annullata", "Guida non disponibile",
                            "Premere il tasto CTRL per visualizzare la guida contestuale"}) {
    EXPECT_FALSE(IsRunErrorStatusText(QString::fromUtf8(other))) << other;
  }
}

TEST(RunErrorTextsTest, TheErrorListFollowsTheReportUnchanged) {
  const QString report = u"Operazione completata\r\nErrori totali: 1885\r\n"_qs;
  EXPECT_EQ(ReportWithErrorList(report, {}), report);
  EXPECT_EQ(ReportWithErrorList(report, {kSyntax, kTimestep}),
            report +
                u"\r\nElenco degli errori:\r\n"
                u"SyntaxError: unexpected token (Parametri del filtro, riga 1) (7 volte)\r\n"
                u"Timestep troppo piccolo (1 volta)\r\n"_qs);
  // A report whose last line has no line end still gets its empty line before the list.
  EXPECT_EQ(
      ReportWithErrorList(u"Numero campioni: 3"_qs, {kTimestep}),
      u"Numero campioni: 3\r\n\r\nElenco degli errori:\r\nTimestep troppo piccolo (1 volta)\r\n"_qs);
}

class RunErrorTextsOfARunTest : public RunTest {};

// A syntax error in the functions text: the status says so at once, with the text and line, and
// the report's own lines stay as the run wrote them.
TEST_P(RunErrorTextsOfARunTest, ASyntaxErrorIsNamedWithItsLine) {
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  const RunOutcome outcome = RunFrequencySweep(
      *engine_, observer, {100, 1000, 5, 1, QString(), u"vo = vi\r\nvo = (vi * )\r\n"_qs}, result,
      cancel);
  ASSERT_EQ(outcome.status, RunStatus::kCompleted);
  ASSERT_EQ(outcome.errors.size(), 1u);
  const QString status = RunErrorStatusText(outcome.errors);
  EXPECT_TRUE(status.startsWith(u"Errore: SyntaxError: "_qs)) << status.toStdString();
  EXPECT_TRUE(status.contains(u"(Funzioni del filtro, riga 2)"_qs)) << status.toStdString();
  EXPECT_TRUE(status.endsWith(QStringLiteral(" (%1 volte)").arg(outcome.counts.total)))
      << status.toStdString();
  const QString shown = ReportWithErrorList(outcome.report, outcome.errors);
  EXPECT_TRUE(shown.startsWith(outcome.report));
  EXPECT_EQ(shown.mid(outcome.report.size()),
            u"\r\nElenco degli errori:\r\n"_qs + ErrorTallyText(outcome.errors[0]) + u"\r\n"_qs);
}

INSTANTIATE_TEST_SUITE_P(Engines, RunErrorTextsOfARunTest, testing::ValuesIn(Engines()),
                         EngineName);

}  // namespace
}  // namespace quorvel
