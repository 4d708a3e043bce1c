#include "scripting/script_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include <unistd.h>

#include <QStringList>

#include "numbers/number_text.h"
#include "scripting/filter_program.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ScriptHostTest : public ::testing::Test {
 protected:
  ScriptHost host_;

  ScriptValue Eval(const QString& text) {
    auto result = host_.Evaluate(text);
    EXPECT_TRUE(result.ok()) << text.toStdString() << ": "
                             << (result.ok() ? "" : result.error().description.toStdString());
    return result.ok() ? *result : ScriptValue();
  }
  double Number(const QString& text) {
    ScriptValue v = Eval(text);
    EXPECT_TRUE(v.IsNumber()) << text.toStdString();
    return v.number();
  }
};

std::size_t ResidentMiB() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long size = 0;
  unsigned long resident = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%lu %lu", &size, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) >> 20;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(ScriptHostTest, EvaluateGivesTheValueOfTheLastExpressionInEachKind) {
  EXPECT_EQ(Number(u"a = 2\r\nb = a * 3\r\n"_qs), 6);
  EXPECT_EQ(Eval(u"'pi' + 'ù'"_qs).text(), u"più"_qs);
  EXPECT_EQ(Eval(u"1 < 2"_qs).kind(), ScriptValue::Kind::Boolean);
  EXPECT_TRUE(Eval(u"1 < 2"_qs).boolean());
  EXPECT_EQ(Eval(u"undefined"_qs).kind(), ScriptValue::Kind::Undefined);
  EXPECT_EQ(Eval(u"null"_qs).kind(), ScriptValue::Kind::Null);
  EXPECT_EQ(Eval(u"[1, 2]"_qs).kind(), ScriptValue::Kind::Object);
  EXPECT_EQ(Eval(u"function f(){}"_qs).kind(), ScriptValue::Kind::Undefined);
  EXPECT_EQ(Eval(u"Math.sin"_qs).kind(), ScriptValue::Kind::Object);
}

TEST_F(ScriptHostTest, GlobalsStayDefinedAcrossTexts) {
  Eval(u"k = 5; function twice(x){ return 2 * x }"_qs);
  EXPECT_EQ(Number(u"twice(k)"_qs), 10);
}

TEST_F(ScriptHostTest, ARepeatedTextIsCompiledOnceAndRunsAsIfFresh) {
  const QString text = u"var x = 5; function g(){ return 1 } x"_qs;
  EXPECT_EQ(Number(text), 5);
  const auto cached = host_.CompileCacheSize();
  Eval(u"x = 7; g = function(){ return 2 }"_qs);
  // Declarations are instantiated again on every run of the compiled text.
  EXPECT_EQ(Number(text), 5);
  EXPECT_EQ(Number(u"g()"_qs), 1);
  EXPECT_EQ(host_.CompileCacheSize(), cached + 2);  // the two new texts only
  Eval(text);
  EXPECT_EQ(host_.CompileCacheSize(), cached + 2);
}

TEST_F(ScriptHostTest, TheCacheStaysBounded) {
  for (int i = 0; i < 1000; ++i) Eval(QStringLiteral("v%1 = %1").arg(i));
  EXPECT_LE(host_.CompileCacheSize(), 128u);
  EXPECT_EQ(Number(u"v0 + v999"_qs), 999);
}

TEST_F(ScriptHostTest, ASyntaxErrorFailsTheSameWayEveryTimeAndNamesItsLine) {
  const QString text = u"a = 1\r\nb = (2 +\r\n"_qs;
  auto first = host_.Evaluate(text, FunctionsSourceName());
  auto second = host_.Evaluate(text, FunctionsSourceName());
  ASSERT_FALSE(first.ok());
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(first.error().number, script_errors::kSyntax);
  EXPECT_EQ(second.error().number, first.error().number);
  EXPECT_EQ(second.error().description, first.error().description);
  EXPECT_TRUE(first.error().description.contains(u"SyntaxError"_qs))
      << first.error().description.toStdString();
  EXPECT_TRUE(first.error().description.contains(u"Funzioni del filtro, riga"_qs))
      << first.error().description.toStdString();
  // The first statement never ran: a text that does not compile has no effect.
  EXPECT_FALSE(host_.Evaluate(u"a"_qs).ok());
}

