#include "scripting/script_host.h"

#include <js/Array.h>
#include <js/ArrayBuffer.h>
#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <js/ContextOptions.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GCAPI.h>
#include <js/GlobalObject.h>
#include <js/Initialization.h>
#include <js/Interrupt.h>
#include <js/Object.h>
#include <js/Promise.h>
#include <js/PropertyAndElement.h>
#include <js/Realm.h>
#include <js/SourceText.h>
#include <js/Stack.h>
#include <js/String.h>
#include <js/experimental/TypedData.h>
#include <jsapi.h>
#include <jsfriendapi.h>
#include <malloc.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own allocator (declared here: not every compiler ships its header).
extern "C" void __sanitizer_purge_allocator();
#endif

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <vector>

#include "numbers/number_text.h"
#include "scripting/script_var_list.h"

namespace quorvel {

namespace {

// The engine's process-wide lifecycle: it can be initialised once and at most one context may
// live at a time on the thread.
std::atomic<bool> engine_initialized{false};
std::atomic<int> live_hosts{0};

const JSClass kGlobalClass = {
    "global", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};

constexpr std::size_t kMaxCachedScripts = 128;
constexpr std::size_t kNativeStackQuota = std::size_t{2} << 20;
constexpr std::chrono::milliseconds kWatchdogPoll{20};

// Run once in every new global scope, before any other code. The engine gives every function
// `caller` and `arguments` accessors that hand out the functions on the stack; a script could
// take one of ours that way. ECMAScript itself defines both on Function.prototype as the
// %ThrowTypeError% accessors, which is what a script sees after this.
const char16_t kScopeSetUp[] =
    u"(function(){'use strict';"
    u"var t=Object.getOwnPropertyDescriptor(arguments,'callee').get;"
    u"Object.defineProperty(Function.prototype,'caller',"
    u"{get:t,set:t,enumerable:false,configurable:true});"
    u"Object.defineProperty(Function.prototype,'arguments',"
    u"{get:t,set:t,enumerable:false,configurable:true})})()";

const char16_t* Utf16(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

std::size_t ResidentBytes() {
  // Second field of statm: resident pages.
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  unsigned long size = 0;
  unsigned long resident = 0;
  const int n = std::fscanf(f, "%lu %lu", &size, &resident);
  std::fclose(f);
  if (n != 2) return 0;
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Hands memory that the allocator keeps after a free back to the system, so that the resident
// size counts only what is still held.
void ReleaseFreedMemory() {
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_purge_allocator();
#else
  malloc_trim(0);
#endif
}

bool IsPlainIdentifier(const QString& name) {
  // No "$": the generated helpers' own names all have one.
  if (name.isEmpty()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
    const bool digit = c >= u'0' && c <= u'9';
    if (!(letter || (digit && i > 0))) return false;
  }
  // Inside the accessor functions these names mean something else than in global code.
  return name != u"arguments" && name != u"this";
}

// Names that global code may use but strict code may not (the run helpers are strict).
bool IsStrictModeReserved(const QString& name) {
  static const char16_t* const kWords[] = {u"implements", u"interface", u"let",    u"package",
                                           u"private",    u"protected", u"public", u"static",
                                           u"yield",      u"eval"};
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char16_t* w) { return name == QStringView(w); });
}

struct CacheKey {
  QString source;
  QString text;
  bool operator==(const CacheKey&) const = default;
};
struct CacheKeyHash {
  std::size_t operator()(const CacheKey& k) const noexcept {
    return qHash(k.text) ^ (qHash(k.source) * 0x9E3779B97F4A7C15ull);
  }
};
struct QStringHash {
  std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

enum class StopReason { None, Cancelled, Timeout, Memory };

// Promise jobs are never run: a call's jobs are dropped as they are queued, so nothing a call
// leaves behind can run later or pile up.
class DroppingJobQueue final : public JS::JobQueue {
 public:
  JSObject* getIncumbentGlobal(JSContext* cx) override { return JS::CurrentGlobalOrNull(cx); }
  bool enqueuePromiseJob(JSContext*, JS::HandleObject, JS::HandleObject, JS::HandleObject,
                         JS::HandleObject) override {
    return true;
  }
  void runJobs(JSContext*) override {}
  bool empty() const override { return true; }

 private:
  js::UniquePtr<SavedJobQueue> saveJobQueue(JSContext* cx) override {
    auto saved = js::MakeUnique<SavedJobQueue>();
    if (!saved) JS_ReportOutOfMemory(cx);
    return saved;
  }
};

}  // namespace

ScriptEngineInit::ScriptEngineInit() {
  if (engine_initialized.exchange(true)) {
    throw std::logic_error("the script engine can be initialised once per process");
  }
  if (!JS_Init()) throw std::runtime_error("the script engine failed to initialise");
}

ScriptEngineInit::~ScriptEngineInit() { JS_ShutDown(); }

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("script engine set-up failed: ") + what);
}

