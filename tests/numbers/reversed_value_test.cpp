#include "numbers/reversed_value.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace quorvel {
namespace {

constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

// Behaves like QAbstractSlider: setValue clamps into the range.
class FakeBar {
 public:
  FakeBar(int minimum, int maximum, int value)
      : minimum_(minimum), maximum_(maximum), value_(value) {}
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int value() const { return value_; }
  void setValue(int v) {
    ++set_calls_;
    value_ = v < minimum_ ? minimum_ : (v > maximum_ ? maximum_ : v);
  }
  int set_calls() const { return set_calls_; }

 private:
  int minimum_;
  int maximum_;
  int value_;
  int set_calls_ = 0;
};

static_assert(RangeControl<FakeBar>);
static_assert(!RangeControl<int>);

TEST(ReversedValueTest, GetReadsFromTheOtherEnd) {
  struct Case {
    int minimum, maximum, value, reversed;
  };
  const Case cases[] = {
      {1, 100, 1, 100},
      {1, 100, 100, 1},
      {1, 100, 30, 71},
      {-3, 3, -3, 3},
      {-3, 3, 1, -1},
      {0, 0, 0, 0},
      {kIntMin, kIntMax, 0, -1},
      {kIntMin, kIntMax, kIntMin, kIntMax},
      {kIntMin, kIntMax, kIntMax, kIntMin},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " value " +
                 std::to_string(c.value));
    EXPECT_EQ(GetReversedValue(FakeBar(c.minimum, c.maximum, c.value)), c.reversed);
  }
}

TEST(ReversedValueTest, SetClampsToTheRange) {
  struct Case {
    int minimum, maximum, v, value;
  };
  const Case cases[] = {
      {1, 100, 100, 1},
      {1, 100, 1, 100},
      {1, 100, 71, 30},
      {1, 100, 150, 1},   // raw -49 is below Min
      {1, 100, -5, 100},  // raw 106 is above Max
      {1, 100, kIntMax, 1},
      {1, 100, kIntMin, 100},
      {kIntMin, kIntMax, kIntMin, kIntMax},
      {kIntMin, kIntMax, kIntMax, kIntMin},
      {kIntMin, kIntMax, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " set " +
                 std::to_string(c.v));
    FakeBar bar(c.minimum, c.maximum, c.minimum);
    SetReversedValue(bar, c.v);
    EXPECT_EQ(bar.value(), c.value);
    EXPECT_EQ(bar.set_calls(), 1);
  }
}

TEST(ReversedValueTest, AddMovesTheReversedValue) {
  struct Case {
    int minimum, maximum, value, delta, new_value;
  };
  const Case cases[] = {
      {1, 100, 50, 10, 40},                                  // reads 51, then 61
      {1, 100, 50, -10, 60},         {1, 100, 50, 1000, 1},  // clamped at the top end
      {1, 100, 50, -1000, 100},                              // clamped at the bottom end
      {1, 100, 1, kIntMin, 100},                             // 100 + kIntMin fits
      {1, 100, 100, kIntMax - 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " + " + std::to_string(c.delta));
    FakeBar bar(c.minimum, c.maximum, c.value);
    EXPECT_TRUE(AddReversedValue(bar, c.delta));
    EXPECT_EQ(bar.value(), c.new_value);
  }
}

TEST(ReversedValueTest, AddRefusesAnOverflowingSumAndKeepsTheValue) {
  struct Case {
    int minimum, maximum, value, delta;
  };
  const Case cases[] = {
      {1, 100, 1, kIntMax},            // reads 100: 100 + kIntMax
      {1, 100, 99, kIntMax},           // reads 2
      {-100, 100, 100, kIntMin},       // reads -100
      {kIntMin, kIntMax, kIntMin, 1},  // reads kIntMax
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " + " + std::to_string(c.delta));
    FakeBar bar(c.minimum, c.maximum, c.value);
    EXPECT_FALSE(AddReversedValue(bar, c.delta));
    EXPECT_EQ(bar.value(), c.value);
    EXPECT_EQ(bar.set_calls(), 0);
  }
}

}  // namespace
}  // namespace quorvel