TEST_F(ScriptHostTest, EngineErrorsCarryANumberAndADescriptionWithTheLine) {
  struct Case {
    const char16_t* text;
    int number;
    const char16_t* must_contain;
  };
  const Case cases[] = {
      {u"x = 1\r\ny = nosuch + 1", script_errors::kUndefinedName, u"riga 2"},
      {u"null.foo", script_errors::kTypeError, u"TypeError"},
      {u"new Array(-1)", script_errors::kRangeError, u"RangeError"},
      {u"throw 'mio'", script_errors::kThrown, u"mio"},
      {u"throw new Error('suo')", script_errors::kRuntime, u"suo"},
      {u"function f(){ return f() } f()", script_errors::kRuntime, u"recursion"},
      {u"if (", script_errors::kSyntax, u"riga 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
    auto result = host_.Evaluate(QString::fromUtf16(c.text));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().number, c.number);
    EXPECT_NE(result.error().number, 6);
    EXPECT_NE(result.error().number, 513);
    EXPECT_TRUE(result.error().description.contains(QString::fromUtf16(c.must_contain)))
        << result.error().description.toStdString();
  }
  EXPECT_EQ(Number(u"1 + 1"_qs), 2);
}

TEST_F(ScriptHostTest, ThePreludeDefinesItsFourFunctions) {
  ASSERT_TRUE(host_.LoadCode(PreludeText()).ok());
  struct Case {
    const char16_t* text;
    double expected;
  };
  const Case cases[] = {
      {u"sgn(-3)", -1},     {u"sgn(0)", 0},        {u"sgn(2.5)", 1},     {u"pows(-2, 2)", -4},
      {u"pows(4, 0.5)", 2}, {u"int(-2.7)", -2},    {u"int(2.7)", 2},     {u"mod(7, 3)", 1},
      {u"mod(-7, 3)", -1},  {u"mod(7.5, 2)", 1.5}, {u"mod(9, 3); r", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
    EXPECT_NEAR(Number(QString::fromUtf16(c.text)), c.expected, 1e-12);
  }
}

TEST_F(ScriptHostTest, SetNumberStoresWhatTheStatementTextWouldStore) {
  const double values[] = {0.1,     1.0 / 3.0, 1e-7,     -2.5e300, 123456789012345678.0,
                           5e-324,  -0.0,      0.000123, 1e21,     6.28318530717958 * 1234.5,
                           -1.0e-5, 42};
  for (double x : values) {
    SCOPED_TRACE(x);
    ASSERT_TRUE(host_.SetNumber(u"typed"_qs, x).ok());
    Eval(u"text="_qs + StatementNumber(x));
    const double typed = Number(u"typed"_qs);
    const double text = Number(u"text"_qs);
    EXPECT_TRUE(SameBits(typed, text)) << typed << " vs " << text;
  }
}

TEST_F(ScriptHostTest, TypedPathsFailWhereTheTextPathsFail) {
  // Names that are not identifiers, and non-finite values, fail both ways alike.
  const QString names[] = {u"5"_qs, u"if"_qs, u"this"_qs, u"a b"_qs};
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    auto typed = host_.SetNumber(name, 1);
    auto text = host_.Evaluate(name + u"=1"_qs);
    EXPECT_EQ(typed.ok(), text.ok());
  }
  auto inf_typed = host_.SetNumber(u"big"_qs, std::numeric_limits<double>::infinity());
  auto inf_text =
      host_.Evaluate(u"big="_qs + StatementNumber(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(inf_typed.ok());
  EXPECT_FALSE(inf_text.ok());

  auto missing = host_.GetNumber(u"never_defined"_qs);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().number, host_.Evaluate(u"never_defined"_qs).error().number);
}

TEST_F(ScriptHostTest, GetNumberConvertsLikeTheTextPath) {
  struct Case {
    const char16_t* statement;
    bool ok;
    double expected;
  };
  const Case cases[] = {
      {u"g = 2.5", true, 2.5},   {u"g = true", true, 1},        {u"g = false", true, 0},
      {u"g = '1,5'", true, 1.5}, {u"g = ' 2.25 '", true, 2.25}, {u"g = undefined", true, 0},
      {u"g = 'abc'", false, 0},  {u"g = null", false, 0},       {u"g = [1]", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.statement).toStdString());
    Eval(QString::fromUtf16(c.statement));
    auto typed = host_.GetNumber(u"g"_qs);
    auto text = host_.Evaluate(u"g"_qs);
    ASSERT_TRUE(text.ok());
    auto converted = ScriptHost::ToDouble(*text);
    ASSERT_EQ(typed.ok(), c.ok);
    ASSERT_EQ(converted.ok(), c.ok);
    if (c.ok) {
      EXPECT_EQ(*typed, c.expected);
      EXPECT_EQ(*converted, c.expected);
    } else {
      EXPECT_EQ(typed.error().number, script_errors::kTypeMismatch);
    }
  }
}

