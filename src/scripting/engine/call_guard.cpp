#include "scripting/engine/call_guard.h"

#include <js/Interrupt.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "scripting/engine/engine_context.h"

namespace quorvel::engine {

namespace {
constexpr std::chrono::milliseconds kWatchdogPoll{20};
}  // namespace

CallGuard::CallGuard(JSContext* cx, const ScriptLimits& limits) : cx_(cx), limits_(limits) {
  JS_SetContextPrivate(cx_, this);
  if (!JS_AddInterruptCallback(cx_, &CallGuard::InterruptCallback)) {
    throw std::runtime_error("script engine set-up failed: JS_AddInterruptCallback");
  }
  watchdog_ = std::jthread([this](std::stop_token stop) { Watch(stop); });
}

CallGuard::~CallGuard() {
  watchdog_.request_stop();
  wake_.notify_all();
}

void CallGuard::Enter() {
  ++depth_;
  stop_ = StopReason::None;
  call_seq_.store(call_seq_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CallGuard::Leave() {
  call_seq_.store(call_seq_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  --depth_;
  if (stop_ == StopReason::Memory) AfterMemoryStop();
}

void CallGuard::Cancel() {
  const uint64_t seq = call_seq_.load(std::memory_order_acquire);
  if ((seq & 1) == 0) return;
  cancel_seq_.store(seq, std::memory_order_release);
  JS_RequestInterruptCallback(cx_);
}

void CallGuard::SetMemoryCeiling() {
  const std::size_t base = ResidentBytes();
  memory_ceiling_ = base == 0 ? SIZE_MAX : base + limits_.memory_limit;
  memory_alarm_level_.store(memory_ceiling_, std::memory_order_relaxed);
  memory_alarm_.store(false);
}

bool CallGuard::InterruptCallback(JSContext* cx) {
  return static_cast<CallGuard*>(JS_GetContextPrivate(cx))->OnInterrupt();
}

bool CallGuard::OnInterrupt() {
  const uint64_t seq = call_seq_.load(std::memory_order_relaxed);
  if ((seq & 1) == 0) return true;
  if (cancel_seq_.load(std::memory_order_acquire) == seq) return Stop(StopReason::Cancelled);
  // Memory before time: a bomb that also ran past the time limit is told by its cause.
  if (memory_alarm_.exchange(false)) {
    // Only what the scripts still hold counts: collect before judging. The engine collects at
    // interrupt checks itself, so this is a safe point for it.
    CollectGarbage(cx_);
    if (ResidentBytes() > memory_alarm_level_.load(std::memory_order_relaxed)) {
      return Stop(StopReason::Memory);
    }
  }
  if (timeout_seq_.load(std::memory_order_acquire) == seq) return Stop(StopReason::Timeout);
  const auto now = std::chrono::steady_clock::now();
  if (hook_ && !in_hook_ && now - last_hook_ >= limits_.busy_hook_interval * 9 / 10) {
    in_hook_ = true;
    bool thrown = false;
    try {
      hook_();
    } catch (...) {
      // Nothing may unwind through the engine's frames; the call cannot go on either.
      thrown = true;
    }
    in_hook_ = false;
    last_hook_ = std::chrono::steady_clock::now();
    if (thrown || cancel_seq_.load(std::memory_order_acquire) == seq) {
      return Stop(StopReason::Cancelled);
    }
  }
  return true;
}

bool CallGuard::Stop(StopReason reason) {
  stop_ = reason;
  return false;
}

// What the stopped call allocated is garbage now: give it back before the next call. When the
// scripts still hold more than the limit, the level that stops a call goes to a margin above what
// they hold, so that later calls that add nothing (one that lets go of what it holds, say) run;
// it never goes past twice the limit, so what the scripts hold stays bounded however many calls
// are stopped.
void CallGuard::AfterMemoryStop() {
  CollectGarbage(cx_);
  const std::size_t held = ResidentBytes();
  if (held <= memory_ceiling_ || memory_ceiling_ == SIZE_MAX) return;
  const std::size_t level = memory_alarm_level_.load(std::memory_order_relaxed);
  const std::size_t raised = std::max(level, held + limits_.memory_limit / 8);
  memory_alarm_level_.store(std::min(raised, memory_ceiling_ + limits_.memory_limit),
                            std::memory_order_relaxed);
}

void CallGuard::Watch(std::stop_token stop) {
  uint64_t seen_seq = 0;
  auto seen_at = std::chrono::steady_clock::now();
  auto last_request = seen_at;
  std::mutex mutex;
  std::unique_lock lock(mutex);
  while (!stop.stop_requested()) {
    wake_.wait_for(lock, stop, kWatchdogPoll, [] { return false; });
    if (stop.stop_requested()) break;
    const uint64_t seq = call_seq_.load(std::memory_order_acquire);
    if ((seq & 1) == 0) continue;
    if (ResidentBytes() > memory_alarm_level_.load(std::memory_order_relaxed)) {
      memory_alarm_.store(true);
      JS_RequestInterruptCallback(cx_);
    }
    const auto now = std::chrono::steady_clock::now();
    if (seq != seen_seq) {
      seen_seq = seq;
      seen_at = now;
      last_request = now;
      continue;
    }
    if (now - seen_at >= limits_.call_time_limit) {
      timeout_seq_.store(seq, std::memory_order_release);
      JS_RequestInterruptCallback(cx_);
    } else if (now - last_request >= limits_.busy_hook_interval) {
      last_request = now;
      JS_RequestInterruptCallback(cx_);
    }
  }
}

}  // namespace quorvel::engine
