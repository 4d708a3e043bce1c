#pragma once

// Ctrl+C, SIGTERM and SIGHUP for a run: the three signals are blocked in every thread of the
// process and taken by one thread that waits for them, so that they never interrupt the script
// engine at a random point.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvel::cli {

// The exit status of a tool that a signal cut off: 128 + the signal's number, as shells give it
// (130 after SIGINT, 143 after SIGTERM, 129 after SIGHUP).
int ExitStatusForSignal(int signal_number);

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread. Threads created afterwards inherit
// the mask, so main() calls this first, before the script engine and its threads exist.
void BlockInterruptSignals();

// Waits for SIGINT, SIGTERM and SIGHUP on a thread of its own while it lives.
//
// Before RunStarts (while the test is read: a FIFO without a writer blocks in open()) the first
// signal ends the process at once with ExitStatusForSignal: nothing has been written yet.
// Afterwards the first signal sets `interrupt`, which a run reads at its next check as it reads
// the "Ferma" button, and the run writes what it measured and ends; if the run is still going
// after `grace` (a filter stuck in one long engine call), the cancel function is called every
// 50 ms until the watcher is destroyed. A second signal ends the process at once with the
// status of that signal. Destroying the watcher stops its thread within about 50 ms.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::atomic<bool>& interrupt,
                            std::chrono::milliseconds grace = std::chrono::milliseconds(200));
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  // From now on the first signal stops the run instead of the process; `cancel_running_call`
  // stops a long engine call (it is called from the watcher's thread).
  void RunStarts(std::function<void()> cancel_running_call);
  // The run is over: the cancel function is not called any more (its engine may be gone). A
  // signal still counts as a cut-off.
  void RunEnds();

  // The first signal received, 0 when none was.
  int received_signal() const { return received_.load(); }

 private:
  void Watch(std::stop_token stop);
  void CancelRunningCall();

  std::atomic<bool>& interrupt_;
  std::chrono::milliseconds grace_;
  std::atomic<int> received_{0};
  std::atomic<bool> run_started_{false};
  std::mutex cancel_mutex_;
  std::function<void()> cancel_running_call_;
  std::jthread thread_;  // last: started once the members above exist
};

}  // namespace quorvel::cli
