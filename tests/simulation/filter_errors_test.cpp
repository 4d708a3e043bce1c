// Script errors a user can see: each distinct error with its description and count, the first
// first; and the texts whose top-level let, const or class would fail at every step after the
// first are refused before the run, naming the line.

#include <QStringList>

#include "simulation/filter_text_check.h"
#include "simulation/frequency_sweep.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/run_errors.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

class FilterErrorsTest : public RunTest {};

TEST_P(FilterErrorsTest, EachDistinctErrorComesWithItsLineAndCountTheFirstFirst) {
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  // The output jumps, so some steps are too small; line 3 fails at every third step, line 4
  // at the others (a failing statement ends its text's run).
  const RunOutcome outcome = RunFrequencySweep(
      *engine_, observer,
      {1000, 1000, 1, 1, QString(),
       u"n = n + 1\r\nvo = (vi > 0) ? 1 : -1\r\nif (n % 3 == 0) null.f()\r\nx = undefined_name"_qs},
      result, cancel);
  ASSERT_EQ(outcome.status, RunStatus::kCompleted);
  ASSERT_GE(outcome.errors.size(), 3u);
  const ErrorTally& first = outcome.errors[0];
  EXPECT_EQ(first.number, script_errors::kUndefinedName);
  EXPECT_TRUE(first.description.contains(u"undefined_name"_qs)) << first.description.toStdString();
  EXPECT_TRUE(first.description.contains(u"Funzioni del filtro, riga 4"_qs))
      << first.description.toStdString();
  const ErrorTally& second = outcome.errors[1];
  EXPECT_EQ(second.number, script_errors::kTypeError);
  EXPECT_TRUE(second.description.contains(u"riga 3"_qs)) << second.description.toStdString();
  EXPECT_GT(first.count, second.count);
  // Every error is in exactly one tally.
  std::int64_t sum = 0;
  for (const ErrorTally& tally : outcome.errors) sum += tally.count;
  EXPECT_EQ(sum, outcome.counts.total);
  bool timestep = false;
  for (const ErrorTally& tally : outcome.errors) {
    if (tally.number == run_errors::kTimestepTooSmall) {
      timestep = true;
      EXPECT_EQ(tally.description, u"Timestep troppo piccolo"_qs);
      EXPECT_EQ(tally.count, outcome.counts.timestep);
    }
  }
  EXPECT_TRUE(timestep);
  EXPECT_EQ(ErrorTallyText(first),
            first.description + QStringLiteral(" (%1 volte)").arg(first.count));
}

TEST_P(FilterErrorsTest, ASyntaxErrorIsOneTallyNamingItsLine) {
  SilentObserver observer;
  const bool stop = false;
  TimeTrace trace;
  const RunOutcome outcome = SimulateTrace(
      *engine_, observer,
      {1000, 1, 10, u"sinusoidale"_qs, {u"bad item"_qs}, QString(), u"vo = vi\r\nvo = ("_qs}, trace,
      stop);
  ASSERT_EQ(outcome.status, RunStatus::kCompleted);
  ASSERT_EQ(outcome.errors.size(), 2u);
  EXPECT_EQ(outcome.errors[0].description,
            u"Parametro del filtro parametrico non valido: bad item"_qs);
  EXPECT_EQ(outcome.errors[0].count, 1);
  EXPECT_EQ(outcome.errors[1].number, script_errors::kSyntax);
  EXPECT_TRUE(outcome.errors[1].description.contains(u"Funzioni del filtro, riga 2"_qs))
      << outcome.errors[1].description.toStdString();
  EXPECT_EQ(outcome.errors[1].count, outcome.counts.total - 1);
}

