#include "simulation/pacing.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace quorvel {

namespace {

constexpr std::int32_t kCounterLimit = 2000000000;

std::int64_t TickCount() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
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

}  // namespace quorvel
