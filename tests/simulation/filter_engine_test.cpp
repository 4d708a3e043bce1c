// The fast engine must do exactly what the statement texts do: same engine state after every
// call, same failures, same values read. Each scenario runs once on each engine, in a fresh host,
// and the two transcripts must be identical.
#include <gtest/gtest.h>

#include <QStringList>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>

#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "scripting/script_var_list.h"
#include "simulation/script_filter_engine.h"
#include "simulation/text_filter_engine.h"

namespace quorvel {
namespace {

struct Scenario {
  const char* name;
  QString parameters;
  QString functions;
  QString input;  // empty: the program sets vi
  QStringList extra_names;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

QString Bits(double x) {
  uint64_t u = 0;
  std::memcpy(&u, &x, sizeof u);
  return QString::number(u, 16);
}

QString Describe(const Expected<double>& v) {
  return v.ok() ? u"ok:"_qs + Bits(*v) : QStringLiteral("err:%1").arg(v.error().number);
}

// Every listed name's kind and exact value, read as global code would read it.
QString Probe(ScriptHost& host, const std::vector<QString>& names) {
  QString list;
  for (const QString& n : names) list += u'"' + n + u"\","_qs;
  auto r = host.Evaluate(
      u"(function(){var out=[];for(var nm of ["_qs + list +
      u"]){try{var v=(0,eval)(nm);out.push(typeof v+':'+(typeof v==='number'&&Object.is(v,-0)?"
      "'-0':String(v)))}catch(e){out.push('ERR:'+e.name)}}return out.join('|')})()"_qs);
  return r.ok() ? r->text() : u"probe failed"_qs;
}

template <typename Engine>
QStringList Transcript(const Scenario& s) {
  ScriptHost host;
  EXPECT_TRUE(host.LoadCode(PreludeText()).ok());
  Engine engine(host);
  QStringList out;
  out << (engine.Execute(s.parameters, ParametersSourceName()).ok() ? u"params ok"_qs
                                                                    : u"params failed"_qs);
  ScriptVarList list;
  CollectAssignedNames(s.parameters, list);
  CollectAssignedNames(s.functions, list);
  for (const char* n : {"dt", "vi", "vo"}) SetVar(list, QString::fromLatin1(n), u"0"_qs);
  for (const QString& n : s.extra_names) SetVar(list, n, u"0"_qs);
  engine.BeginRun(list.names, s.functions, s.input);
  double t = 0;
  double dt = 1e-4;
  for (int step = 0; step < 40; ++step) {
    if (step == 20) engine.ResetSavedState();
    engine.SaveState();
    out << u"saved "_qs + Probe(host, list.names);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const double t_try = t + dt / (attempt + 1);
      const double vi = std::sin(t_try * 6283.18530717958);
      const int failures = engine.RestoreAndSet(dt, t_try, s.input.isEmpty() ? &vi : nullptr);
      out << QStringLiteral("restore %1 ").arg(failures) + Probe(host, list.names);
      if (!s.input.isEmpty()) out << u"input "_qs + Describe(engine.RunInput());
      out << (engine.RunFunctions().ok() ? u"functions ok"_qs : u"functions failed"_qs);
      out << u"vo "_qs + Describe(engine.ReadOutput());
    }
    t += dt;
    dt *= 1.1;
  }
  engine.EndRun();
  return out;
}

class FilterEngineEquivalence : public ::testing::TestWithParam<Scenario> {};

TEST_P(FilterEngineEquivalence, FastEngineMatchesTheStatementTexts) {
  const QStringList text = Transcript<TextFilterEngine>(GetParam());
  const QStringList fast = Transcript<ScriptFilterEngine>(GetParam());
  ASSERT_EQ(text.size(), fast.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    ASSERT_EQ(fast[i].toStdString(), text[i].toStdString()) << "line " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FilterEngineEquivalence,
    ::testing::Values(
        Scenario{"rc_lowpass",
                 u"RC = 1/(2*3.14159265358979*1000)"_qs,
                 u"vo = vo + (vi - vo) * dt / RC\r\n"_qs,
                 QString(),
                 {}},
        Scenario{"state_of_every_kind",
                 u"k = 2; flag = false; s = 'a,b'; arr = [1]; nul = null; u = undefined"_qs,
                 u"vo = vo + (vi - vo) * dt * k * 1000; flag = !flag; s = s + 'x\"\\n';\r\n"
                 "arr.push(1); nul = null; x1 = vo / 3; big = 1e300 * 1e10; nan1 = 0/0;\r\n"
                 "u = undefined; Vo = -0; r2 = mod(t, 0.0003)\r\n"_qs,
                 QString(),
                 {u"5"_qs, u"if"_qs, u"never_set"_qs, u"arguments"_qs}},
        Scenario{"oscilloscope_input",
                 u"w = 6283.18530717958"_qs,
                 u"y1 = y1 + (vi - y1) * 0.1; vo = y1\r\n"_qs,
                 u"vi = Math.sin(t * w)"_qs,
                 {}},
        Scenario{"const_step_and_lexical_state",
                 u"const dt = 0.001; let lx = 1"_qs,
                 u"lx = lx + 1; vo = lx * vi\r\n"_qs,
                 QString(),
                 {}},
        Scenario{"broken_texts", u"a = (1"_qs, u"vo = vo +\r\n"_qs, u"vi = nosuch"_qs, {}},
        Scenario{"functions_throw_sometimes",
                 u"n = 0"_qs,
                 u"n = n + 1; if (n % 3 == 0) throw 'x'; vo = n\r\n"_qs,
                 QString(),
                 {}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace quorvel