// The engine context, from creation to destruction: one per host, one host at a time.
class EngineContext {
 public:
  EngineContext(std::size_t heap_limit) {
    if (!engine_initialized.load()) throw std::logic_error("ScriptEngineInit must come first");
    if (live_hosts.fetch_add(1) != 0) {
      live_hosts.fetch_sub(1);
      throw std::logic_error("only one ScriptHost may exist at a time");
    }
    cx_ = JS_NewContext(JS::DefaultHeapMaxBytes);
    if (cx_ == nullptr) {
      live_hosts.fetch_sub(1);
      Fail("JS_NewContext");
    }
    JS_SetNativeStackQuota(cx_, kNativeStackQuota);
    JS::ContextOptionsRef(cx_).setWasm(false);
    JS::SetJobQueue(cx_, &jobs_);
    if (!JS::InitSelfHostedCode(cx_)) {
      Destroy();
      Fail("InitSelfHostedCode");
    }
    // The engine's own heap: a bomb of objects meets the memory guard first, this only after.
    const std::size_t max_bytes = std::min<std::size_t>(heap_limit + heap_limit / 2, 0xFFF00000u);
    JS_SetGCParameter(cx_, JSGC_MAX_BYTES, static_cast<uint32_t>(max_bytes));
  }
  ~EngineContext() { Destroy(); }
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  JSContext* cx() const { return cx_; }

 private:
  void Destroy() {
    if (cx_ == nullptr) return;
    JS_DestroyContext(cx_);
    cx_ = nullptr;
    live_hosts.fetch_sub(1);
  }

  JSContext* cx_ = nullptr;
  DroppingJobQueue jobs_;
};

// Everything that more than one thread touches, in one place: the watchdog thread, cancel
// requests, the per-call time limit and the memory alarm.
//
// Threading contract:
//  - Enter, Leave, Busy, OnInterrupt, SetHook, SetMemoryCeiling and Collect run on the engine's
//    thread (the host's caller; OnInterrupt is the engine's interrupt callback, also on it).
//  - Cancel may run on any thread.
//  - The watchdog thread only reads call_seq_ and memory_alarm_level_, writes timeout_seq_ and
//    memory_alarm_, and asks the engine for an interrupt (JS_RequestInterruptCallback, which
//    the engine allows from any thread).
// call_seq_ numbers the outermost calls and is odd while one runs. A cancel or a time-out
// names the call it means by that number and OnInterrupt acts only on the call with that
// number, so a request that arrives as one call ends never reaches the next one.
class CallGuard {
 public:
  CallGuard(JSContext* cx, const ScriptLimits& limits) : cx_(cx), limits_(limits) {
    watchdog_ = std::jthread([this](std::stop_token stop) { Watch(stop); });
  }
  ~CallGuard() {
    watchdog_.request_stop();
    wake_.notify_all();
  }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;

  bool Busy() const { return depth_ > 0; }

  void Enter() {
    ++depth_;
    stop_ = StopReason::None;
    call_seq_.store(call_seq_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  }
  void Leave() {
    call_seq_.store(call_seq_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    --depth_;
    if (stop_ == StopReason::Memory) AfterMemoryStop();
  }

  void Cancel() {
    const uint64_t seq = call_seq_.load(std::memory_order_acquire);
    if ((seq & 1) == 0) return;
    cancel_seq_.store(seq, std::memory_order_release);
    JS_RequestInterruptCallback(cx_);
  }

  // Why the engine stopped the last call, when it did (a failed call with no exception).
  StopReason stop() const { return stop_; }

  void SetHook(std::function<void()> hook) { hook_ = std::move(hook); }

  // A full, shrinking collection, then the allocator's free memory back to the system.
  void Collect() {
    JS::PrepareForFullGC(cx_);
    JS::NonIncrementalGC(cx_, JS::GCOptions::Shrink, JS::GCReason::API);
    ReleaseFreedMemory();
  }

  // The scope's memory is counted from now on.
  void SetMemoryCeiling() {
    const std::size_t base = ResidentBytes();
    memory_ceiling_ = base == 0 ? SIZE_MAX : base + limits_.memory_limit;
    ceiling_raised_ = false;
    memory_alarm_level_.store(memory_ceiling_, std::memory_order_relaxed);
    memory_alarm_.store(false);
  }

  // The engine's interrupt callback: for our requests and for the engine's own reasons.
  bool OnInterrupt() {
    const uint64_t seq = call_seq_.load(std::memory_order_relaxed);
    if ((seq & 1) == 0) return true;
    if (cancel_seq_.load(std::memory_order_acquire) == seq) return Stop(StopReason::Cancelled);
    // Memory before time: a bomb that also ran past the time limit is told by its cause.
    if (memory_alarm_.exchange(false)) {
      // Only what the scripts still hold counts: collect before judging. The engine collects at
      // interrupt checks itself, so this is a safe point for it.
      Collect();
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

 private:
  bool Stop(StopReason reason) {
    stop_ = reason;
    return false;
  }

  // What the stopped call allocated is garbage now: give it back before the next call. When
  // the scripts still hold more than the limit, the level that stops a call is set once, a
  // margin above what they hold: later calls that add nothing (one that lets go of what it
  // holds, say) run, and what they may add in all stays bounded.
  void AfterMemoryStop() {
    Collect();
    if (ceiling_raised_) return;
    const std::size_t held = ResidentBytes();
    if (held <= memory_ceiling_) return;
    ceiling_raised_ = true;
    memory_alarm_level_.store(held + limits_.memory_limit / 8, std::memory_order_relaxed);
  }

  void Request() { JS_RequestInterruptCallback(cx_); }

  void Watch(std::stop_token stop) {
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
        Request();
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
        Request();
      } else if (now - last_request >= limits_.busy_hook_interval) {
        last_request = now;
        Request();
      }
    }
  }

  JSContext* const cx_;
  const ScriptLimits limits_;

  // Engine thread only.
  int depth_ = 0;
  StopReason stop_ = StopReason::None;
  std::function<void()> hook_;
  bool in_hook_ = false;
  std::chrono::steady_clock::time_point last_hook_{};
  std::size_t memory_ceiling_ = SIZE_MAX;  // the scope's size when made, plus the limit
  bool ceiling_raised_ = false;

  // Shared with the watchdog and with Cancel.
  std::atomic<uint64_t> call_seq_{0};
  std::atomic<uint64_t> cancel_seq_{0};
  std::atomic<uint64_t> timeout_seq_{0};
  std::atomic<std::size_t> memory_alarm_level_{SIZE_MAX};
  std::atomic<bool> memory_alarm_{false};

  std::condition_variable_any wake_;
  std::jthread watchdog_;  // last: it stops before the members it reads go
};

// Marks one outermost engine call for the guard; a call made inside another one is refused.
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

ScriptError BusyError() {
  return {script_errors::kBusy,
          QStringLiteral("Il motore degli script è occupato da un'altra chiamata")};
}

ScriptError NoRunError() {
  return {script_errors::kNoRun, QStringLiteral("Nessuna simulazione in corso")};
}

ScriptError OutOfMemoryError() {
  return {script_errors::kOutOfMemory, QStringLiteral("Memoria esaurita")};
}

}  // namespace

class ScriptHost::Impl {
 public:
  Impl(ScriptLimits limits, ScriptHost& owner)
      : owner_(owner),
        limits_(limits),
        engine_(limits.memory_limit),
        cx_(engine_.cx()),
        guard_(cx_, limits),
        global_(cx_) {
    JS_SetContextPrivate(cx_, this);
    if (!JS_AddInterruptCallback(cx_, &Impl::InterruptCallback)) Fail("JS_AddInterruptCallback");
    if (auto error = NewGlobalScope()) {
      Fail(error->description.toUtf8().constData());
    }
  }

