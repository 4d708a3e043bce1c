// Attacks with values that are not plain numbers where the host reads and writes numbers: NaN,
// infinities, -0, huge and denormal values, texts, objects, symbols and big integers as `vo`,
// and a filter that changes `dt` or `t` itself. Each runs as two sweeps in a row and an
// oscilloscope run on one host. What must hold: no invalid memory access; a value that is not a
// number reaches the run as a counted type error, never as a conversion that runs script code;
// a number is read as it is (what a run does with a non-finite one is the run's part); the
// filter's own `dt` and `t` never steer the run; every run ends; the host stays usable.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "attack_support.h"

namespace quorvel {
namespace {

struct NumberAttack {
  const char* name;
  QString functions;
  bool type_mismatch;  // `vo` does not convert: every read is a counted error
  bool finite;         // the value read is finite
};

void PrintTo(const NumberAttack& a, std::ostream* os) { *os << a.name; }

const NumberAttack kNumberAttacks[] = {
    {"nan", u"vo = NaN"_qs, false, false},
    {"plus_infinity", u"vo = (t > 0.0002) ? 1 / 0 : vi"_qs, false, false},
    {"minus_infinity", u"vo = -Infinity"_qs, false, false},
    {"minus_zero", u"vo = -0"_qs, false, true},
    {"largest_double", u"vo = (vi > 0) ? 1.7976931348623157e308 : -1.7976931348623157e308"_qs,
     false, true},
    {"denormal", u"vo = vi * 5e-324"_qs, false, true},
    {"text_that_is_a_number", u"vo = '1,5'"_qs, false, true},
    {"text", u"vo = 'abc'"_qs, true, true},
    {"object_with_conversions",
     u"vo = {valueOf: function () { while (true) {} }, toString: function () { while (true) {} }}"_qs,
     true, true},
    {"array", u"vo = [vi]"_qs, true, true},
    {"null", u"vo = null"_qs, true, true},
    {"symbol", u"vo = Symbol('vo')"_qs, true, true},
    {"big_integer", u"vo = 10n ** 400n"_qs, true, true},
    {"filter_sets_its_own_dt",
     u"dt = [-1, 0, NaN, 'abc', {}, 1e308][Math.floor(Math.random() * 6)]; vo = vi"_qs, false,
     true},
    {"filter_sets_its_own_t",
     u"t = [NaN, -1e300, 'x', Infinity][Math.floor(Math.random() * 4)]; vo = vi"_qs, false, true},
};

class AttackNumbers : public testing::TestWithParam<NumberAttack> {};

TEST_P(AttackNumbers, ValuesReachTheRunAsNumbersOrCountedErrors) {
  const NumberAttack& attack = GetParam();
  ScriptHost host(AttackLimits());
  ASSERT_TRUE(host.LoadCode(PreludeText()).ok());
  std::vector<AttackOutcome> runs;
  runs.push_back(AttackSweep(host, QString(), attack.functions));
  runs.push_back(AttackSweep(host, QString(), attack.functions));
  runs.push_back(AttackScope(host, QString(), attack.functions));
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    const AttackOutcome& out = runs[i];
    ASSERT_TRUE(out.report.has_value());
    EXPECT_FALSE(out.ended_by_deadline);
    for (int e : out.errors) {
      // No conversion ran script code (it would have hit the time limit).
      EXPECT_NE(e, script_errors::kTimeout);
      EXPECT_EQ(e, script_errors::kTypeMismatch);
    }
    EXPECT_EQ(out.Has(script_errors::kTypeMismatch), attack.type_mismatch);
    if (attack.finite) {
      for (int k = 0; k < out.sweep.count; ++k) {
        EXPECT_TRUE(std::isfinite(out.sweep.points[static_cast<std::size_t>(k)].amplitude)) << k;
      }
    }
  }
  // Bit for bit what the engine holds.
  auto vo = host.GetNumber(u"vo"_qs);
  if (attack.type_mismatch) {
    ASSERT_FALSE(vo.ok());
    EXPECT_EQ(vo.error().number, script_errors::kTypeMismatch);
  } else {
    ASSERT_TRUE(vo.ok()) << vo.error().description.toStdString();
    auto text = host.Evaluate(u"vo"_qs);
    ASSERT_TRUE(text.ok());
    auto converted = ScriptHost::ToDouble(*text);
    ASSERT_TRUE(converted.ok());
    EXPECT_TRUE(std::isnan(*vo) ? std::isnan(*converted) : *vo == *converted);
    EXPECT_EQ(std::signbit(*vo), std::signbit(*converted));
  }
  ExpectHostUsable(host);
}

INSTANTIATE_TEST_SUITE_P(Families, AttackNumbers, testing::ValuesIn(kNumberAttacks),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace quorvel
