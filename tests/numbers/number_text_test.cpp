#include "numbers/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace quorvel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTrueMin = std::numeric_limits<double>::denorm_min();

std::string Describe(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", x);
  return buf;
}

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The reference for RoundTo15Digits: the 15-significant-digit text printf writes, read back by
// strtod. The test process runs in the "C" locale (checked below), so "." is the separator.
double RoundTo15DigitsByPrintf(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", x);
  return std::strtod(buf, nullptr);
}

struct TextCase {
  double x;
  const char* text;
};

TEST(NumberTextTest, WritesGeneralNumberTextWithDecimalComma) {
  const TextCase cases[] = {
      {1.5, "1,5"},
      {1.50, "1,5"},
      {100000, "100000"},
      {0.1 + 0.2, "0,3"},
      {0.001, "0,001"},
      {0.1, "0,1"},
      {-1.25, "-1,25"},
      {12.5, "12,5"},
      {1.0 / 3.0, "0,333333333333333"},
      {2.0 / 3.0, "0,666666666666667"},
      {-2.0 / 3.0, "-0,666666666666667"},
      {0.0001, "0,0001"},  // exponent -4: still fixed
      {0.00012345, "0,00012345"},
      {0.00001, "1E-05"},                    // exponent -5: exponent form
      {0.0000999999999999999999, "0,0001"},  // the exponent of the rounded value counts
      {1.5e-7, "1,5E-07"},
      {-1.5e-7, "-1,5E-07"},
      {1e-300, "1E-300"},
      {1e14, "100000000000000"},
      {999999999999999, "999999999999999"},  // exponent 14: still fixed
      {123456789012345.6, "123456789012346"},
      {999999999999999.9, "1E+15"},  // rounds up into exponent 15
      {1e15, "1E+15"},
      {1.5e15, "1,5E+15"},
      {9999999999999995.0, "1E+16"},
      {-2.5e20, "-2,5E+20"},
      {1.23456789012345678e25, "1,23456789012346E+25"},
      {kMax, "1,79769313486232E+308"},
      {kTrueMin, "4,94065645841247E-324"},
      {0.0, "0"},
      {-0.0, "0"},
      {kInf, "1,#INF"},
      {-kInf, "-1,#INF"},
      {kNaN, "-1,#IND"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(Describe(c.x));
    EXPECT_EQ(NumberText(c.x), QString::fromLatin1(c.text));
  }
}

TEST(NumberTextTest, StatementNumberUsesDecimalPoint) {
  const TextCase cases[] = {
      {0.0001, "0.0001"}, {1.5e-7, "1.5E-07"}, {-2.5, "-2.5"},   {1e15, "1E+15"},
      {100000, "100000"}, {0.0, "0"},          {kInf, "1.#INF"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(Describe(c.x));
    EXPECT_EQ(StatementNumber(c.x), QString::fromLatin1(c.text));
  }
}

TEST(NumberTextTest, TextsReadBackAsTheRoundedValue) {
  ASSERT_STREQ(std::localeconv()->decimal_point, ".");
  std::mt19937_64 rng(20240611);
  std::uniform_int_distribution<int> exponent(-320, 308);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  for (int i = 0; i < 100000; ++i) {
    double x = mantissa(rng) * std::pow(10.0, exponent(rng));
    if (i % 2 == 1) x = -x;
    if (!std::isfinite(x) || x == 0) continue;
    SCOPED_TRACE(Describe(x));
    const QString statement = StatementNumber(x);
    const QByteArray latin1 = statement.toLatin1();
    ASSERT_TRUE(SameBits(std::strtod(latin1.constData(), nullptr), RoundTo15Digits(x)))
        << latin1.constData();
    // The displayed text goes back through the user's parser to the same value.
    const std::optional<double> parsed = ParseNumber(NumberText(x));
    ASSERT_TRUE(parsed.has_value()) << latin1.constData();
    ASSERT_TRUE(SameBits(*parsed, RoundTo15Digits(x))) << latin1.constData();
    // At most 15 significant digits, and no trailing zero after the separator.
    const qsizetype exponent_at = statement.indexOf(u'E');
    const qsizetype mantissa_end = exponent_at < 0 ? statement.size() : exponent_at;
    int significant_digits = 0;
    for (qsizetype k = 0; k < mantissa_end; ++k) {
      const QChar c = statement[k];
      if (c.isDigit() && (significant_digits > 0 || c != u'0')) ++significant_digits;
    }
    ASSERT_LE(significant_digits, 15) << latin1.constData();
    if (statement.indexOf(u'.') >= 0) {
      ASSERT_NE(statement[mantissa_end - 1], u'0') << latin1.constData();
    }
  }
}

TEST(RoundTo15DigitsTest, SpecialValues) {
  EXPECT_TRUE(SameBits(RoundTo15Digits(0.0), 0.0));
  EXPECT_TRUE(SameBits(RoundTo15Digits(-0.0), 0.0));  // "0" reads back as +0
  EXPECT_EQ(RoundTo15Digits(0.1 + 0.2), 0.3);
  EXPECT_EQ(RoundTo15Digits(kInf), kInf);
  EXPECT_EQ(RoundTo15Digits(-kInf), -kInf);
  EXPECT_TRUE(std::isnan(RoundTo15Digits(kNaN)));
  // 1,79769313486232E+308 is beyond the largest double: it reads back as an infinity.
  EXPECT_EQ(RoundTo15Digits(kMax), kInf);
  EXPECT_EQ(RoundTo15Digits(-kMax), -kInf);
  EXPECT_EQ(RoundTo15Digits(kTrueMin), kTrueMin);
  // Exact binary ties go to the even 15th digit.
  EXPECT_EQ(RoundTo15Digits(123456789012345.5), 123456789012346.0);
  EXPECT_EQ(RoundTo15Digits(123456789012344.5), 123456789012344.0);
  EXPECT_EQ(RoundTo15Digits(1234567890123455.0), 1234567890123460.0);
  EXPECT_EQ(RoundTo15Digits(1234567890123445.0), 1234567890123440.0);
  EXPECT_EQ(RoundTo15Digits(-123456789012345.5), -123456789012346.0);
}

// Compares RoundTo15Digits with the printf/strtod text path, bit for bit, on a list of values.
void ExpectMatchesTextPath(const std::vector<double>& values, const char* family) {
  SCOPED_TRACE(family);
  std::size_t mismatches = 0;
  for (double x : values) {
    const double expected = RoundTo15DigitsByPrintf(x);
    const double actual = RoundTo15Digits(x);
    if (!SameBits(actual, expected)) {
      if (++mismatches <= 5) {
        ADD_FAILURE() << "x=" << Describe(x) << " got " << Describe(actual) << " expected "
                      << Describe(expected);
      }
    }
  }
  EXPECT_EQ(mismatches, 0u) << "of " << values.size();
}

class RoundTo15DigitsProofTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_STREQ(std::localeconv()->decimal_point, "."); }
  std::mt19937_64 rng_{0x5eed};
};

