#include "simulation/step_control.h"

namespace quorvel {

bool IsRunnableFrequency(double f, double oscillations) {
  const double dt_min = 1 / f / 5000;
  return std::isfinite(f) && f > 0 && std::isfinite(dt_min) && dt_min > 0 &&
         std::isfinite(oscillations / f);
}

std::optional<QString> FixedStepProblem(double dt, double duration) {
  if (!std::isfinite(dt) || !(dt > 0)) return QString::fromUtf16(kBadFixedStepMessage);
  const double steps = duration / dt;
  if (!(steps <= kMaxFixedSteps)) return QString::fromUtf16(kTooManyStepsMessage);
  return std::nullopt;
}

}  // namespace quorvel