TEST_P(FilterErrorsTest, TopLevelLetOrConstIsRefusedBeforeTheRunNamingTheLine) {
  for (const bool sweep : {true, false}) {
    SCOPED_TRACE(sweep ? "sweep" : "scope");
    HookedObserver observer;
    const bool cancel = false;
    const QString functions = u"// a gain\r\nlet g = 2\r\nvo = g * vi"_qs;
    RunOutcome outcome;
    if (sweep) {
      SweepResult result;
      outcome = RunFrequencySweep(*engine_, observer, {1000, 1000, 1, 1, QString(), functions},
                                  result, cancel);
    } else {
      TimeTrace trace;
      outcome =
          SimulateTrace(*engine_, observer,
                        {1000, 1, 10, u"sinusoidale"_qs, {}, QString(), functions}, trace, cancel);
    }
    EXPECT_EQ(outcome.status, RunStatus::kRefused);
    EXPECT_TRUE(
        outcome.message.startsWith(u"Funzioni del filtro, riga 2: la dichiarazione let "_qs))
        << outcome.message.toStdString();
    EXPECT_EQ(observer.calls(), 0) << "refused before the run";
  }
  // In a block the binding is fresh at each step: the run works as a user expects.
  SilentObserver observer;
  const bool cancel = false;
  SweepResult result;
  const RunOutcome block = RunFrequencySweep(
      *engine_, observer, {1000, 1000, 1, 1, QString(), u"{ let g = 2\r\nvo = g * vi }"_qs}, result,
      cancel);
  ASSERT_EQ(block.status, RunStatus::kCompleted);
  EXPECT_EQ(block.counts.total, 0);
  EXPECT_EQ(result.points[0].amplitude, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Engines, FilterErrorsTest, testing::ValuesIn(Engines()), EngineName);

TEST(RunErrors, KeepsAtMostTwentyDistinctErrorsTheRestTogether) {
  SilentObserver observer;
  RunErrors errors(observer);
  for (int i = 0; i < 30; ++i) {
    errors.Count(ScriptError{script_errors::kThrown, QStringLiteral("messaggio %1").arg(i)});
  }
  errors.Count(ScriptError{script_errors::kThrown, u"messaggio 0"_qs});
  const std::vector<ErrorTally>& tallies = errors.tallies();
  ASSERT_EQ(tallies.size(), RunErrors::kMaxErrorTallies);
  EXPECT_EQ(tallies[0], (ErrorTally{script_errors::kThrown, u"messaggio 0"_qs, 2}));
  EXPECT_EQ(tallies[18].description, u"messaggio 18"_qs);
  EXPECT_EQ(tallies[19], (ErrorTally{0, u"Altri errori"_qs, 11}));
  EXPECT_EQ(errors.counts().total, 31);
}

TEST(FindTopLevelDeclaration, FindsLetConstAndClassOutsideBracketsOnly) {
  struct Case {
    const char16_t* text;
    int line;  // 0: none
    const char16_t* keyword;
  };
  const Case cases[] = {
      {u"let g = 2", 1, u"let"},
      {u"vo = vi\r\nconst k = 1", 2, u"const"},
      {u"a = 1\r\n\r\nclass C {}", 3, u"class"},
      {u"let [a, b] = [1, 2]", 1, u"let"},
      {u"let {a} = o", 1, u"let"},
      {u"{ let g = 2; vo = g * vi }", 0, u""},
      {u"function f() { const k = 1; return k }\r\nvo = f()", 0, u""},
      {u"for (let i = 0; i < 3; i++) vo = i", 0, u""},
      {u"if (x) { let y = 1 }", 0, u""},
      {u"let = 5; vo = let", 0, u""},  // a plain name in sloppy code
      {u"o.let = 1; o.const = 2", 0, u""},
      {u"s = 'let g = 2'; t = \"const k\"", 0, u""},
      {u"// let g = 2\r\n/* const k = 1\r\n*/ vo = vi", 0, u""},
      {u"r = /let x/g; vo = vi", 0, u""},
      {u"t = `let ${a} const`", 0, u""},
      {u"x = class C {}", 0, u""},
      {u"q = a / b; let g = 1", 1, u"let"},
      {u"/* one\r\ntwo */ vo = 1\r\nlet g", 3, u"let"},
      {u"s = `a\r\nb`\r\nconst c = 1", 3, u"const"},
  };
  for (const Case& c : cases) {
    const QString text = QString::fromUtf16(c.text);
    SCOPED_TRACE(text.toStdString());
    const std::optional<TopLevelDeclaration> found = FindTopLevelDeclaration(text);
    if (c.line == 0) {
      EXPECT_FALSE(found.has_value()) << found->keyword.toStdString() << " " << found->line;
    } else {
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(found->line, c.line);
      EXPECT_EQ(found->keyword, QString::fromUtf16(c.keyword));
    }
  }
}

TEST(TopLevelDeclarationProblem, NamesTheTextAndTheLine) {
  EXPECT_FALSE(TopLevelDeclarationProblem(u"k = 1"_qs, u"vo = k * vi"_qs).has_value());
  const auto problem = TopLevelDeclarationProblem(u"a = 1\r\nconst k = 2"_qs, u"vo = vi"_qs);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(*problem,
            u"Parametri del filtro, riga 2: la dichiarazione const fuori da un blocco verrebbe "
            "ripetuta a ogni esecuzione del testo, che il motore rifiuta; usare var o "
            "un'assegnazione (o racchiuderla in un blocco { })"_qs);
}

}  // namespace
}  // namespace quorvel
