#pragma once

// Pacing of a run: how often it reports progress and lets the user interface deliver events.

#include <chrono>

#include "simulation/run_observer.h"

namespace quorvel {

// Attempts between two pacing points of a run.
inline constexpr int kPacingPeriod = 500;

// Adds 1 to a counter that the whole program shares and gives true when the counter is a
// multiple of n (false for n <= 0). Past 2000000000 the counter starts again from 0.
bool EveryNthCall(int n);

// Delivers pending events, sleeping sleep_ms between deliveries when sleep_ms > 0, until the
// steady millisecond clock has passed now + ms. Events are delivered at least once.
void PumpEventsFor(int ms, int sleep_ms, RunObserver& observer);

// Event delivery at the pacing points of a run. The points come every 500th attempt, which can
// be a few hundred times a second with a fast engine: delivering events at each of them (with a
// pause, as PumpEventsFor(1, 1) does) would cost a large share of the run. The pacer delivers
// them only when `interval` has passed since the last delivery, and never sleeps.
class RunPacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RunPacer(Clock::duration interval = std::chrono::milliseconds(15))
      : interval_(interval), last_pump_(Clock::now()) {}

  // The run has just delivered events itself.
  void MarkPumped() { last_pump_ = Clock::now(); }
  // Calls observer.PumpEvents() when the interval has passed; true when it did.
  bool MaybePump(RunObserver& observer);

 private:
  Clock::duration interval_;
  Clock::time_point last_pump_;
};

}  // namespace quorvel