  ~Impl() {
    DestroyRun();
    accessors_.clear();
    cache_.clear();
  }

  ScriptStatus LoadCode(const QString& text) {
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedScript script(cx_);
    if (auto error = Compile(text, QStringLiteral("Prelude"), &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return TakeError();
    return Ok();
  }

  ScriptStatus ResetGlobalScope() {
    if (guard_.Busy()) return BusyError();
    if (auto error = NewGlobalScope()) return *error;
    return Ok();
  }

  Expected<ScriptValue> Evaluate(const QString& text, const QString& source) {
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedScript script(cx_);
    if (auto error = CachedCompile(text, source, &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return TakeError();
    return ToScriptValue(rval);
  }

  ScriptStatus SetNumber(const QString& name, double value) {
    if (guard_.Busy()) return BusyError();
    Accessor* accessor = std::isfinite(value) ? FindAccessor(name) : nullptr;
    if (accessor == nullptr) {
      // The statement text of a non-finite value does not parse; let the engine say so.
      auto result = Evaluate(name + u'=' + StatementNumber(value), QString());
      if (!result) return result.error();
      return Ok();
    }
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue arg(cx_, JS::NumberValue(RoundTo15Digits(value)));
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, accessor->setter, JS::HandleValueArray(arg),
                  &rval)) {
      return TakeError();
    }
    return Ok();
  }

  Expected<double> GetNumber(const QString& name) {
    if (guard_.Busy()) return BusyError();
    Accessor* accessor = FindAccessor(name);
    if (accessor == nullptr) {
      auto result = Evaluate(name, QString());
      if (!result) return result.error();
      return ToDouble(*result);
    }
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, accessor->getter, JS::HandleValueArray::empty(),
                  &rval)) {
      return TakeError();
    }
    return ToNumber(rval);
  }

  void SetBusyHook(std::function<void()> hook) { guard_.SetHook(std::move(hook)); }
  void CancelRunningCall() { guard_.Cancel(); }

  // ---- The time-step loop -------------------------------------------------------------------
  //
  // The state names that strict code can address are saved and restored by two small strict
  // functions generated for the run; they share two buffers with this class (numbers and
  // kinds) so that a save or a restore is one call into the engine whatever the number of
  // names. Assignments go through each name's accessor (a global-code assignment, which strict
  // code would not make the same way). Numbers are rounded to 15 digits here, between the save
  // and the next restore. Other names (digits only, words strict code reserves) go through the
  // statement texts. Nothing of a run is reachable from scripts: the functions are strict, so
  // no `caller` hands them out, and when the run ends its buffers are detached before their
  // memory goes.

  ScriptStatus BeginRun(const std::vector<QString>& names, const QString& functions,
                        const QString& input) {
    if (guard_.Busy()) return BusyError();
    DestroyRun();
    try {
      run_ = std::make_unique<Run>(cx_, ++run_count_);
      if (auto error = PrepareRun(names, functions, input)) {
        DestroyRun();
        return *error;
      }
    } catch (const std::bad_alloc&) {
      DestroyRun();
      return OutOfMemoryError();
    }
    return Ok();
  }

  void ResetRunState() {
    if (!run_) return;
    std::fill(run_->numbers.begin(), run_->numbers.end(), 0.0);
    std::fill(run_->rounded.begin(), run_->rounded.end(), 0.0);
    std::fill(run_->kinds.begin(), run_->kinds.end(), kSavedNumber);
    for (QString& value : run_->slow.values) value = QStringLiteral("0");
  }

