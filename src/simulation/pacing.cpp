#include "simulation/pacing.h"

#include <atomic>
#include <limits>
#include <thread>
#include <utility>

namespace quorvel {

namespace {

constexpr std::int32_t kCounterLimit = 2000000000;

std::int64_t TickCount() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::atomic<bool>& RunFlag() {
  static std::atomic<bool> running{false};
  return running;
}

void Saturating(std::int32_t& counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

}  // namespace

bool EveryNthCall(int n) {
  // The program's one pacing counter, shared by every run so that pacing points keep their
  // cadence whatever the caller.
  static std::atomic<std::int32_t> counter{0};
  const std::int32_t value = counter.fetch_add(1, std::memory_order_relaxed) + 1;
  const bool hit = n > 0 && value % n == 0;
  if (value > kCounterLimit) counter.store(0, std::memory_order_relaxed);
  return hit;
}

void PumpEventsFor(int ms, int sleep_ms, RunObserver& observer) {
  const std::int64_t end = TickCount() + ms;
  do {
    observer.PumpEvents();
    if (sleep_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
  } while (TickCount() <= end);
}

bool RunPacer::MaybePump(RunObserver& observer) {
  const Clock::time_point now = Clock::now();
  if (now - last_pump_ < interval_) return false;
  observer.PumpEvents();
  // Measured after the delivery, so that a long event handler does not make the next pacing
  // point pump again at once.
  last_pump_ = Clock::now();
  return true;
}

RunGuard::RunGuard() : acquired_(!RunFlag().exchange(true)) {}

RunGuard::~RunGuard() {
  if (acquired_) RunFlag().store(false);
}

bool RunGuard::RunInProgress() { return RunFlag().load(); }

void RunErrors::Count(int number) {
  Saturating(counts_.total);
  if (number == run_errors::kOverflow) Saturating(counts_.overflow);
  if (number == run_errors::kTimestepTooSmall) Saturating(counts_.timestep);
  observer_.AddErr();
}

bool IsRunnableFrequency(double f, double oscillations) {
  const double dt_min = 1 / f / 5000;
  return std::isfinite(f) && f > 0 && std::isfinite(dt_min) && dt_min > 0 &&
         std::isfinite(oscillations / f);
}

RunOutcome RefusedRun(QString message) {
  RunOutcome outcome;
  outcome.status = RunStatus::kRefused;
  outcome.message = std::move(message);
  return outcome;
}

std::optional<QString> FixedStepProblem(double dt, double duration) {
  if (!std::isfinite(dt) || !(dt > 0)) return QString::fromUtf16(kBadFixedStepMessage);
  const double steps = duration / dt;
  if (!(steps <= kMaxFixedSteps)) return QString::fromUtf16(kTooManyStepsMessage);
  return std::nullopt;
}

bool RunErrors::Increment(std::int32_t& counter) {
  if (counter == std::numeric_limits<std::int32_t>::max()) {
    Count(run_errors::kOverflow);
    return false;
  }
  ++counter;
  return true;
}

}  // namespace quorvel
