#pragma once

// Ctrl+C for a run: SIGINT is blocked in every thread of the process and taken by one thread
// that waits for it, so that it never interrupts the script engine at a random point.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace quorvel::cli {

// Blocks SIGINT in the calling thread. Threads created afterwards inherit the mask, so main()
// calls this first, before the script engine and its threads exist.
void BlockInterruptSignal();

// Waits for SIGINT on a thread of its own while it lives. The first SIGINT sets `interrupt`,
// which a run reads at its next check, as it reads the "Ferma" button; if the run is still going
// after `grace` (a filter stuck in one long engine call), `cancel_running_call` is called every
// 50 ms until the watcher is destroyed. A second SIGINT ends the process at once with status
// 130. Destroying the watcher stops its thread within about 50 ms.
class InterruptWatcher {
 public:
  InterruptWatcher(std::atomic<bool>& interrupt, std::function<void()> cancel_running_call,
                   std::chrono::milliseconds grace = std::chrono::milliseconds(200));
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  void Watch(std::stop_token stop);

  std::atomic<bool>& interrupt_;
  std::function<void()> cancel_running_call_;
  std::chrono::milliseconds grace_;
  std::jthread thread_;  // last: started once the members above exist
};

}  // namespace quorvel::cli
