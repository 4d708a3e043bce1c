#pragma once

// The arithmetic of a run: its constants, the error numbers it raises itself, and Fp, the
// double whose operations fail instead of giving a number that is not finite.

#include <cmath>

namespace quorvel {

// 2π as the program has always written it (not the full-precision value): results depend on it.
inline constexpr double kTwoPi = 6.28318530717958;
// Error numbers that the runs raise themselves (engine errors keep the host's numbers).
namespace run_errors {
inline constexpr int kInvalidArgument = 5;     // the logarithm of a ratio that is not above 0
inline constexpr int kOverflow = 6;            // counted apart in "Errori di overflow: "
inline constexpr int kDivisionByZero = 11;     // counted in the total only
inline constexpr int kTimestepTooSmall = 513;  // "Timestep troppo piccolo"
}  // namespace run_errors

// A double computed under the floating-point checks of a run. An operation whose operands are
// finite and whose result is not fails with overflow (6); a finite value divided by zero fails
// with division by zero (11), or overflow when it is 0 / 0 (an invalid result). A failure passes
// through the rest of the expression. Non-finite operands (a NaN or an infinity that a filter
// produced) propagate silently, as the platform's arithmetic gives them.
//
// Mixing with plain doubles is deliberate (implicit conversion): an expression is guarded as
// soon as one operand of each operation is an Fp.
class Fp {
 public:
  constexpr Fp(double value) : value_(value) {}  // NOLINT(google-explicit-constructor)

  double value() const { return value_; }
  // 0 when the computation succeeded, otherwise the error number.
  int error() const { return error_; }
  bool ok() const { return error_ == 0; }

  friend Fp operator+(Fp a, Fp b) { return Checked(a, b, a.value_ + b.value_); }
  friend Fp operator-(Fp a, Fp b) { return Checked(a, b, a.value_ - b.value_); }
  friend Fp operator*(Fp a, Fp b) { return Checked(a, b, a.value_ * b.value_); }
  friend Fp operator/(Fp a, Fp b) {
    if (!a.ok()) return a;
    if (!b.ok()) return b;
    if (b.value_ == 0 && std::isfinite(a.value_)) {
      return Failed(a.value_ == 0 ? run_errors::kOverflow : run_errors::kDivisionByZero);
    }
    return Checked(a, b, a.value_ / b.value_);
  }
  friend Fp Abs(Fp a) { return a.ok() ? Fp(std::fabs(a.value_)) : a; }
  friend Fp Sin(Fp a) { return a.ok() ? Fp(std::sin(a.value_)) : a; }
  friend Fp Pow(Fp base, Fp exponent) {
    return Checked(base, exponent, std::pow(base.value_, exponent.value_));
  }

 private:
  static Fp Failed(int error) {
    Fp f(0);
    f.error_ = error;
    return f;
  }
  static Fp Checked(Fp a, Fp b, double result) {
    if (!a.ok()) return a;
    if (!b.ok()) return b;
    if (!std::isfinite(result) && std::isfinite(a.value_) && std::isfinite(b.value_)) {
      return Failed(run_errors::kOverflow);
    }
    return Fp(result);
  }

  double value_;
  int error_ = 0;
};

}  // namespace quorvel