TEST_F(ScriptHostTest, TypedPathsSeeTopLevelLexicalBindings) {
  Eval(u"let lx = 1"_qs);
  ASSERT_TRUE(host_.SetNumber(u"lx"_qs, 2).ok());
  EXPECT_EQ(Number(u"lx"_qs), 2);
  EXPECT_EQ(*host_.GetNumber(u"lx"_qs), 2);
}

TEST_F(ScriptHostTest, OnlyStandardBuiltInsExistInTheGlobalScope) {
  const QString host_things[] = {
      u"print"_qs,       u"load"_qs,     u"read"_qs,           u"readline"_qs, u"quit"_qs,
      u"os"_qs,          u"require"_qs,  u"process"_qs,        u"snarf"_qs,    u"evaluate"_qs,
      u"WebAssembly"_qs, u"document"_qs, u"XMLHttpRequest"_qs, u"fetch"_qs};
  for (const QString& name : host_things) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(Eval(u"typeof "_qs + name).text(), u"undefined"_qs);
  }
  // Every own property of the global object is an ECMAScript built-in.
  const QString allowed =
      u"|globalThis|Infinity|NaN|undefined|eval|isFinite|isNaN|parseFloat|parseInt|decodeURI|"
      "decodeURIComponent|encodeURI|encodeURIComponent|escape|unescape|Array|ArrayBuffer|"
      "BigInt|BigInt64Array|BigUint64Array|Boolean|DataView|Date|Error|EvalError|"
      "FinalizationRegistry|Float32Array|Float64Array|Function|Int8Array|Int16Array|Int32Array|"
      "Map|Number|Object|Promise|Proxy|RangeError|ReferenceError|RegExp|Set|SharedArrayBuffer|"
      "String|Symbol|SyntaxError|TypeError|Uint8Array|Uint8ClampedArray|Uint16Array|"
      "Uint32Array|URIError|WeakMap|WeakRef|WeakSet|Atomics|JSON|Math|Reflect|Intl|"
      "AggregateError|InternalError|uneval|"_qs;
  const QString names = Eval(u"Object.getOwnPropertyNames(globalThis).join('|')"_qs).text();
  for (const QString& name : names.split(u'|')) {
    EXPECT_TRUE(allowed.contains(u'|' + name + u'|')) << "unexpected global " << name.toStdString();
  }
  // No module loader: a dynamic import cannot reach the file system.
  auto import = host_.Evaluate(u"import('/etc/passwd')"_qs);
  if (import.ok()) {
    EXPECT_EQ(import->kind(), ScriptValue::Kind::Object);  // a promise that never resolves
  }
}

TEST(ScriptHostLimits, ARunawayCallIsStoppedByTheTimeLimitAndTheHostStaysUsable) {
  ScriptHost host(ScriptLimits{.call_time_limit = 300ms});
  const auto start = Clock::now();
  auto result = host.Evaluate(u"try { while (true) {} } catch (e) {}"_qs);
  const auto elapsed = Clock::now() - start;
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().number, script_errors::kTimeout);
  EXPECT_GE(elapsed, 300ms);
  EXPECT_LT(elapsed, 2s);
  EXPECT_EQ(host.Evaluate(u"1 + 1"_qs)->number(), 2);
}

TEST(ScriptHostLimits, TheDefaultTimeLimitIsTenSeconds) {
  EXPECT_EQ(ScriptLimits{}.call_time_limit, 10s);
}

