// Attacks that try to reach the host's own functions and buffers from a filter: through `caller`,
// accessors on the names the host reads and writes, Proxies, conversions and frozen globals.
// Every attack runs twice in a row on one host (the second run replaces the first one's prepared
// calls), and each test ends with the host still usable. What must hold, each time: no invalid
// memory access (these tests run under AddressSanitizer in CI), no function or buffer of the host
// in the script's hands, the run ends, and the host still answers.
#include <gtest/gtest.h>

#include "attack_support.h"

namespace quorvel {
namespace {

// A getter on a state variable is called by the host's state save; `g.caller` would hand the
// calling function to the script, which keeps it in `keep.held` and calls it at every step:
// after the first run that function's buffers belong to a run that is over. Every run starts
// from rest (its state variables 0 before the parameters run), so what the attack keeps across
// runs lives in `keep`, a global that no text assigns with "=" and so is not state.
const QString kCallerParameters = QStringLiteral(
    "if (!('keep' in globalThis)) Object.defineProperty(globalThis, 'keep', {value: {held: "
    "[]}})\r\n"
    "keep.grab = function (g) { try { var c = g.caller; if (c && keep.held.length < 1) "
    "keep.held.push(c) } catch (e) {} }\r\n"
    "Object.defineProperty(globalThis, 'x1', {configurable: true,\r\n"
    "  get: function g() { keep.grab(g); return 0 },\r\n"
    "  set: function s(v) { keep.grab(s) }})");
const QString kCallerFunctions = QStringLiteral(
    "x1 = 0\r\n"
    "for (var k = 0; k < keep.held.length; k++) {\r\n"
    "  try { keep.held[k](15) } catch (e) {}\r\n"
    "  try { keep.held[k](8) } catch (e) {}\r\n"
    "}\r\n"
    "vo = vi");

double HeldFunctions(ScriptHost& host) {
  auto held =
      host.Evaluate(u"keep.held.filter(function (f) { return typeof f === 'function' }).length"_qs);
  EXPECT_TRUE(held.ok());
  return held.ok() ? held->number() : -1;
}

TEST(AttackReach, CallerOfAStateGetterGivesNoHostFunctionAcrossTwoSweeps) {
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const AttackOutcome out = AttackSweep(host, kCallerParameters, kCallerFunctions);
    ASSERT_TRUE(out.report.has_value());
    EXPECT_FALSE(out.ended_by_deadline);
    ASSERT_EQ(out.sweep.count, 2);
    EXPECT_EQ(out.sweep.points[0].amplitude, 1.0);
    EXPECT_EQ(out.sweep.points[1].amplitude, 1.0);
    EXPECT_EQ(HeldFunctions(host), 0);
  }
  // The window's case: the oscilloscope runs right after the preview sweep, on the same host.
  const AttackOutcome scope = AttackScope(host, kCallerParameters, kCallerFunctions);
  ASSERT_TRUE(scope.report.has_value());
  EXPECT_GT(scope.trace.count, 0);
  EXPECT_EQ(HeldFunctions(host), 0);
  ExpectHostUsable(host);
}

}  // namespace
}  // namespace quorvel
