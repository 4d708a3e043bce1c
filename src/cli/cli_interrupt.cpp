#include "cli/cli_interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

namespace quorvel::cli {

namespace {

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

constexpr long kPollNanoseconds = 50L * 1000 * 1000;

[[noreturn]] void EndNow(int signal_number) {
  static constexpr char kMessage[] = "\nInterrotto.\n";
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  std::_Exit(ExitStatusForSignal(signal_number));
}

}  // namespace

int ExitStatusForSignal(int signal_number) { return 128 + signal_number; }

void BlockInterruptSignals() {
  const sigset_t set = InterruptSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptWatcher::InterruptWatcher(std::atomic<bool>& interrupt, std::chrono::milliseconds grace)
    : interrupt_(interrupt),
      grace_(grace),
      thread_([this](std::stop_token stop) { Watch(std::move(stop)); }) {}

InterruptWatcher::~InterruptWatcher() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void InterruptWatcher::RunStarts(std::function<void()> cancel_running_call) {
  {
    const std::lock_guard lock(cancel_mutex_);
    cancel_running_call_ = std::move(cancel_running_call);
  }
  run_started_.store(true);
}

void InterruptWatcher::RunEnds() {
  const std::lock_guard lock(cancel_mutex_);
  cancel_running_call_ = nullptr;
}

void InterruptWatcher::CancelRunningCall() {
  const std::lock_guard lock(cancel_mutex_);
  if (cancel_running_call_) cancel_running_call_();
}

void InterruptWatcher::Watch(std::stop_token stop) {
  const sigset_t set = InterruptSet();
  // Already blocked when main() did its part; this keeps the signals away from this thread's
  // default action in any case.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::optional<std::chrono::steady_clock::time_point> first;
  while (!stop.stop_requested()) {
    const timespec timeout{0, kPollNanoseconds};
    const int signal_number = sigtimedwait(&set, nullptr, &timeout);
    if (signal_number > 0) {
      if (first || !run_started_.load()) EndNow(signal_number);
      first = std::chrono::steady_clock::now();
      received_.store(signal_number);
      interrupt_.store(true);
    }
    if (first && std::chrono::steady_clock::now() - *first >= grace_) CancelRunningCall();
  }
}

}  // namespace quorvel::cli