TEST(ScriptHostLimits, ACancelFromAnotherThreadStopsTheCallAtOnce) {
  ScriptHost host;
  std::atomic<Clock::time_point> cancelled_at{};
  std::thread canceller([&] {
    std::this_thread::sleep_for(200ms);
    cancelled_at = Clock::now();
    host.CancelRunningCall();
  });
  auto result = host.Evaluate(u"while (true) {}"_qs);
  const auto stopped_at = Clock::now();
  canceller.join();
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().number, script_errors::kCancelled);
  EXPECT_LT(stopped_at - cancelled_at.load(), 50ms);
  EXPECT_EQ(host.Evaluate(u"2 * 3"_qs)->number(), 6);
  // A cancel between calls does not touch the next call.
  host.CancelRunningCall();
  EXPECT_EQ(host.Evaluate(u"2 * 4"_qs)->number(), 8);
}

TEST(ScriptHostLimits, TheBusyHookRunsDuringALongCallAndCanCancelIt) {
  ScriptHost host;
  int hook_calls = 0;
  int busy_errors = 0;
  host.SetBusyHook([&] {
    ++hook_calls;
    auto nested = host.Evaluate(u"1"_qs);
    if (!nested.ok() && nested.error().number == script_errors::kBusy) ++busy_errors;
    if (hook_calls == 6) host.CancelRunningCall();
  });
  const auto start = Clock::now();
  auto result = host.Evaluate(u"while (true) {}"_qs);
  const auto elapsed = Clock::now() - start;
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().number, script_errors::kCancelled);
  EXPECT_EQ(hook_calls, 6);
  EXPECT_EQ(busy_errors, 6);
  // Six calls about 50 ms apart, the first after about 50 ms.
  EXPECT_GT(elapsed, 200ms);
  EXPECT_LT(elapsed, 1500ms);
  // A short call never reaches the hook.
  hook_calls = 0;
  EXPECT_TRUE(host.Evaluate(u"for (var i = 0; i < 1000; i++) {}"_qs).ok());
  EXPECT_EQ(hook_calls, 0);
}

TEST(ScriptHostLimits, AMemoryBombFailsWithinSecondsAndLeavesTheHostUsable) {
  ScriptHost host;
  const auto start = Clock::now();
  auto result = host.Evaluate(u"a = []; while (1) a.push(1)"_qs);
  const auto elapsed = Clock::now() - start;
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().number, script_errors::kOutOfMemory)
      << result.error().description.toStdString();
  EXPECT_LT(elapsed, 8s);
  EXPECT_TRUE(host.Evaluate(u"a = null"_qs).ok());
  EXPECT_EQ(host.Evaluate(u"[1, 2, 3].length"_qs)->number(), 3);
}

// ---- A fresh global scope ----------------------------------------------------------------------

TEST_F(ScriptHostTest, AFreshGlobalScopeForgetsEverythingAScriptDid) {
  ASSERT_TRUE(host_.LoadCode(PreludeText()).ok());
  Eval(
      u"mine = 5; let lx = 1; function sgn(n){ return 0.25 }\r\n"
      "Object.defineProperty(globalThis, 'vo', {get: function(){ return 0.25 }, set: "
      "function(v){}})\r\n"
      "Math.sin = null; Object.freeze(globalThis)"_qs);
  EXPECT_EQ(Number(u"sgn(7)"_qs), 0.25);
  ASSERT_GT(host_.CompileCacheSize(), 0u);

  ASSERT_TRUE(host_.ResetGlobalScope().ok());
  EXPECT_EQ(host_.CompileCacheSize(), 0u);
  EXPECT_EQ(Eval(u"typeof mine + typeof lx + typeof sgn"_qs).text(),
            u"undefinedundefinedundefined"_qs);
  EXPECT_EQ(Number(u"Math.sin(0)"_qs), 0);
  ASSERT_TRUE(host_.LoadCode(PreludeText()).ok());
  EXPECT_EQ(Number(u"vi = 0.5; vo = sgn(vi); vo"_qs), 1);
  EXPECT_EQ(*host_.GetNumber(u"vo"_qs), 1);
  ASSERT_TRUE(host_.SetNumber(u"vo"_qs, 3).ok());
  EXPECT_EQ(Number(u"vo"_qs), 3);
  // Within one scope globals persist, as before.
  Eval(u"kept = 9"_qs);
  EXPECT_EQ(Number(u"kept"_qs), 9);
}

