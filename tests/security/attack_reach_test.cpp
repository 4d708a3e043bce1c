// Attacks that try to reach the host's own functions and buffers from a filter: through `caller`,
// accessors on the names the host reads and writes, Proxies, conversions and frozen globals.
// Every attack runs as two sweeps in a row on one host (the second run replaces the first one's
// prepared calls) and then an oscilloscope run (the window runs the scope right after a file's
// preview sweep). What must hold each time: no invalid memory access (these tests run under
// AddressSanitizer in CI, and the caller attack also under valgrind where it is installed, since
// the engine's own stores are not instrumented), nothing of the host in the script's hands, every
// run ends, and afterwards the host answers and a fresh scope runs a clean filter exactly.
#include <gtest/gtest.h>

#include <ostream>

#include "attack_support.h"

namespace quorvel {
namespace {

struct ReachAttack {
  const char* name;
  QString parameters;  // defines `found` (what the attack got hold of) on the first run
  QString functions;
  // True when the attack leaves the filter working (vo = vi): the points must then be exact.
  bool filter_still_works;
};

void PrintTo(const ReachAttack& a, std::ostream* os) { *os << a.name; }

// Every run starts from rest: names the texts assign with "=" are state and go back to 0 at each
// frequency. What an attack keeps across frequencies and runs is therefore defined without "=".
const QString kFound = QStringLiteral(
    "if (!('found' in globalThis)) { Object.defineProperty(globalThis, 'found', {value: [], "
    "writable: true})\r\n");

// Keeps what a function's caller or arguments give, whatever they are.
const QString kGrab = QStringLiteral(
    "  Object.defineProperty(globalThis, 'grab', {value: function (g) {\r\n"
    "    try { var c = g.caller; if (c && found.length === 0) found.push(c) } catch (e) {}\r\n"
    "    try { var a = g.arguments; if (a && found.length === 0) found.push(a) } catch (e) {}\r\n"
    "    try { var d = Object.getOwnPropertyDescriptor(Function.prototype, 'caller');\r\n"
    "          var c2 = d && d.get && d.get.call(g); if (c2 && found.length === 0) "
    "found.push(c2)\r\n"
    "    } catch (e) {} }})\r\n");

const ReachAttack kReachAttacks[] = {
    {"caller_of_state_accessors",
     kFound + kGrab +
         u"  Object.defineProperty(globalThis, 'x1', {configurable: true,\r\n"
         "    get: function g() { grab(g); return 0 }, set: function s(v) { grab(s) }}) }"_qs,
     // Whatever was kept is called at every step: after the first run it would belong to a
     // run that is over.
     u"x1 = 0\r\nfor (var k = 0; k < found.length; k++) {\r\n"
     "  try { found[k](15) } catch (e) {}\r\n  try { found[k](8) } catch (e) {}\r\n}\r\n"
     "vo = vi"_qs,
     true},
    {"caller_of_vo_t_dt_vi_accessors",
     kFound + kGrab +
         u"  ['vo', 't', 'dt', 'vi'].forEach(function (n) { var box = 0\r\n"
         "    Object.defineProperty(globalThis, n, {configurable: true,\r\n"
         "      get: function g() { grab(g); if (this !== globalThis) found.push(this); return box "
         "},\r\n"
         "      set: function s(v) { grab(s); if (this !== globalThis) found.push(this); box = v "
         "}})\r\n"
         "  }) }"_qs,
     u"for (var k = 0; k < found.length; k++) { try { found[k](15) } catch (e) {} }\r\n"
     "vo = vi"_qs,
     true},
    {"index_setters_on_prototypes",
     // Saved strings and booleans are kept in an object of the host's: a setter on an index of
     // a prototype would be handed that object if it had one.
     kFound +
         u"  for (var i = 0; i < 8; i++) [Object.prototype, Array.prototype].forEach(function (p) "
         u"{\r\n"
         "    Object.defineProperty(p, i, {configurable: true, get: function () { return 0 },\r\n"
         "      set: function (v) { found.push(this) }}) })\r\n"
         "  s1 = 'a'; s2 = true }"_qs,
     u"s1 = s1 + ''; s2 = !s2; vo = vi"_qs, true},
    {"non_writable_and_deleted_names",
     kFound +
         u"  Object.defineProperty(globalThis, 't', {value: 5, writable: false, configurable: "
         u"true})\r\n"
         "  Object.defineProperty(globalThis, 'dt', {value: 7, writable: false, configurable: true}) }"_qs,
     u"delete globalThis.vo; delete globalThis.vi; y1 = 1; vo = y1"_qs, false},
    {"proxy_in_state_and_as_global_prototype",
     kFound +
         u"  traps = 0\r\n"
         "  var h = {}; ['get', 'set', 'has', 'getOwnPropertyDescriptor', 'defineProperty', "
         "'ownKeys',\r\n"
         "    'getPrototypeOf', 'apply', 'construct'].forEach(function (k) {\r\n"
         "    h[k] = function () { traps++; return Reflect[k].apply(null, arguments) } })\r\n"
         "  p1 = new Proxy({}, h)\r\n"
         "  Object.setPrototypeOf(globalThis, new Proxy(Object.getPrototypeOf(globalThis), {\r\n"
         "    get: function (t, k, r) { if (r !== globalThis) found.push(r); return Reflect.get(t, "
         "k, r) },\r\n"
         "    set: function (t, k, v, r) { if (r !== globalThis) found.push(r); return "
         "Reflect.set(t, k, v, r) }\r\n"
         "  })) }"_qs,
     u"p1 = p1; vo = vi"_qs, true},
    {"conversions_in_state_and_output",
     kFound + u"  converted = 0\r\n"
              "  var trap = function () { converted++; found.push(this); return 1 }\r\n"
              "  o1 = {valueOf: trap, toString: trap}; o1[Symbol.toPrimitive] = trap }"_qs,
     u"o1 = o1; vo = (t > 0.0001) ? o1 : vi"_qs, false},
    {"frozen_globals_and_tampered_built_ins",
     kFound +
         // (Not "dt = 0" as a statement: parameters that assign dt fix the step.)
         u"  ['vo', 'vi', 'dt', 't', 'y1'].forEach(function (n) { globalThis[n] = 0 })\r\n"
         "  Math.sin = function () { return 0.5 }; Function.prototype.call = null\r\n"
         "  Array.prototype.push = null; Reflect.apply = null; Object.defineProperty = null\r\n"
         "  Object.freeze(Object.prototype); Object.freeze(Array.prototype)\r\n"
         "  Object.freeze(Function.prototype); Object.freeze(globalThis) }"_qs,
     u"y1 = y1 + 1; vo = vi"_qs, false},
};

class AttackReach : public testing::TestWithParam<ReachAttack> {};

double Found(ScriptHost& host) {
  auto found = host.Evaluate(u"found.length"_qs);
  EXPECT_TRUE(found.ok());
  return found.ok() ? found->number() : -1;
}

TEST_P(AttackReach, NothingOfTheHostIsReachedAndEveryRunEnds) {
  const ReachAttack& attack = GetParam();
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const AttackOutcome out = AttackSweep(host, attack.parameters, attack.functions);
    ASSERT_TRUE(out.report.has_value());
    EXPECT_FALSE(out.ended_by_deadline);
    ASSERT_EQ(out.sweep.count, 2);
    if (attack.filter_still_works) {
      EXPECT_EQ(out.sweep.points[0].amplitude, 1.0);
      EXPECT_EQ(out.sweep.points[1].amplitude, 1.0);
    }
    EXPECT_EQ(Found(host), 0);
  }
  const AttackOutcome scope = AttackScope(host, attack.parameters, attack.functions);
  ASSERT_TRUE(scope.report.has_value());
  EXPECT_FALSE(scope.ended_by_deadline);
  EXPECT_GT(scope.trace.count, 0);
  EXPECT_EQ(Found(host), 0);
  if (attack.name == std::string("proxy_in_state_and_as_global_prototype")) {
    // The host reads and writes the state without looking into the object.
    EXPECT_EQ(host.Evaluate(u"traps"_qs)->number(), 0);
  }
  if (attack.name == std::string("conversions_in_state_and_output")) {
    EXPECT_EQ(host.Evaluate(u"converted"_qs)->number(), 0);
  }
  ExpectHostUsable(host);
}

INSTANTIATE_TEST_SUITE_P(Families, AttackReach, testing::ValuesIn(kReachAttacks),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The same through the host's own calls, with no run around them: a function kept from one run
// and called in the next must find nothing of the first.
TEST(AttackReachHost, AKeptRunFunctionCannotBeTakenOrCalledLater) {
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(
      host.Evaluate(
              u"found = []; Object.defineProperty(globalThis, 'x1', {configurable: true,\r\n"
              "  get: function g() { try { if (g.caller) found.push(g.caller) } catch (e) {}\r\n"
              "    return 1.5 }, set: function (v) {}})"_qs)
          .ok());
  const std::vector<QString> names{u"dt"_qs, u"vi"_qs, u"vo"_qs, u"x1"_qs};
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(
        host.BeginRun(names, u"vo = vi * x1; found.forEach(function (f) { f(15) })"_qs, QString())
            .ok());
    host.ResetRunState();
    for (int step = 0; step < 20; ++step) {
      host.SaveRunState();
      const double vi = 0.25 * step;
      auto restored = host.RestoreRunState(1e-5, 1e-5 * step, &vi);
      ASSERT_TRUE(restored.ok());
      EXPECT_EQ(*restored, 0);
      ASSERT_TRUE(host.RunFunctions().ok());
      auto vo = host.ReadOutput();
      ASSERT_TRUE(vo.ok());
      EXPECT_EQ(*vo, 1.5 * vi);
    }
    host.EndRun();
    EXPECT_EQ(host.Evaluate(u"found.length"_qs)->number(), 0);
  }
  ExpectHostUsable(host);
}

// The whole attempt and the call around a run: a filter that keeps whatever the callers of its
// getters give (on a state variable, read by the save; on vo, read at the end of the attempt)
// and calls it later finds nothing of the host, inside the run or after it; nor can it reset
// the scope under the run.
TEST(AttackReachHost, NothingOfAWholeAttemptOrTheRunsCallIsReached) {
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(
      host.Evaluate(
              u"found = []; function keep(g) { try { if (g.caller) found.push(g.caller) }\r\n"
              "  catch (e) {} try { if (g.arguments) found.push(g.arguments) } catch (e) {} }\r\n"
              "var box = 0; Object.defineProperty(globalThis, 'x1', {configurable: true,\r\n"
              "  get: function g() { keep(g); return 1.5 }, set: function s(v) { keep(s) }});\r\n"
              "Object.defineProperty(globalThis, 'vo', {configurable: true,\r\n"
              "  get: function h() { keep(h); return box }, set: function (v) { box = v }})"_qs)
          .ok());
  const std::vector<QString> names{u"dt"_qs, u"vi"_qs, u"vo"_qs, u"x1"_qs};
  class Parts final : public AttemptSink {
   public:
    bool Restored(const Expected<int>& failures) override {
      EXPECT_TRUE(failures.ok());
      EXPECT_EQ(failures.ok() ? *failures : -1, 0);
      return true;
    }
    bool Input(const Expected<double>&) override {
      ADD_FAILURE() << "a run with vi given has no input part";
      return true;
    }
    bool Functions(const ScriptStatus& status) override {
      EXPECT_TRUE(status.ok()) << status.error().description.toStdString();
      return true;
    }
    bool Output(const Expected<double>& vo) override {
      EXPECT_TRUE(vo.ok());
      last = vo.ok() ? *vo : -1;
      return true;
    }
    double last = 0;
  } parts;
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    host.RunInsideOneCall([&] {
      EXPECT_EQ(host.ResetGlobalScope().error().number, script_errors::kBusy);
      ASSERT_TRUE(host.BeginRun(names,
                                u"vo = vi * x1; found.forEach(function (f) {\r\n"
                                "  try { f(15) } catch (e) {} try { f(-1) } catch (e) {} })"_qs,
                                QString())
                      .ok());
      host.ResetRunState();
      for (int step = 0; step < 20; ++step) {
        host.SaveRunState();
        const double vi = 0.25 * step;
        EXPECT_TRUE(host.RunAttempt(1e-5, 1e-5 * step, &vi, parts));
        EXPECT_EQ(parts.last, 1.5 * vi);
      }
      host.EndRun();
    });
    EXPECT_EQ(host.Evaluate(u"found.length"_qs)->number(), 0);
  }
  ExpectHostUsable(host);
}