  void SaveRunState() {
    if (!run_) return;
    Run& run = *run_;
    if (run.slow.count() > 0 && !run.stop) run.stop = ReadVarValues(run.slow, owner_);
    // The generated names are saved by the next restore call itself, in the same engine call:
    // nothing runs in the engine in between.
    run.save_pending = !run.names.empty();
  }

  Expected<int> RestoreRunState(double dt, double t, const double* vi) {
    if (!run_) return NoRunError();
    Run& run = *run_;
    if (run.stop) return *run.stop;
    if (run.slow.count() > 0) {
      if ((run.stop = WriteVarValues(run.slow, owner_))) return *run.stop;
    }
    const std::size_t n = run.names.size();
    int failures = 0;
    int mask = 0;
    // The statement text of a non-finite number does not parse: that assignment fails.
    auto put = [&](std::size_t slot, double value, int bit) {
      if (std::isfinite(value)) {
        run.numbers[n + slot] = RoundTo15Digits(value);
        mask |= bit;
      } else {
        ++failures;
      }
    };
    put(0, dt, 1);
    put(1, t, 2);
    if (vi != nullptr) put(2, *vi, 4);
    if (run.save_pending) mask |= 8;
    run.save_pending = false;
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue arg(cx_, JS::Int32Value(mask));
    JS::RootedValue rval(cx_);
    run.restoring = true;
    const bool ok =
        JS::Call(cx_, JS::UndefinedHandleValue, run.restore, JS::HandleValueArray(arg), &rval);
    run.restoring = false;
    if (!ok) {
      ScriptError error = TakeError();
      if (script_errors::StopsTheRun(error.number)) return error;
      return failures + 1;
    }
    return failures + (rval.isInt32() ? rval.toInt32() : 0);
  }

