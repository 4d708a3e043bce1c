#include "simulation/sine_fit.h"

#include <array>
#include <cmath>
#include <numbers>

namespace quorvel {

double Harmonic::magnitude() const { return std::hypot(a, b); }

double Harmonic::angle() const { return std::atan2(-b, a); }

void HarmonicFit::Add(double t, double input, double output) {
  const double c = std::cos(w_ * t);
  const double s = std::sin(w_ * t);
  ++n_;
  cc_ += c * c;
  ss_ += s * s;
  cs_ += c * s;
  c_ += c;
  s_ += s;
  yc_i_ += input * c;
  ys_i_ += input * s;
  y_i_ += input;
  yc_o_ += output * c;
  ys_o_ += output * s;
  y_o_ += output;
}

std::optional<Harmonic> HarmonicFit::Solve(double yc, double ys, double y) const {
  if (n_ < 3) return std::nullopt;
  // The normal equations [cc cs c; cs ss s; c s n] [a b k] = [yc ys y], by Gaussian elimination
  // with partial pivoting.
  std::array<std::array<double, 4>, 3> m = {{
      {cc_, cs_, c_, yc},
      {cs_, ss_, s_, ys},
      {c_, s_, static_cast<double>(n_), y},
  }};
  for (std::size_t col = 0; col < 3; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < 3; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
    }
    std::swap(m[col], m[pivot]);
    // A pivot that vanishes against the scale of the sums: the basis is not independent.
    if (!(std::fabs(m[col][col]) > 1e-12 * static_cast<double>(n_))) return std::nullopt;
    for (std::size_t r = col + 1; r < 3; ++r) {
      const double factor = m[r][col] / m[col][col];
      for (std::size_t k = col; k < 4; ++k) m[r][k] -= factor * m[col][k];
    }
  }
  std::array<double, 3> x{};
  for (std::size_t i = 3; i-- > 0;) {
    double sum = m[i][3];
    for (std::size_t k = i + 1; k < 3; ++k) sum -= m[i][k] * x[k];
    x[i] = sum / m[i][i];
  }
  if (!std::isfinite(x[0]) || !std::isfinite(x[1])) return std::nullopt;
  return Harmonic{x[0], x[1]};
}

std::optional<Response> HarmonicFit::Ratio() const {
  const std::optional<Harmonic> in = Input();
  const std::optional<Harmonic> out = Output();
  if (!in || !out) return std::nullopt;
  const double in_magnitude = in->magnitude();
  if (!(in_magnitude > 0)) return std::nullopt;
  // Magnitudes and angles apart, so that an output equal to its input gives exactly 1 and 0.
  const double amplitude = out->magnitude() / in_magnitude;
  const double degrees = (out->angle() - in->angle()) * 180 / std::numbers::pi;
  if (!std::isfinite(amplitude) || !std::isfinite(degrees)) return std::nullopt;
  return Response{amplitude, PhaseInSweepRange(degrees)};
}

double PhaseInSweepRange(double degrees) {
  double phase = std::fmod(degrees, 360.0);
  if (phase >= 180.5) phase -= 360;
  if (phase < -179.5) phase += 360;
  return phase;
}

}  // namespace quorvel