TEST_F(RoundTo15DigitsProofTest, RandomBitPatterns) {
  std::vector<double> values;
  while (values.size() < 1'000'000) {
    const double x = std::bit_cast<double>(rng_());
    if (std::isfinite(x) && x != 0) values.push_back(x);
  }
  ExpectMatchesTextPath(values, "random bits");
}

TEST_F(RoundTo15DigitsProofTest, RandomValuesOverManyMagnitudes) {
  // Mostly the magnitudes a simulation sees, where the fast path works.
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 40);
  std::vector<double> values;
  for (int i = 0; i < 1'000'000; ++i) {
    const double x = mantissa(rng_) * std::pow(10.0, exponent(rng_));
    values.push_back(i % 2 == 0 ? x : -x);
  }
  ExpectMatchesTextPath(values, "many magnitudes");
}

TEST_F(RoundTo15DigitsProofTest, ValuesWithFewDigits) {
  std::uniform_int_distribution<std::int64_t> whole(-1'000'000, 1'000'000);
  std::uniform_int_distribution<int> power(0, 12);
  std::vector<double> values;
  for (int i = 0; i < 300'000; ++i) {
    const auto k = static_cast<double>(whole(rng_));
    const int j = power(rng_);
    if (k == 0) continue;
    values.push_back(k / 1000.0);
    values.push_back(k / std::pow(10.0, j));
    values.push_back(k * std::pow(10.0, j));
  }
  ExpectMatchesTextPath(values, "few digits");
}

TEST_F(RoundTo15DigitsProofTest, ValuesNearHalfwayBoundaries) {
  // The doubles nearest to d1...d15 5 times a power of ten, and their neighbours: the values
  // whose 15-digit rounding is hardest to decide.
  std::uniform_int_distribution<std::int64_t> digits15(100'000'000'000'000, 999'999'999'999'999);
  std::uniform_int_distribution<int> exponent(-40, 40);
  std::vector<double> values;
  for (int i = 0; i < 300'000; ++i) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld5e%d", static_cast<long long>(digits15(rng_)),
                  exponent(rng_));
    const double x = std::strtod(text, nullptr);
    values.push_back(x);
    values.push_back(std::nextafter(x, 0.0));
    values.push_back(std::nextafter(x, kInf));
  }
  ExpectMatchesTextPath(values, "near halfway");
}

