#pragma once

#include <concepts>
#include <cstdint>
#include <limits>

namespace quorvel {

// A control with an integer range and value: the API of QAbstractSlider (QScrollBar, QSlider).
template <typename C>
concept RangeControl = requires(C& control, const C& constant, int v) {
  { constant.minimum() } -> std::convertible_to<int>;
  { constant.maximum() } -> std::convertible_to<int>;
  { constant.value() } -> std::convertible_to<int>;
  control.setValue(v);
};

// Vertical bars have their minimum at the top; read reversed, the top gives the largest value.
// Arithmetic runs in 64 bits so that maximum + minimum - value cannot overflow.

// maximum - value + minimum. For a value inside the range the result is inside the range too;
// a control outside its own range is clamped to the 32-bit range rather than overflowing.
template <RangeControl Control>
int GetReversedValue(const Control& control) {
  const std::int64_t reversed =
      static_cast<std::int64_t>(control.maximum()) - control.value() + control.minimum();
  if (reversed < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  if (reversed > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(reversed);
}

// Sets the control so that it reads v reversed, clamped to the control's range.
template <RangeControl Control>
void SetReversedValue(Control& control, int v) {
  const std::int64_t minimum = control.minimum();
  const std::int64_t maximum = control.maximum();
  const std::int64_t raw = maximum + minimum - v;
  if (raw < minimum) {
    control.setValue(static_cast<int>(minimum));
  } else if (raw > maximum) {
    control.setValue(static_cast<int>(maximum));
  } else {
    control.setValue(static_cast<int>(raw));
  }
}

// SetReversedValue(control, GetReversedValue(control) + delta). Returns false, leaving the
// control unchanged, when that sum does not fit in 32 bits.
template <RangeControl Control>
[[nodiscard]] bool AddReversedValue(Control& control, int delta) {
  const std::int64_t sum = static_cast<std::int64_t>(GetReversedValue(control)) + delta;
  if (sum < std::numeric_limits<int>::min() || sum > std::numeric_limits<int>::max()) return false;
  SetReversedValue(control, static_cast<int>(sum));
  return true;
}

}  // namespace quorvel