  Expected<double> RunInputStatement() {
    if (!run_) return NoRunError();
    Run& run = *run_;
    if (!run.has_input) return 0.0;
    if (run.input_error) return *run.input_error;
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, run.input, &rval)) return TakeError();
    return ToNumber(rval);
  }

  ScriptStatus RunFunctions() {
    if (!run_) return NoRunError();
    Run& run = *run_;
    if (run.functions_error) return *run.functions_error;
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, run.functions, &rval)) return TakeError();
    return Ok();
  }

  Expected<double> ReadOutput() {
    if (!run_) return NoRunError();
    CallScope call(guard_);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, run_->read_output, JS::HandleValueArray::empty(),
                  &rval)) {
      return TakeError();
    }
    return ToNumber(rval);
  }

  void EndRun() {
    // From inside a call (the busy hook) the run's functions may be on the stack: leave it.
    if (!guard_.Busy()) DestroyRun();
  }

  void SetCompileCacheEnabled(bool enabled) {
    cache_enabled_ = enabled;
    if (!enabled) cache_.clear();
  }
  std::size_t CompileCacheSize() const { return cache_.size(); }

 private:
  static constexpr int32_t kSavedNothing = 0;
  static constexpr int32_t kSavedNumber = 1;
  static constexpr int32_t kSavedExact = 2;
  static constexpr int32_t kSavedRawNumber = 4;

  struct CacheEntry {
    std::unique_ptr<JS::PersistentRootedScript> script;
    std::optional<ScriptError> compile_error;
    uint64_t last_use = 0;
  };
  struct Accessor {
    JS::PersistentRootedValue getter;
    JS::PersistentRootedValue setter;
    explicit Accessor(JSContext* cx) : getter(cx), setter(cx) {}
  };

  struct Run {
    Run(JSContext* cx, uint64_t run_id)
        : id(run_id),
          restore(cx),
          read_output(cx),
          numbers_buffer(cx),
          kinds_buffer(cx),
          functions(cx),
          input(cx) {}
    uint64_t id;
    std::vector<QString> names;   // saved and restored by the generated functions
    ScriptVarList slow;           // the others, through statement texts
    std::vector<double> numbers;  // saved numbers, then dt, t, vi
    std::vector<int32_t> kinds;
    std::vector<double> rounded;  // each number as last rounded
    JS::PersistentRootedValue restore;
    JS::PersistentRootedValue read_output;
    JS::PersistentRootedObject numbers_buffer;
    JS::PersistentRootedObject kinds_buffer;
    JS::PersistentRootedScript functions;
    JS::PersistentRootedScript input;
    std::optional<ScriptError> functions_error;
    std::optional<ScriptError> input_error;
    std::optional<ScriptError> stop;  // a statement-text call of the state the host stopped
    bool has_input = false;
    bool save_pending = false;
    bool restoring = false;
  };

  // A fresh global object with the standard classes; on success the old scope and everything
  // compiled in it is dropped and the memory guard counts from the new one.
  std::optional<ScriptError> NewGlobalScope() {
    JS::RootedObject global(cx_);
    {
      CallScope call(guard_);
      JS::RealmOptions options;
      global = JS_NewGlobalObject(cx_, &kGlobalClass, nullptr, JS::FireOnNewGlobalHook, options);
      if (!global) return TakeErrorOr(OutOfMemoryError());
      JSAutoRealm realm(cx_, global);
      if (!JS::InitRealmStandardClasses(cx_)) return TakeErrorOr(OutOfMemoryError());
      JS::RootedValue rval(cx_);
      if (!EvaluateOwnCode(QString::fromUtf16(kScopeSetUp), &rval)) {
        return TakeErrorOr(OutOfMemoryError());
      }
    }
    DestroyRun();
    cache_.clear();
    accessors_.clear();
    global_ = global;
    guard_.Collect();
    guard_.SetMemoryCeiling();
    return std::nullopt;
  }

  std::optional<ScriptError> PrepareRun(const std::vector<QString>& all_names,
                                        const QString& functions, const QString& input) {
    Run& run = *run_;
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    for (const QString& name : all_names) {
      // A name that the accessor functions can address, and strict code can name, is handled
      // by the generated code.
      if (!IsStrictModeReserved(name) && AccessorInCall(name) != nullptr) {
        run.names.push_back(name);
      } else {
        SetVar(run.slow, name, QStringLiteral("0"));
      }
    }
    const std::size_t n = run.names.size();
    run.numbers.assign(n + 3, 0.0);
    run.kinds.assign(std::max<std::size_t>(n, 1), kSavedNumber);
    run.rounded.assign(n, 0.0);

    // The setters, in the order the generated function binds them: the names', then dt, t, vi.
    JS::RootedValueVector setters(cx_);
    for (const QString& name : run.names) {
      if (!setters.append(AccessorInCall(name)->setter)) return OutOfMemoryError();
    }
    for (const char16_t* name : {u"dt", u"t", u"vi"}) {
      Accessor* accessor = AccessorInCall(QString::fromUtf16(name));
      if (accessor == nullptr) return TakeErrorOr(OutOfMemoryError());
      if (!setters.append(accessor->setter)) return OutOfMemoryError();
    }

    JS::RootedObject numbers_buffer(
        cx_, JS::NewArrayBufferWithUserOwnedContents(cx_, run.numbers.size() * sizeof(double),
                                                     run.numbers.data()));
    if (!numbers_buffer) return TakeErrorOr(OutOfMemoryError());
    run.numbers_buffer = numbers_buffer;
    JS::RootedObject kinds_buffer(
        cx_, JS::NewArrayBufferWithUserOwnedContents(cx_, run.kinds.size() * sizeof(int32_t),
                                                     run.kinds.data()));
    if (!kinds_buffer) return TakeErrorOr(OutOfMemoryError());
    run.kinds_buffer = kinds_buffer;

    JS::RootedValueArray<5> args(cx_);
    args[0].setObjectOrNull(JS_NewFloat64ArrayWithBuffer(cx_, numbers_buffer, 0,
                                                         static_cast<int64_t>(run.numbers.size())));
    args[1].setObjectOrNull(
        JS_NewInt32ArrayWithBuffer(cx_, kinds_buffer, 0, static_cast<int64_t>(run.kinds.size())));
    // Exact values (booleans, strings) go into an object without prototype, so that storing
    // one never meets an accessor a script put on Object.prototype or Array.prototype.
    args[2].setObjectOrNull(JS_NewObjectWithGivenProto(cx_, nullptr, nullptr));
    JSFunction* round =
        js::NewFunctionWithReserved(cx_, &Impl::RoundSavedNumbersNative, 0, 0, "round");
    if (round != nullptr) {
      JSObject* round_object = JS_GetFunctionObject(round);
      js::SetFunctionNativeReserved(round_object, 0, JS::DoubleValue(static_cast<double>(run.id)));
      args[3].setObject(*round_object);
    }
    args[4].setObjectOrNull(JS::NewArrayObject(cx_, setters));
    for (std::size_t i = 0; i < args.length(); ++i) {
      if (!args[i].isObject()) return TakeErrorOr(OutOfMemoryError());
    }

    JS::RootedValue maker(cx_);
    JS::RootedValue made(cx_);
    if (!CompileFunction(RunHelpersSource(run.names), &maker) ||
        !JS::Call(cx_, JS::UndefinedHandleValue, maker, args, &made) || !made.isObject()) {
      return TakeErrorOr(OutOfMemoryError());
    }
    JS::RootedObject helpers(cx_, &made.toObject());
    if (!JS_GetElement(cx_, helpers, 0, &run.restore) ||
        !JS_GetElement(cx_, helpers, 1, &run.read_output)) {
      return TakeErrorOr(OutOfMemoryError());
    }

    JS::RootedScript script(cx_);
    run.functions_error = CachedCompile(functions, FunctionsSource(), &script);
    if (!run.functions_error) run.functions = script;
    run.has_input = !input.isEmpty();
    if (run.has_input) {
      run.input_error = CachedCompile(input, QString(), &script);
      if (!run.input_error) run.input = script;
    }
    return std::nullopt;
  }

  void DestroyRun() {
    if (!run_) return;
    // The buffers' memory belongs to this class: cut the engine's view of it first, so that
    // nothing that still points at them (were anything to) can touch that memory.
    for (JSObject* buffer : {run_->numbers_buffer.get(), run_->kinds_buffer.get()}) {
      if (buffer == nullptr) continue;
      JSAutoRealm realm(cx_, buffer);
      JS::RootedObject obj(cx_, buffer);
      if (!JS::DetachArrayBuffer(cx_, obj)) JS_ClearPendingException(cx_);
    }
    run_.reset();
  }

  // Called by the generated restore function right after it has saved the state: the numbers
  // it left in the buffer are rounded as their 15-digit texts would be. Only the run it was
  // made for, and only while that run's restore is running.
  void RoundSavedNumbers(double run_id) {
    if (!run_ || static_cast<double>(run_->id) != run_id || !run_->restoring) return;
    Run& run = *run_;
    for (std::size_t i = 0; i < run.names.size(); ++i) {
      if (run.kinds[i] != kSavedRawNumber) continue;
      const double raw = run.numbers[i];
      if (!std::isfinite(raw)) {
        // Its text ("1,#INF") would not parse back: the restore skips it.
        run.kinds[i] = kSavedNothing;
        continue;
      }
      run.kinds[i] = kSavedNumber;
      // A value that did not change since it was last rounded is already rounded.
      if (raw == run.rounded[i] && std::signbit(raw) == std::signbit(run.rounded[i])) continue;
      run.rounded[i] = run.numbers[i] = RoundTo15Digits(raw);
    }
  }

  static bool RoundSavedNumbersNative(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const JS::Value& id = js::GetFunctionNativeReserved(&args.callee(), 0);
    if (id.isNumber())
      static_cast<Impl*>(JS_GetContextPrivate(cx))->RoundSavedNumbers(id.toNumber());
    args.rval().setUndefined();
    return true;
  }

  // Source of a strict function that, given the shared buffers, an object for exact values,
  // the rounding function and the setters, returns the run's two helpers: the restore (which
  // saves first when asked) and the read of vo.
  static QString RunHelpersSource(const std::vector<QString>& names) {
    const int n = static_cast<int>(names.size());
    QString bind;
    QString save;
    QString restore;
    for (int i = 0; i < n; ++i) {
      const QString& name = names[static_cast<std::size_t>(i)];
      const QString k = QString::number(i);
      bind += QStringLiteral("var $s%1=$a[%1];\n").arg(k);
      save += QStringLiteral(
                  "try{$v=%1;if(typeof $v===\"number\"){$n[%2]=$v;$k[%2]=4}"
                  "else if(typeof $v===\"boolean\"||typeof $v===\"string\"){$o[%2]=$v;$k[%2]=2}"
                  "else if($v!==null){$k[%2]=0}}catch($e){}\n")
                  .arg(name, k);
      restore += QStringLiteral(
                     "try{if($k[%1]===1)$s%1($n[%1]);else if($k[%1]===2)$s%1($o[%1])}catch($e){}\n")
                     .arg(k);
    }
    return QStringLiteral(
               "(function($n,$k,$o,$r,$a){'use strict';\n"
               "%1var $sd=$a[%4],$st=$a[%5],$sv=$a[%6];\n"
               "return [\n"
               "function($m){var $f=0,$v;\n"
               "if($m&8){\n%2$r()}\n"
               "%3"
               "if($m&1){try{$sd($n[%4])}catch($e){$f++}}\n"
               "if($m&2){try{$st($n[%5])}catch($e){$f++}}\n"
               "if($m&4){try{$sv($n[%6])}catch($e){$f++}}\n"
               "return $f},\n"
               "function(){return vo}]})")
        .arg(bind, save, restore, QString::number(n), QString::number(n + 1),
             QString::number(n + 2));
  }

  static QString FunctionsSource() { return QStringLiteral("Funzioni del filtro"); }

  // ---- Compiling --------------------------------------------------------------------------

  std::optional<ScriptError> Compile(const QString& text, const QString& source,
                                     JS::MutableHandleScript out) {
    const QByteArray file = source.toUtf8();
    JS::CompileOptions options(cx_);
    options.setFileAndLine(file.constData(), 1);
    JS::SourceText<char16_t> src;
    if (!src.init(cx_, Utf16(text), static_cast<size_t>(text.size()),
                  JS::SourceOwnership::Borrowed)) {
      return TakeError();
    }
    out.set(JS::Compile(cx_, options, src));
    if (!out) return TakeError();
    return std::nullopt;
  }

  std::optional<ScriptError> CachedCompile(const QString& text, const QString& source,
                                           JS::MutableHandleScript out) {
    if (!cache_enabled_) return Compile(text, source, out);
    CacheKey key{source, text};
    if (auto it = cache_.find(key); it != cache_.end()) {
      it->second.last_use = ++use_clock_;
      if (it->second.compile_error) return it->second.compile_error;
      out.set(*it->second.script);
      return std::nullopt;
    }
    auto error = Compile(text, source, out);
    // A stopped compile (cancel, time-out, memory) says nothing about the text: do not keep it.
    if (error && script_errors::StopsTheRun(error->number)) return error;
    if (cache_.size() >= kMaxCachedScripts) EvictOldest();
    CacheEntry entry;
    entry.last_use = ++use_clock_;
    if (error) {
      entry.compile_error = error;
    } else {
      entry.script = std::make_unique<JS::PersistentRootedScript>(cx_, out.get());
    }
    cache_.emplace(std::move(key), std::move(entry));
    return error;
  }

  void EvictOldest() {
    std::vector<uint64_t> uses;
    uses.reserve(cache_.size());
    for (const auto& [key, entry] : cache_) uses.push_back(entry.last_use);
    auto middle = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2);
    std::nth_element(uses.begin(), middle, uses.end());
    const uint64_t cutoff = *middle;
    std::erase_if(cache_, [cutoff](const auto& item) { return item.second.last_use < cutoff; });
  }

  // The accessors of a name, compiled on first use; outside any call.
  Accessor* FindAccessor(const QString& name) {
    if (auto it = accessors_.find(name); it != accessors_.end()) return it->second.get();
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    return AccessorInCall(name);
  }

  // The same, inside a call that is already in the global's realm.
  Accessor* AccessorInCall(const QString& name) {
    if (auto it = accessors_.find(name); it != accessors_.end()) return it->second.get();
    if (!IsPlainIdentifier(name)) return nullptr;
    JS::RootedValue getter(cx_);
    JS::RootedValue setter(cx_);
    if (!CompileFunction(QStringLiteral("(function(){return ") + name + u'}' + u')', &getter) ||
        !CompileFunction(QStringLiteral("(function($v){") + name + QStringLiteral("=$v})"),
                         &setter)) {
      // Reserved words and the like: they take the text path, which fails as they should. A
      // failure for another reason (memory) is not remembered.
      const bool syntax = JS_IsExceptionPending(cx_);
      JS_ClearPendingException(cx_);
      if (syntax) accessors_.emplace(name, nullptr);
      return nullptr;
    }
    auto accessor = std::make_unique<Accessor>(cx_);
    accessor->getter = getter;
    accessor->setter = setter;
    Accessor* raw = accessor.get();
    accessors_.emplace(name, std::move(accessor));
    return raw;
  }

  bool CompileFunction(const QString& text, JS::MutableHandleValue out) {
    return EvaluateOwnCode(text, out) && out.isObject();
  }

  // Code of the host's own, run in the current realm.
  bool EvaluateOwnCode(const QString& text, JS::MutableHandleValue out) {
    JS::CompileOptions options(cx_);
    options.setFileAndLine("accessor", 1);
    JS::SourceText<char16_t> src;
    if (!src.init(cx_, Utf16(text), static_cast<size_t>(text.size()),
                  JS::SourceOwnership::Borrowed)) {
      return false;
    }
    return JS::Evaluate(cx_, options, src, out);
  }

  // ---- Values and errors --------------------------------------------------------------------

  Expected<double> ToNumber(JS::HandleValue v) {
    if (v.isNumber()) return v.toNumber();
    return ToDouble(ToScriptValue(v));
  }

  ScriptValue ToScriptValue(JS::HandleValue v) {
    if (v.isNumber()) return ScriptValue::Number(v.toNumber());
    if (v.isUndefined()) return ScriptValue();
    if (v.isNull()) return ScriptValue::Null();
    if (v.isBoolean()) return ScriptValue::Boolean(v.toBoolean());
    if (v.isString()) {
      JSString* str = v.toString();
      QString text(static_cast<qsizetype>(JS_GetStringLength(str)), Qt::Uninitialized);
      mozilla::Range<char16_t> dest(reinterpret_cast<char16_t*>(text.data()),
                                    static_cast<size_t>(text.size()));
      if (!JS_CopyStringChars(cx_, dest, str)) {
        JS_ClearPendingException(cx_);
        return ScriptValue::Object();
      }
      return ScriptValue::Text(std::move(text));
    }
    return ScriptValue::Object();
  }

  // TakeError when something is pending or the guard stopped the call; otherwise `fallback`
  // (an engine call that failed without saying why, as allocation failures may).
  ScriptError TakeErrorOr(ScriptError fallback) {
    if (JS_IsExceptionPending(cx_) || guard_.stop() != StopReason::None) return TakeError();
    return fallback;
  }

  ScriptError TakeError() {
    if (!JS_IsExceptionPending(cx_)) {
      switch (guard_.stop()) {
        case StopReason::Cancelled:
          return {script_errors::kCancelled, QStringLiteral("Script interrotto su richiesta")};
        case StopReason::Timeout:
          return {
              script_errors::kTimeout,
              QStringLiteral("Script interrotto: la chiamata è durata più di %1 s")
                  .arg(NumberText(static_cast<double>(limits_.call_time_limit.count()) / 1000.0))};
        case StopReason::Memory:
          return {script_errors::kOutOfMemory,
                  QStringLiteral("Script interrotto: gli script occupano più di %1 MiB di memoria")
                      .arg(limits_.memory_limit >> 20)};
        case StopReason::None:
          break;
      }
      return {script_errors::kOutOfMemory,
              QStringLiteral("Errore irrecuperabile del motore degli script")};
    }
    JS::ExceptionStack stack(cx_);
    if (!JS::StealPendingExceptionStack(cx_, &stack)) {
      JS_ClearPendingException(cx_);
      return {script_errors::kRuntime, QStringLiteral("Errore dello script")};
    }
    JS::ErrorReportBuilder builder(cx_);
    if (!builder.init(cx_, stack, JS::ErrorReportBuilder::NoSideEffects)) {
      JS_ClearPendingException(cx_);
      return {script_errors::kRuntime, QStringLiteral("Errore dello script")};
    }
    const JSErrorReport* report = builder.report();
    QString message = builder.toStringResult() ? QString::fromUtf8(builder.toStringResult().c_str())
                                               : QStringLiteral("Errore dello script");
    int number = script_errors::kThrown;
    if (IsErrorObject(stack.exception()) && report != nullptr) {
      switch (report->exnType) {
        case JSEXN_SYNTAXERR:
          number = script_errors::kSyntax;
          break;
        case JSEXN_REFERENCEERR:
          number = script_errors::kUndefinedName;
          break;
        case JSEXN_TYPEERR:
          number = script_errors::kTypeError;
          break;
        case JSEXN_RANGEERR:
          number = script_errors::kRangeError;
          break;
        default:
          number = script_errors::kRuntime;
          break;
      }
    } else if (stack.exception().isString() && message.contains(u"out of memory")) {
      number = script_errors::kOutOfMemory;
      message = QStringLiteral("Memoria esaurita nel motore degli script (") + message + u')';
    }
    if (report != nullptr && report->lineno > 0) {
      const QString file = report->filename ? QString::fromUtf8(report->filename) : QString();
      const QString where = file.isEmpty() || file == u"accessor"
                                ? QStringLiteral("riga %1").arg(report->lineno)
                                : QStringLiteral("%1, riga %2").arg(file).arg(report->lineno);
      message += QStringLiteral(" (") + where + u')';
    }
    return {number, message};
  }

  bool IsErrorObject(JS::HandleValue v) {
    if (!v.isObject()) return false;
    JS::RootedObject obj(cx_, &v.toObject());
    js::ESClass cls;
    if (!JS::GetBuiltinClass(cx_, obj, &cls)) {
      JS_ClearPendingException(cx_);
      return false;
    }
    return cls == js::ESClass::Error;
  }

  static bool InterruptCallback(JSContext* cx) {
    return static_cast<Impl*>(JS_GetContextPrivate(cx))->guard_.OnInterrupt();
  }

  ScriptHost& owner_;
  const ScriptLimits limits_;
  EngineContext engine_;
  JSContext* const cx_;
  CallGuard guard_;
  JS::PersistentRootedObject global_;
  std::unordered_map<CacheKey, CacheEntry, CacheKeyHash> cache_;
  std::unordered_map<QString, std::unique_ptr<Accessor>, QStringHash> accessors_;
  bool cache_enabled_ = true;
  uint64_t use_clock_ = 0;
  std::unique_ptr<Run> run_;
  uint64_t run_count_ = 0;
};