TEST_F(ScriptHostTest, AFreshScopeEndsTheRunInProgress) {
  ASSERT_TRUE(host_.BeginRun({u"vo"_qs}, u"vo = 1"_qs, QString()).ok());
  ASSERT_TRUE(host_.ResetGlobalScope().ok());
  auto restored = host_.RestoreRunState(0.001, 0, nullptr);
  ASSERT_FALSE(restored.ok());
  EXPECT_EQ(restored.error().number, script_errors::kNoRun);
}

TEST_F(ScriptHostTest, FunctionsDoNotHandOutTheirCallers) {
  // The ECMAScript %ThrowTypeError% accessors, whatever the caller.
  auto caller =
      host_.Evaluate(u"function f(){ return f.caller } (function g(){ return f() })()"_qs);
  ASSERT_FALSE(caller.ok());
  EXPECT_EQ(caller.error().number, script_errors::kTypeError);
  auto args = host_.Evaluate(u"function h(){ return h.arguments } h()"_qs);
  ASSERT_FALSE(args.ok());
  EXPECT_EQ(args.error().number, script_errors::kTypeError);
  EXPECT_EQ(
      Eval(u"typeof Object.getOwnPropertyDescriptor(Function.prototype, 'caller').get"_qs).text(),
      u"function"_qs);
}

// ---- Time-step calls without a run ------------------------------------------------------------

TEST_F(ScriptHostTest, StepCallsWithNoRunFailWithAnError) {
  for (int phase = 0; phase < 2; ++phase) {
    SCOPED_TRACE(phase == 0 ? "before any run" : "after EndRun");
    if (phase == 1) {
      ASSERT_TRUE(host_.BeginRun({u"dt"_qs, u"vi"_qs, u"vo"_qs}, u"vo = vi"_qs, u"vi = 1"_qs).ok());
      host_.EndRun();
    }
    host_.ResetRunState();
    host_.SaveRunState();
    const double vi = 0.5;
    auto restored = host_.RestoreRunState(0.001, 0.001, &vi);
    ASSERT_FALSE(restored.ok());
    EXPECT_EQ(restored.error().number, script_errors::kNoRun);
    auto input = host_.RunInputStatement();
    ASSERT_FALSE(input.ok());
    EXPECT_EQ(input.error().number, script_errors::kNoRun);
    auto functions = host_.RunFunctions();
    ASSERT_FALSE(functions.ok());
    EXPECT_EQ(functions.error().number, script_errors::kNoRun);
    auto output = host_.ReadOutput();
    ASSERT_FALSE(output.ok());
    EXPECT_EQ(output.error().number, script_errors::kNoRun);
    host_.EndRun();
  }
  EXPECT_EQ(Number(u"1 + 1"_qs), 2);
}

TEST_F(ScriptHostTest, PromiseJobsNeverRun) {
  Eval(
      u"jobs = 0; Promise.resolve().then(function(){ jobs++ });\r\n"
      "(async function(){ await 0; jobs++ })()"_qs);
  EXPECT_EQ(Number(u"jobs"_qs), 0);
}

TEST(ScriptHostLimits, PromiseJobsLeaveNothingBehind) {
  ScriptHost host;
  const QString queue =
      u"for (var i = 0; i < 50000; i++)\r\n"
      "  Promise.resolve().then(function f(){ jobs++; Promise.resolve().then(f) })"_qs;
  ASSERT_TRUE(host.Evaluate(u"jobs = 0"_qs).ok());
  ASSERT_TRUE(host.Evaluate(queue).ok());
  const std::size_t before = ResidentMiB();
  // Half a million jobs queued by ten calls: kept, they would take over a hundred megabytes.
  for (int call = 0; call < 10; ++call) ASSERT_TRUE(host.Evaluate(queue).ok());
  EXPECT_LT(ResidentMiB(), before + 64);
  EXPECT_EQ(host.Evaluate(u"jobs"_qs)->number(), 0);
}

// ---- Stopped calls -----------------------------------------------------------------------------

