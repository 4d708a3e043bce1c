#include "numbers/eng_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace quorvel {
namespace {

struct EngCase {
  double x;
  int digits;
  const char* unit;
  const char* text;
};

TEST(FormatEngTest, ScalesRoundsAndAddsPrefixLetter) {
  const EngCase cases[] = {
      {1500, 1, "Hz", "1,5 KHz"},
      {0.0047, -3, "s", "4,7 ms"},
      {123456, -3, "Hz", "123 KHz"},
      {12.345, -3, "s", "12,3 s"},
      {0.5, -3, "V", "500 mV"},
      {4.7e-9, -3, "s", "4,7 ns"},
      {2.2e-12, -3, "s", "2,2 ps"},
      {3e-15, -3, "s", "3 fs"},
      {2.2e-6, -3, "V", "2,2 uV"},
      {4.7e6, -3, "Hz", "4,7 MHz"},
      {1, 1, "Hz", "1 Hz"},  // exactly 1 takes no step
      {-1, 1, "V", "-1 V"},
      {1000, 1, "Hz", "1 KHz"},
      {999.96, 1, "Hz", "1 KHz"},      // the large side rounds before scaling
      {0.99996, 1, "Hz", "1000 mHz"},  // the small side does not
      {999.5, -3, "Hz", "1000 Hz"},    // the integer part is never cut
      {0.9995, -3, "V", "1000 mV"},
      {1.2345, -3, "V", "1,23 V"},
      {0, 1, "V", "0 V"},  // zero takes all steps but gets no letter
      {0, -3, "s", "0 s"},
      {-0.0, -3, "s", "0 s"},
      {5e-20, 1, "s", "0 s"},       // rounds to zero below "f": no letter either
      {5e-16, -3, "s", "0,5 fs"},   // below 1 f stays below 1
      {2e12, 1, "Hz", "2000 GHz"},  // large values stop at "G"
      {1e15, -3, "Hz", "1000000 GHz"},
      {1e30, 1, "Hz", "1E+21 GHz"},
      {-2500, 1, "V", "-2,5 KV"},
      {-0.0047, -3, "s", "-4,7 ms"},
      {1.25, 1, "V", "1,2 V"},  // halves to even
      {1.35, 1, "V", "1,4 V"},
      {1234.5678, 2, "Hz", "1,23 KHz"},
      {1.5, -3, "", "1,5 "},  // an empty unit still leaves the blank
      {1.5, std::numeric_limits<int>::min(), "V", "1,5 V"},
      {1.0 / 3.0, std::numeric_limits<int>::min(), "V", "333,333333333333 mV"},
  };
  for (const EngCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + " " + std::to_string(c.digits) + " " + c.unit);
    EXPECT_EQ(FormatEng(c.x, c.digits, QString::fromLatin1(c.unit)), QString::fromLatin1(c.text));
  }
}

struct ValidateCase {
  const char16_t* value;
  bool must_be_integer;
  double min;
  double max;
  const char* phrase;
};

TEST(ValidateNumberTest, GivesTheFirstFailingPhrase) {
  const ValidateCase cases[] = {
      // The sweep's frequency bounds.
      {u"abc", false, 0.001, 100000, "deve essere un numero"},
      {u"", false, 0.001, 100000, "deve essere un numero"},
      {u"1.000,5", false, 0.001, 100000, "deve essere un numero"},
      {u"1e400", false, 0.001, 100000, "deve essere un numero"},
      {u"0", false, 0.001, 100000, "deve essere maggiore o uguale a 0,001"},
      {u"0,0009", false, 0.001, 100000, "deve essere maggiore o uguale a 0,001"},
      {u"200000", false, 0.001, 100000, "deve essere minore o uguale a 100000"},
      {u"0,001", false, 0.001, 100000, ""},
      {u"100000", false, 0.001, 100000, ""},
      {u" 1,5 ", false, 0.001, 100000, ""},
      {u"1e3", false, 0.001, 100000, ""},
      // "1.5" is one and a half, not fifteen.
      {u"1.5", false, 1, 2, ""},
      {u"15", false, 1, 2, "deve essere minore o uguale a 2"},
      // Integers.
      {u"-2,5", true, -10, 10, "deve essere intero"},
      {u"4", true, -10, 10, ""},
      {u"4,0", true, -10, 10, ""},
      {u"-10", true, -10, 10, ""},
      {u"11,5", true, -10, 10, "deve essere intero"},  // integer test before the bounds
      {u"11", true, -10, 10, "deve essere minore o uguale a 10"},
      {u"-11", true, -10, 10, "deve essere maggiore o uguale a -10"},
      {u"2,5", false, -10.5, 1.25, "deve essere minore o uguale a 1,25"},
      {u"x", true, -10, 10, "deve essere un numero"},
  };
  for (const ValidateCase& c : cases) {
    const QString value = QString::fromUtf16(c.value);
    SCOPED_TRACE(value.toStdString());
    EXPECT_EQ(ValidateNumber(value, c.must_be_integer, c.min, c.max), QString::fromUtf8(c.phrase));
  }
}

TEST(PrefixLetterTest, ExactMultipliersOnly) {
  struct Case {
    double multiplier;
    const char* letter;
  };
  const Case cases[] = {
      {1e-15, "f"}, {1e-12, "p"}, {1e-9, "n"}, {1e-6, "u"}, {1e-3, "m"},
      {1, ""},      {1e3, "K"},   {1e6, "M"},  {1e9, "G"},  {2000, ""},
      {0, ""},      {1e12, ""},   {1e-18, ""}, {-1e3, ""},  {1e-9 * (1 + 1e-15), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.multiplier);
    EXPECT_EQ(PrefixLetter(c.multiplier), QString::fromLatin1(c.letter));
  }
}

TEST(PrefixLetterTest, PowersOfTenAsTheScrollBarsComputeThem) {
  // The frequency-multiplier bars show the letter of 10^(3 * reversed value).
  const char* letters[] = {"f", "p", "n", "u", "m", "", "K", "M", "G"};
  for (int step = -5; step <= 3; ++step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(PrefixLetter(std::pow(10.0, 3 * step)), QString::fromLatin1(letters[step + 5]));
  }
}

TEST(Log10Test, UsesTheFifteenDigitDivisor) {
  ASSERT_TRUE(Log10(10).has_value());
  // ln(10) / 2.30258509299405 is not exactly 1: the divisor is not the double nearest ln 10.
  EXPECT_NE(*Log10(10), 1.0);
  EXPECT_NEAR(*Log10(10), 1.0, 1e-14);
  EXPECT_NEAR(*Log10(1e-3), -3.0, 1e-13);
  EXPECT_EQ(*Log10(1), 0.0);
  EXPECT_EQ(*Log10(std::numeric_limits<double>::infinity()),
            std::numeric_limits<double>::infinity());
}

TEST(Log10Test, RejectsZeroNegativeAndNaN) {
  EXPECT_FALSE(Log10(0).has_value());
  EXPECT_FALSE(Log10(-0.0).has_value());
  EXPECT_FALSE(Log10(-1).has_value());
  EXPECT_FALSE(Log10(-std::numeric_limits<double>::infinity()).has_value());
  EXPECT_FALSE(Log10(std::numeric_limits<double>::quiet_NaN()).has_value());
}

}  // namespace
}  // namespace quorvel