TEST_F(RoundTo15DigitsProofTest, ExactBinaryTies) {
  // Values exactly halfway between two 15-digit decimals: n + 0.5 for 15-digit n, and 16-digit
  // integers ending in 5 (below 2^53, so exact).
  std::uniform_int_distribution<std::int64_t> digits15(100'000'000'000'000, 999'999'999'999'999);
  std::uniform_int_distribution<std::int64_t> tens(100'000'000'000'000, 900'719'925'474'098);
  std::vector<double> values;
  for (int i = 0; i < 100'000; ++i) {
    const double tie_fraction = static_cast<double>(digits15(rng_)) + 0.5;
    const double tie_integer = static_cast<double>(tens(rng_) * 10 + 5);
    values.push_back(tie_fraction);
    values.push_back(-tie_fraction);
    values.push_back(tie_integer);
    values.push_back(-tie_integer);
  }
  ExpectMatchesTextPath(values, "exact ties");
}

struct ParseCase {
  const char16_t* text;
  double value;
};

TEST(ParseNumberTest, AcceptsPlainNumbers) {
  const ParseCase cases[] = {
      {u"1.5", 1.5},
      {u"1,5", 1.5},
      {u"42", 42},
      {u"  42  ", 42},
      {u"\t-3\t", -3},
      {u"+7", 7},
      {u"-0,001", -0.001},
      {u".5", 0.5},
      {u",5", 0.5},
      {u"5.", 5},
      {u"5,25", 5.25},
      {u"0,1", 0.1},
      {u"1e3", 1000},
      {u"1E-3", 0.001},
      {u"2,5e+2", 250},
      {u"5.e1", 50},
      {u"-.5E1", -5},
      {u"007", 7},
      {u"123456789012345678901234567890", 1.2345678901234568e29},
      {u"9007199254740993", 9007199254740992.0},  // halfway: to even
      {u"1e-400", 0.0},                           // too small: zero
      {u"1,79769313486231e308", 1.79769313486231e308},
  };
  for (const ParseCase& c : cases) {
    const QString text = QString::fromUtf16(c.text);
    SCOPED_TRACE(text.toStdString());
    const std::optional<double> parsed = ParseNumber(text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, c.value);
  }
}

TEST(ParseNumberTest, RejectsEverythingElse) {
  const char16_t* cases[] = {
      u"",       u"   ",    u"abc",  u"1.000,5",  u"1,000.5", u"1 000", u"1.5.3",
      u"1,,5",   u"1.,5",   u"0x10", u"Infinity", u"inf",     u"NaN",   u"1e",
      u"e5",     u".",      u",",    u"-",        u"+-1",     u"--1",   u"1e5.5",
      u"5 e3",   u"- 5",    u"1e+",  u"1e400",    u"-1e400",  u"1_000", u"1,5 V",
      u"\u0661", u"\uff11", u"1\n",  u"+",        u"1e-",     u"12abc", u"\u00a01",
  };
  for (const char16_t* c : cases) {
    const QString text = QString::fromUtf16(c);
    SCOPED_TRACE(text.toStdString());
    EXPECT_FALSE(ParseNumber(text).has_value());
  }
}

struct RoundCase {
  double x;
  int decimals;
  double expected;
};

TEST(RoundTest, HalvesGoToEvenOnTheDecimalValue) {
  const RoundCase cases[] = {
      {0.125, 2, 0.12},
      {2.5, 0, 2},
      {3.5, 0, 4},
      {2.675, 2, 2.68},  // the double is just below 2.675, its 15-digit form is the half
      {-2.5, 0, -2},
      {-3.5, 0, -4},
      {0.5, 0, 0},
      {1.5, 0, 2},
      {0.015, 2, 0.02},
      {0.025, 2, 0.02},
      {9.995, 2, 10},
      {999.5, 0, 1000},
      {999.96, 1, 1000},
      {0.1 + 0.2, 5, 0.3},
      {0.1 + 0.2, std::numeric_limits<int>::max(), 0.3},
      {1234.5678, 2, 1234.57},
      {123.456, 0, 123},
      {0.0051, 2, 0.01},
      {0.005, 2, 0},  // half of the last place, even neighbour 0
      {0.0050001, 2, 0.01},
      {0.0004, 2, 0},
      {0.00096, 3, 0.001},
      {1e20, 2, 1e20},
      {1e-20, 30, 1e-20},
      {1e-20, 3, 0},
      {4.7000000000000011, 2, 4.7},
      {-0.0047, 5, -0.0047},
  };
  for (const RoundCase& c : cases) {
    SCOPED_TRACE(Describe(c.x) + " to " + std::to_string(c.decimals));
    EXPECT_EQ(Round(c.x, c.decimals), c.expected);
  }
}

TEST(RoundTest, SpecialValues) {
  EXPECT_TRUE(SameBits(Round(-0.0004, 2), 0.0));
  EXPECT_TRUE(SameBits(Round(0.0, 3), 0.0));
  EXPECT_EQ(Round(kInf, 2), kInf);
  EXPECT_EQ(Round(-kInf, 0), -kInf);
  EXPECT_TRUE(std::isnan(Round(kNaN, 1)));
  EXPECT_EQ(Round(kMax, 0), kInf);  // the 15-digit form is beyond the largest double
}

}  // namespace
}  // namespace quorvel