TEST(ScriptHostLimits, EachStopHasItsOwnErrorAndDescription) {
  std::vector<ScriptError> stops;
  {
    ScriptHost host(ScriptLimits{.call_time_limit = 300ms});
    auto timeout = host.Evaluate(u"while (true) {}"_qs);
    ASSERT_FALSE(timeout.ok());
    EXPECT_EQ(timeout.error().number, script_errors::kTimeout);
    EXPECT_EQ(timeout.error().description,
              u"Script interrotto: la chiamata è durata più di 0,3 s"_qs);
    stops.push_back(timeout.error());
    EXPECT_EQ(host.Evaluate(u"6 * 7"_qs)->number(), 42);
  }
  // A time limit that a loaded machine cannot meet first.
  ScriptHost host(ScriptLimits{.call_time_limit = 5s, .memory_limit = std::size_t{128} << 20});
  auto memory = host.Evaluate(u"big = []; while (true) big.push(new Float64Array(1e6).fill(1))"_qs);
  ASSERT_FALSE(memory.ok());
  EXPECT_EQ(memory.error().number, script_errors::kOutOfMemory);
  EXPECT_EQ(memory.error().description,
            u"Script interrotto: gli script occupano più di 128 MiB di memoria"_qs);
  stops.push_back(memory.error());

  std::thread canceller([&] {
    std::this_thread::sleep_for(100ms);
    host.CancelRunningCall();
  });
  auto cancelled = host.Evaluate(u"big = null; while (true) {}"_qs);
  canceller.join();
  ASSERT_FALSE(cancelled.ok());
  EXPECT_EQ(cancelled.error().number, script_errors::kCancelled);
  EXPECT_EQ(cancelled.error().description, u"Script interrotto su richiesta"_qs);
  stops.push_back(cancelled.error());

  for (const ScriptError& error : stops) EXPECT_TRUE(script_errors::StopsTheRun(error.number));
  EXPECT_EQ(host.Evaluate(u"6 * 7"_qs)->number(), 42);
}

TEST(ScriptHostLimits, WhatScriptsKeepAcrossCallsIsBounded) {
  // Each call is short and small; together they would grow without end.
  constexpr std::size_t kLimitMiB = 160;
  ScriptHost host(ScriptLimits{.memory_limit = kLimitMiB << 20});
  const std::size_t before = ResidentMiB();
  ASSERT_TRUE(host.Evaluate(u"keep = []"_qs).ok());
  const QString push = u"keep.push(new Uint8Array(3e7).fill(1)); keep.length"_qs;
  std::optional<ScriptError> failure;
  int calls = 0;
  for (; calls < 100 && !failure; ++calls) {
    auto result = host.Evaluate(push);
    if (!result) failure = result.error();
  }
  ASSERT_TRUE(failure.has_value()) << "100 calls of 30 MB each went through";
  EXPECT_EQ(failure->number, script_errors::kOutOfMemory) << failure->description.toStdString();
  EXPECT_LT(calls, 20);
  // Right after the stop, a call that adds nothing runs.
  auto held = host.Evaluate(u"keep.length"_qs);
  ASSERT_TRUE(held.ok()) << held.error().description.toStdString();
  EXPECT_GE(held->number(), calls - 2);
  // Letting go of it makes room again.
  ASSERT_TRUE(host.Evaluate(u"keep = null"_qs).ok());
  EXPECT_EQ(host.Evaluate(u"1 + 1"_qs)->number(), 2);
  auto again = host.Evaluate(u"keep = [new Uint8Array(3e7).fill(1)]; keep.length"_qs);
  ASSERT_TRUE(again.ok()) << again.error().description.toStdString();
  EXPECT_EQ(again->number(), 1);
  // However many more calls try, what is held stays bounded (at most twice the limit, plus what
  // one call adds before the guard looks), and they keep being stopped.
  int stopped = 0;
  for (int i = 0; i < 20; ++i) {
    auto more = host.Evaluate(push);
    if (!more) {
      EXPECT_EQ(more.error().number, script_errors::kOutOfMemory);
      ++stopped;
    }
  }
  EXPECT_GE(stopped, 10);
  EXPECT_LT(ResidentMiB(), before + 2 * kLimitMiB + 256);
}

TEST(ScriptHostLimits, ABusyHookThatThrowsStopsTheCallOnly) {
  ScriptHost host;
  host.SetBusyHook([] { throw std::runtime_error("window gone"); });
  auto result = host.Evaluate(u"while (true) {}"_qs);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().number, script_errors::kCancelled);
  host.SetBusyHook({});
  EXPECT_EQ(host.Evaluate(u"2 + 2"_qs)->number(), 4);
}

}  // namespace
}  // namespace quorvel
