#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

#include "scripting/script_host.h"

namespace quorvel::engine {

// Why the engine stopped a call (a failed call with no exception pending).
enum class StopReason { None, Cancelled, Timeout, Memory };

// Everything that more than one thread touches, in one place: the watchdog thread, cancel
// requests, the per-call time limit, the memory guard, and the busy hook that runs inside long
// calls.
//
// Threading contract:
//  - Enter, Leave, Busy, stop, SetHook and SetMemoryCeiling run on the engine's thread (the
//    host's caller), and so does OnInterrupt: the engine calls it there, at its interrupt
//    checks, for our requests and for reasons of its own.
//  - Cancel may run on any thread.
//  - The watchdog thread only reads call_seq_ and memory_alarm_level_, writes timeout_seq_ and
//    memory_alarm_, and asks the engine for an interrupt (JS_RequestInterruptCallback, which the
//    engine allows from any thread).
//  - call_seq_ numbers the host's calls and is odd while one runs (the call that
//    ScriptHost::RunInsideOneCall makes around a run is not one of them: the calls made inside it
//    are numbered, limited and cancelled each as if outermost). A cancel or a time-out
//    names the call it means by that number and OnInterrupt acts only on the call with that
//    number, so a request that arrives as one call ends never reaches the next one.
// Every member the engine's thread alone uses is a plain field; every shared one is atomic.
class CallGuard {
 public:
  // Installs itself as the context's interrupt callback.
  CallGuard(JSContext* cx, const ScriptLimits& limits);
  ~CallGuard();
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;

  // True while a host call runs (a call made then, from the busy hook, is refused).
  bool Busy() const { return depth_ > 0; }
  void Enter();
  void Leave();

  // Stops the call that runs now, if any.
  void Cancel();

  // Why the last call was stopped.
  StopReason stop() const { return stop_; }

  void SetHook(std::function<void()> hook) { hook_ = std::move(hook); }

  // The global scope's memory is counted from now on: the process may grow by the limit.
  void SetMemoryCeiling();

 private:
  static bool InterruptCallback(JSContext* cx);
  bool OnInterrupt();
  bool Stop(StopReason reason);
  void AfterMemoryStop();
  void Watch(std::stop_token stop);

  JSContext* const cx_;
  const ScriptLimits limits_;

  // Engine thread only.
  int depth_ = 0;
  StopReason stop_ = StopReason::None;
  std::function<void()> hook_;
  bool in_hook_ = false;
  std::chrono::steady_clock::time_point last_hook_{};
  std::size_t memory_ceiling_ = SIZE_MAX;  // the scope's size when made, plus the limit

  // Shared with the watchdog and with Cancel.
  std::atomic<uint64_t> call_seq_{0};
  std::atomic<uint64_t> cancel_seq_{0};
  std::atomic<uint64_t> timeout_seq_{0};
  std::atomic<std::size_t> memory_alarm_level_{SIZE_MAX};
  std::atomic<bool> memory_alarm_{false};

  std::condition_variable_any wake_;
  std::jthread watchdog_;  // last: it stops before the members it reads go
};

// Marks one host call for the guard; a call made inside another one is refused.
class CallScope {
 public:
  explicit CallScope(CallGuard& guard) : guard_(guard), busy_(guard.Busy()) {
    if (!busy_) guard_.Enter();
  }
  ~CallScope() {
    if (!busy_) guard_.Leave();
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  bool busy() const { return busy_; }

 private:
  CallGuard& guard_;
  bool busy_;
};

}  // namespace quorvel::engine
