// Attacks that try to exhaust time or memory from a filter: endless loops in either text and in
// the oscilloscope's input, deep recursion, huge strings and typed arrays, backtracking regular
// expressions, promise jobs that queue themselves, getters that never return. Each runs as two
// sweeps in a row on one host with a 300 ms call limit and a small memory limit, and the scope
// ones also as an oscilloscope run. What must hold: no invalid memory access, the error that
// stopped the runaway is counted with its own number (time limit, memory), every run ends
// within seconds, the process does not grow past the limit by more than a margin, and the host
// is usable afterwards.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "attack_support.h"

namespace quorvel {
namespace {

constexpr std::size_t kMemoryLimit = std::size_t{192} << 20;

ScriptLimits ExhaustionLimits(int expected_error) {
  ScriptLimits limits = AttackLimits();
  limits.memory_limit = kMemoryLimit;
  // A memory bomb must meet the memory limit, not the time limit, even on a loaded machine
  // that fills memory slowly.
  if (expected_error == script_errors::kOutOfMemory) limits.call_time_limit = 5s;
  return limits;
}

std::size_t ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long size = 0;
  unsigned long resident = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%lu %lu", &size, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// A global the texts never assign with "=", so that runs from rest leave it alone.
const QString kKeep = QStringLiteral(
    "if (!('keep' in globalThis)) Object.defineProperty(globalThis, 'keep', {value: []})");

struct ExhaustionAttack {
  const char* name;
  QString parameters;
  QString functions;
  QString waveform;         // empty: no oscilloscope run
  int expected_error;       // counted in every run it reaches; 0: the attack must cost no error
  bool host_stops_call;     // the error is the host stopping a call: the run must end at once
  bool input_only = false;  // only the oscilloscope's input carries the attack
};

void PrintTo(const ExhaustionAttack& a, std::ostream* os) { *os << a.name; }

const QString kPlain = QStringLiteral("vo = vi");

const ExhaustionAttack kExhaustionAttacks[] = {
    {"endless_loop_in_functions", QString(), u"while (true) {}"_qs, u"sinusoidale"_qs,
     script_errors::kTimeout, true},
    {"endless_loop_caught_in_functions", QString(),
     u"for (;;) { try { while (true) {} } catch (e) {} }"_qs, QString(), script_errors::kTimeout,
     true},
    {"endless_loop_in_parameters", u"while (true) {}"_qs, kPlain, u"sinusoidale"_qs,
     script_errors::kTimeout, true},
    {"endless_loop_in_input", QString(), kPlain, u"vi = (function () { for (;;) {} })()"_qs,
     script_errors::kTimeout, true, true},
    {"getter_that_never_returns",
     u"Object.defineProperty(globalThis, 'x1', {configurable: true,\r\n"
     "  get: function () { for (;;) {} }, set: function (v) {}})"_qs,
     u"x1 = 0; vo = vi"_qs, u"sinusoidale"_qs, script_errors::kTimeout, true},
    {"regular_expression_backtracking", QString(),
     u"vo = /^(a+)+b$/.test('a'.repeat(40)) ? 1 : vi"_qs, QString(), script_errors::kTimeout, true},
    {"typed_arrays_kept_at_every_step", kKeep,
     u"keep.push(new Uint8Array(3e7).fill(1)); vo = vi"_qs, QString(), script_errors::kOutOfMemory,
     true},
    {"one_huge_typed_array", QString(), u"big = new Float64Array(2 ** 27).fill(1); vo = vi"_qs,
     QString(), script_errors::kOutOfMemory, true},
    // Ropes share their halves: the length limit comes long before the memory does.
    {"string_doubling", QString(), u"s1 = 'x'; while (true) s1 = s1 + s1"_qs, QString(),
     script_errors::kRuntime, false},
    {"huge_flat_strings_kept", kKeep,
     // Flattening makes each one a plain 16 MB string.
     u"keep.push((function () { var s = 'x'.repeat(2 ** 24) + Math.random()\r\n"
     "  s.indexOf('q'); return s })()); vo = vi"_qs,
     QString(), script_errors::kOutOfMemory, true},
    {"promise_jobs_that_queue_themselves", u"jobs = 0"_qs,
     u"Promise.resolve().then(function f() { jobs++; Promise.resolve().then(f) }); vo = vi"_qs,
     u"sinusoidale"_qs, 0, false},
    // Every 50th step only: each one fills the engine's stack, which takes milliseconds.
    {"deep_recursion", u"steps = 0"_qs,
     u"function down(n) { return down(n + 1) }\r\n"
     "steps = steps + 1; vo = (steps % 50 == 0) ? down(0) : vi"_qs,
     u"sinusoidale"_qs, script_errors::kRuntime, false},
};

class AttackExhaustion : public testing::TestWithParam<ExhaustionAttack> {};

TEST_P(AttackExhaustion, TheRunawayIsStoppedCountedAndEveryRunEnds) {
  const ExhaustionAttack& attack = GetParam();
  ScriptHost host(ExhaustionLimits(attack.expected_error));
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  const std::size_t before = ResidentBytes();
  std::vector<AttackOutcome> runs;
  runs.push_back(AttackSweep(host, attack.parameters, attack.functions));
  runs.push_back(AttackSweep(host, attack.parameters, attack.functions));
  if (!attack.waveform.isEmpty()) {
    runs.push_back(AttackScope(host, attack.parameters, attack.functions, attack.waveform));
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    const AttackOutcome& out = runs[i];
    ASSERT_TRUE(out.report.has_value());
    EXPECT_FALSE(out.ended_by_deadline);
    const bool reached = !(attack.input_only && i < 2);
    if (attack.expected_error == 0 || !reached) {
      EXPECT_TRUE(out.errors.empty());
      EXPECT_EQ(out.counted, 0);
      ASSERT_EQ(out.sweep.count, i < 2 ? 2 : 0);
      for (int k = 0; k < out.sweep.count; ++k) {
        EXPECT_EQ(out.sweep.points[static_cast<std::size_t>(k)].amplitude, 1.0);
      }
    } else {
      EXPECT_TRUE(out.Has(attack.expected_error)) << "errors: " << out.errors.size() << ", first "
                                                  << (out.errors.empty() ? 0 : out.errors[0]);
      EXPECT_GT(out.counted, 0);
    }
    if (attack.host_stops_call) {
      // One stopped call, then the run fails at once: a few time limits at most, not one per
      // attempt.
      EXPECT_LT(out.elapsed, 5s);
    }
    // The memory limit and what may pass it before the guard looks, plus the engine's own.
    EXPECT_LT(ResidentBytes(), before + kMemoryLimit + (std::size_t{384} << 20));
  }
  if (attack.expected_error == 0 && !attack.input_only) {
    auto jobs = host.Evaluate(u"jobs"_qs);
    ASSERT_TRUE(jobs.ok());
    EXPECT_EQ(jobs->number(), 0);
  }
  ExpectHostUsable(host);
}

INSTANTIATE_TEST_SUITE_P(Families, AttackExhaustion, testing::ValuesIn(kExhaustionAttacks),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace quorvel