// A sink that throws (a run's own failure, say) leaves the engine's frames first: the exception
// comes out of the attempt and out of the call around the run, and the host goes on working.
TEST(AttackReachHost, AnExceptionInsideAWholeAttemptLeavesTheEngineWhole) {
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  struct Thrown {};
  class Throwing final : public AttemptSink {
   public:
    bool Restored(const Expected<int>&) override { return true; }
    bool Input(const Expected<double>&) override { return true; }
    bool Functions(const ScriptStatus&) override { throw Thrown{}; }
    bool Output(const Expected<double>&) override { return true; }
  } throwing;
  const std::vector<QString> names{u"dt"_qs, u"vi"_qs, u"vo"_qs, u"y"_qs};
  bool caught_inside = false;
  bool caught_outside = false;
  try {
    host.RunInsideOneCall([&] {
      ASSERT_TRUE(host.BeginRun(names, u"y = y + 1; vo = y"_qs, QString()).ok());
      host.SaveRunState();
      const double vi = 0.5;
      try {
        host.RunAttempt(1e-5, 1e-5, &vi, throwing);
      } catch (const Thrown&) {
        caught_inside = true;
      }
      host.EndRun();
      throw Thrown{};
    });
  } catch (const Thrown&) {
    caught_outside = true;
  }
  EXPECT_TRUE(caught_inside);
  EXPECT_TRUE(caught_outside);
  ExpectHostUsable(host);
}

}  // namespace
}  // namespace quorvel