namespace {

// No exception leaves the host: what the engine's calls cannot allocate is an error value.
template <typename F>
auto Guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    if constexpr (std::is_void_v<decltype(f())>) {
      return;
    } else {
      return OutOfMemoryError();
    }
  }
}

}  // namespace

ScriptHost::ScriptHost(ScriptLimits limits) : impl_(std::make_unique<Impl>(limits, *this)) {}
ScriptHost::~ScriptHost() = default;

ScriptStatus ScriptHost::LoadCode(const QString& text) {
  return Guarded([&] { return impl_->LoadCode(text); });
}
ScriptStatus ScriptHost::ResetGlobalScope() {
  return Guarded([&] { return impl_->ResetGlobalScope(); });
}
Expected<ScriptValue> ScriptHost::Evaluate(const QString& text) {
  return Guarded([&] { return impl_->Evaluate(text, QString()); });
}
Expected<ScriptValue> ScriptHost::Evaluate(const QString& text, const QString& source_name) {
  return Guarded([&] { return impl_->Evaluate(text, source_name); });
}
ScriptStatus ScriptHost::SetNumber(const QString& name, double value) {
  return Guarded([&] { return impl_->SetNumber(name, value); });
}
Expected<double> ScriptHost::GetNumber(const QString& name) {
  return Guarded([&] { return impl_->GetNumber(name); });
}
void ScriptHost::SetBusyHook(std::function<void()> hook) { impl_->SetBusyHook(std::move(hook)); }
void ScriptHost::CancelRunningCall() { impl_->CancelRunningCall(); }
ScriptStatus ScriptHost::BeginRun(const std::vector<QString>& state_names, const QString& functions,
                                  const QString& input_statement) {
  return Guarded([&] { return impl_->BeginRun(state_names, functions, input_statement); });
}
void ScriptHost::ResetRunState() { impl_->ResetRunState(); }
void ScriptHost::SaveRunState() {
  Guarded([&] { impl_->SaveRunState(); });
}
Expected<int> ScriptHost::RestoreRunState(double dt, double t, const double* vi) {
  return Guarded([&] { return impl_->RestoreRunState(dt, t, vi); });
}
Expected<double> ScriptHost::RunInputStatement() {
  return Guarded([&] { return impl_->RunInputStatement(); });
}
ScriptStatus ScriptHost::RunFunctions() {
  return Guarded([&] { return impl_->RunFunctions(); });
}
Expected<double> ScriptHost::ReadOutput() {
  return Guarded([&] { return impl_->ReadOutput(); });
}
void ScriptHost::EndRun() { impl_->EndRun(); }
void ScriptHost::SetCompileCacheEnabled(bool enabled) { impl_->SetCompileCacheEnabled(enabled); }
std::size_t ScriptHost::CompileCacheSize() const { return impl_->CompileCacheSize(); }

Expected<double> ScriptHost::ToDouble(const ScriptValue& value) {
  switch (value.kind()) {
    case ScriptValue::Kind::Number:
      return value.number();
    case ScriptValue::Kind::Boolean:
      return value.boolean() ? 1.0 : 0.0;
    case ScriptValue::Kind::Undefined:
      return 0.0;
    case ScriptValue::Kind::Text:
      if (auto parsed = ParseNumber(value.text())) return *parsed;
      break;
    case ScriptValue::Kind::Null:
    case ScriptValue::Kind::Object:
      break;
  }
  return ScriptError{script_errors::kTypeMismatch, QStringLiteral("Tipo non corrispondente")};
}

}  // namespace quorvel
