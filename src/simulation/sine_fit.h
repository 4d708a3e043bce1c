#pragma once

// The first harmonic of a sampled signal at a known angular frequency, by a least-squares fit of
// y = a cos(w t) + b sin(w t) + c (the three-parameter sine fit of IEEE Std 1057). The fit is
// exact for a sinusoid at w plus a constant however the samples fall in time: uneven steps, or a
// sampling period that does not divide the signal's.

#include <optional>

namespace quorvel {

// The first harmonic of a signal: a cos(w t) + b sin(w t).
struct Harmonic {
  double a = 0;
  double b = 0;

  double magnitude() const;
  // Radians; the angle of the phasor a - j b, so that a later signal has a smaller angle.
  double angle() const;
};

// Gain and phase of an output's first harmonic against its input's.
struct Response {
  double amplitude = 0;  // |Vo| / |Vi|
  double phase = 0;      // degrees, from -179.5 up to 180.5; negative when the output lags
};

// Fits the input and the output of a filter at once (they share their sample times, so the
// sums of the basis are shared).
class HarmonicFit {
 public:
  explicit HarmonicFit(double w) : w_(w) {}

  void Add(double t, double input, double output);
  int samples() const { return n_; }
  void Clear() { *this = HarmonicFit(w_); }

  // The two harmonics; nullopt with fewer than three samples or when the samples cannot tell
  // the cosine, the sine and the constant apart (all at one phase of the period).
  std::optional<Harmonic> Input() const { return Solve(yc_i_, ys_i_, y_i_); }
  std::optional<Harmonic> Output() const { return Solve(yc_o_, ys_o_, y_o_); }
  // The output against the input; nullopt when a fit fails or the input has no harmonic.
  std::optional<Response> Ratio() const;

 private:
  std::optional<Harmonic> Solve(double yc, double ys, double y) const;

  double w_;
  int n_ = 0;
  // Sums of the basis products: cc, ss, cs, c, s.
  double cc_ = 0, ss_ = 0, cs_ = 0, c_ = 0, s_ = 0;
  // Sums of the signals against the basis.
  double yc_i_ = 0, ys_i_ = 0, y_i_ = 0;
  double yc_o_ = 0, ys_o_ = 0, y_o_ = 0;
};

// A phase in degrees brought into the range the sweep reports, from -179.5 up to 180.5.
double PhaseInSweepRange(double degrees);

}  // namespace quorvel
