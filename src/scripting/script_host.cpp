#include "scripting/script_host.h"

#include <js/Array.h>
#include <js/ArrayBuffer.h>
#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <js/ContextOptions.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GlobalObject.h>
#include <js/Initialization.h>
#include <js/Interrupt.h>
#include <js/Object.h>
#include <js/Realm.h>
#include <js/SourceText.h>
#include <js/Stack.h>
#include <js/String.h>
#include <js/experimental/TypedData.h>
#include <jsapi.h>
#include <jsfriendapi.h>
#include <unistd.h>

#include <QHash>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
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
constexpr uint32_t kGcHeapLimit = 1024u << 20;
constexpr std::chrono::milliseconds kWatchdogPoll{20};

const char16_t* Utf16(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

std::size_t ResidentBytes() {
  // Second field of statm: resident pages. Read only while a call runs long.
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  unsigned long size = 0;
  unsigned long resident = 0;
  const int n = std::fscanf(f, "%lu %lu", &size, &resident);
  std::fclose(f);
  if (n != 2) return 0;
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
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

}  // namespace

ScriptEngineInit::ScriptEngineInit() {
  if (engine_initialized.exchange(true)) {
    throw std::logic_error("the script engine can be initialised once per process");
  }
  if (!JS_Init()) throw std::runtime_error("the script engine failed to initialise");
}

ScriptEngineInit::~ScriptEngineInit() { JS_ShutDown(); }

class ScriptHost::Impl {
 public:
  explicit Impl(ScriptLimits limits) : limits_(limits) {
    if (!engine_initialized.load()) throw std::logic_error("ScriptEngineInit must come first");
    if (live_hosts.fetch_add(1) != 0) {
      live_hosts.fetch_sub(1);
      throw std::logic_error("only one ScriptHost may exist at a time");
    }
    cx_ = JS_NewContext(JS::DefaultHeapMaxBytes);
    if (cx_ == nullptr) Fail("JS_NewContext");
    JS_SetNativeStackQuota(cx_, kNativeStackQuota);
    JS::ContextOptionsRef(cx_).setWasm(false);
    if (!js::UseInternalJobQueues(cx_)) Fail("UseInternalJobQueues");
    if (!JS::InitSelfHostedCode(cx_)) Fail("InitSelfHostedCode");
    JS_SetGCParameter(cx_, JSGC_MAX_BYTES, kGcHeapLimit);
    JS_SetContextPrivate(cx_, this);
    if (!JS_AddInterruptCallback(cx_, &Impl::InterruptCallback)) Fail("JS_AddInterruptCallback");

    JS::RealmOptions options;
    global_.emplace(
        cx_, JS_NewGlobalObject(cx_, &kGlobalClass, nullptr, JS::FireOnNewGlobalHook, options));
    if (!*global_) Fail("JS_NewGlobalObject");
    {
      JSAutoRealm realm(cx_, *global_);
      if (!JS::InitRealmStandardClasses(cx_)) Fail("InitRealmStandardClasses");
    }
    watchdog_ = std::jthread([this](std::stop_token stop) { WatchdogLoop(stop); });
  }

  ~Impl() {
    DestroyRun();
    watchdog_.request_stop();
    watch_wake_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
    accessors_.clear();
    cache_.clear();
    global_.reset();
    if (cx_ != nullptr) JS_DestroyContext(cx_);
    live_hosts.fetch_sub(1);
  }

  ScriptStatus LoadCode(const QString& text) {
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedScript script(cx_);
    if (auto error = Compile(text, QStringLiteral("Prelude"), &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return TakeError();
    return Ok();
  }

  Expected<ScriptValue> Evaluate(const QString& text, const QString& source) {
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedScript script(cx_);
    if (auto error = CachedCompile(text, source, &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return TakeError();
    return ToScriptValue(rval);
  }

  ScriptStatus SetNumber(const QString& name, double value) {
    Accessor* accessor = FindAccessor(name);
    if (accessor == nullptr || !std::isfinite(value)) {
      // The statement text of a non-finite value does not parse; let the engine say so.
      auto result = Evaluate(name + u'=' + StatementNumber(value), QString());
      if (!result) return result.error();
      return Ok();
    }
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue arg(cx_, JS::NumberValue(RoundTo15Digits(value)));
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, accessor->setter, JS::HandleValueArray(arg),
                  &rval)) {
      return TakeError();
    }
    return Ok();
  }

  Expected<double> GetNumber(const QString& name) {
    Accessor* accessor = FindAccessor(name);
    if (accessor == nullptr) {
      auto result = Evaluate(name, QString());
      if (!result) return result.error();
      return ToDouble(*result);
    }
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, accessor->getter, JS::HandleValueArray::empty(),
                  &rval)) {
      return TakeError();
    }
    if (rval.isNumber()) return rval.toNumber();
    return ToDouble(ToScriptValue(rval));
  }

  void SetBusyHook(std::function<void()> hook) { hook_ = std::move(hook); }

  void CancelRunningCall() {
    if (active_.load()) {
      cancel_seq_.store(seq_.load());
      JS_RequestInterruptCallback(cx_);
    }
  }

  // ---- The time-step loop -------------------------------------------------------------------
  //
  // The state names that are plain identifiers are saved and restored by two small functions
  // generated for the run; they share two buffers with this class (numbers and kinds) so that
  // a save or a restore is one call into the engine whatever the number of names. Numbers are
  // rounded to 15 digits here, between the save and the next restore. Other names (digits only,
  // names the generated code cannot address) go through the statement texts.

  void BeginRun(const std::vector<QString>& names, const QString& functions, const QString& input) {
    EndRun();
    run_.emplace(cx_);
    Run& run = *run_;
    for (const QString& name : names) {
      // A name that the accessor functions can address can be addressed by generated code.
      if (FindAccessor(name) != nullptr) {
        run.names.push_back(name);
      } else {
        SetVar(run.slow, name, QStringLiteral("0"));
      }
    }
    const std::size_t n = run.names.size();
    run.numbers.assign(n + 3, 0.0);
    run.kinds.assign(std::max<std::size_t>(n, 1), kSavedNumber);
    run.rounded.assign(n, 0.0);

    CallScope call(*this);
    JSAutoRealm realm(cx_, *global_);
    JS::RootedObject numbers_buffer(
        cx_, JS::NewArrayBufferWithUserOwnedContents(cx_, run.numbers.size() * sizeof(double),
                                                     run.numbers.data()));
    JS::RootedObject kinds_buffer(
        cx_, JS::NewArrayBufferWithUserOwnedContents(cx_, run.kinds.size() * sizeof(int32_t),
                                                     run.kinds.data()));
    if (!numbers_buffer || !kinds_buffer) Fail("run buffers");
    run.numbers_buffer = numbers_buffer;
    run.kinds_buffer = kinds_buffer;
    JS::RootedValueArray<4> args(cx_);
    args[0].setObjectOrNull(JS_NewFloat64ArrayWithBuffer(cx_, numbers_buffer, 0,
                                                         static_cast<int64_t>(run.numbers.size())));
    args[1].setObjectOrNull(
        JS_NewInt32ArrayWithBuffer(cx_, kinds_buffer, 0, static_cast<int64_t>(run.kinds.size())));
    args[2].setObjectOrNull(JS::NewArrayObject(cx_, n));
    JSFunction* round = JS_NewFunction(cx_, &Impl::RoundSavedNumbersNative, 0, 0, "round");
    args[3].setObjectOrNull(round ? JS_GetFunctionObject(round) : nullptr);
    if (args[0].isNull() || args[1].isNull() || args[2].isNull() || args[3].isNull()) {
      Fail("run arrays");
    }
    JS::RootedValue maker(cx_);
    JS::RootedValue made(cx_);
    if (!CompileFunction(RunHelpersSource(run.names), &maker) ||
        !JS::Call(cx_, JS::UndefinedHandleValue, maker, args, &made) || !made.isObject()) {
      Fail("run helpers");
    }
    JS::RootedObject helpers(cx_, &made.toObject());
    if (!JS_GetElement(cx_, helpers, 0, &run.restore) ||
        !JS_GetElement(cx_, helpers, 1, &run.read_output)) {
      Fail("run helpers");
    }
    PrepareRunScripts(functions, input);
  }

  void PrepareRunScripts(const QString& functions, const QString& input) {
    Run& run = *run_;
    CallScope call(*this);
    JSAutoRealm realm(cx_, *global_);
    JS::RootedScript script(cx_);
    run.functions_error = CachedCompile(functions, FunctionsSource(), &script);
    run.functions = run.functions_error ? nullptr : script.get();
    run.has_input = !input.isEmpty();
    run.input_error.reset();
    run.input = nullptr;
    if (run.has_input) {
      run.input_error = CachedCompile(input, QString(), &script);
      if (!run.input_error) run.input = script;
    }
  }

  void ResetRunState() {
    if (!run_) return;
    std::fill(run_->numbers.begin(), run_->numbers.end(), 0.0);
    std::fill(run_->rounded.begin(), run_->rounded.end(), 0.0);
    std::fill(run_->kinds.begin(), run_->kinds.end(), kSavedNumber);
    for (QString& value : run_->slow.values) value = QStringLiteral("0");
  }

  void SaveRunState() {
    Run& run = *run_;
    if (run.slow.count() > 0) ReadVarValues(run.slow, *owner_);
    // The generated names are saved by the next restore call itself, in the same engine call:
    // nothing runs in the engine in between.
    run.save_pending = !run.names.empty();
  }

  // Called by the generated restore function right after it has saved the state: the numbers
  // it left in the buffer are rounded as their 15-digit texts would be.
  void RoundSavedNumbers() {
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
    static_cast<Impl*>(JS_GetContextPrivate(cx))->RoundSavedNumbers();
    args.rval().setUndefined();
    return true;
  }

  int RestoreRunState(double dt, double t, const double* vi) {
    Run& run = *run_;
    if (run.slow.count() > 0) WriteVarValues(run.slow, *owner_);
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
    CallScope call(*this);
    if (call.busy()) return failures + 1;
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue arg(cx_, JS::Int32Value(mask));
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, run.restore, JS::HandleValueArray(arg), &rval)) {
      JS_ClearPendingException(cx_);
      return failures + 1;
    }
    return failures + (rval.isInt32() ? rval.toInt32() : 0);
  }

  Expected<double> RunInputStatement() {
    Run& run = *run_;
    if (!run.has_input) return 0.0;
    if (run.input_error) return *run.input_error;
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, run.input, &rval)) return TakeError();
    if (rval.isNumber()) return rval.toNumber();
    return ToDouble(ToScriptValue(rval));
  }

  ScriptStatus RunFunctions() {
    Run& run = *run_;
    if (run.functions_error) return *run.functions_error;
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, run.functions, &rval)) return TakeError();
    return Ok();
  }

  Expected<double> ReadOutput() {
    CallScope call(*this);
    if (call.busy()) return BusyError();
    JSAutoRealm realm(cx_, *global_);
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, run_->read_output, JS::HandleValueArray::empty(),
                  &rval)) {
      return TakeError();
    }
    if (rval.isNumber()) return rval.toNumber();
    return ToDouble(ToScriptValue(rval));
  }

  // The prepared calls stay for the next run over the same names; nothing of them runs until
  // then.
  void EndRun() {
    if (run_) run_->save_pending = false;
  }

  void DestroyRun() {
    if (!run_) return;
    {
      JSAutoRealm realm(cx_, *global_);
      // The buffers' memory belongs to this class: cut the engine's view of it first.
      for (JSObject* buffer : {run_->numbers_buffer.get(), run_->kinds_buffer.get()}) {
        JS::RootedObject obj(cx_, buffer);
        if (obj && !JS::DetachArrayBuffer(cx_, obj)) JS_ClearPendingException(cx_);
      }
    }
    run_.reset();
  }

  void SetOwner(ScriptHost* owner) { owner_ = owner; }

  void SetCompileCacheEnabled(bool enabled) {
    cache_enabled_ = enabled;
    if (!enabled) cache_.clear();
  }
  std::size_t CompileCacheSize() const { return cache_.size(); }

 private:
  struct CacheEntry {
    std::unique_ptr<JS::PersistentRootedScript> script;
    std::optional<ScriptError> compile_error;
    uint64_t last_use = 0;
  };
  struct Accessor {
    JS::PersistentRootedValue getter;
    JS::PersistentRootedValue setter;
    Accessor(JSContext* cx) : getter(cx), setter(cx) {}
  };

  // Marks one outermost engine call for the watchdog, the cancel request and the busy guard.
  class CallScope {
   public:
    explicit CallScope(Impl& impl) : impl_(impl), busy_(impl.depth_ > 0) {
      if (busy_) return;
      ++impl_.depth_;
      impl_.stop_reason_ = StopReason::None;
      impl_.seq_.store(impl_.seq_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
      impl_.active_.store(true, std::memory_order_release);
    }
    ~CallScope() {
      if (busy_) return;
      impl_.active_.store(false, std::memory_order_release);
      --impl_.depth_;
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    bool busy() const { return busy_; }

   private:
    Impl& impl_;
    bool busy_;
  };

  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("script engine set-up failed: ") + what);
  }

  static ScriptError BusyError() {
    return {script_errors::kBusy,
            QStringLiteral("Il motore degli script è occupato da un'altra chiamata")};
  }

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
    // A stopped compile (cancel, time-out) says nothing about the text: do not remember it.
    if (error &&
        (error->number == script_errors::kCancelled || error->number == script_errors::kTimeout ||
         error->number == script_errors::kOutOfMemory)) {
      return error;
    }
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

  Accessor* FindAccessor(const QString& name) {
    if (auto it = accessors_.find(name); it != accessors_.end()) return it->second.get();
    if (!IsPlainIdentifier(name)) return nullptr;
    std::unique_ptr<Accessor> accessor;
    {
      CallScope call(*this);
      if (call.busy()) return nullptr;
      JSAutoRealm realm(cx_, *global_);
      JS::RootedValue getter(cx_);
      JS::RootedValue setter(cx_);
      if (!CompileFunction(QStringLiteral("(function(){return ") + name + u'}' + u')', &getter) ||
          !CompileFunction(QStringLiteral("(function($v){") + name + QStringLiteral("=$v})"),
                           &setter)) {
        // Reserved words and the like: they take the text path, which fails as they should.
        JS_ClearPendingException(cx_);
        accessors_.emplace(name, nullptr);
        return nullptr;
      }
      accessor = std::make_unique<Accessor>(cx_);
      accessor->getter = getter;
      accessor->setter = setter;
    }
    Accessor* raw = accessor.get();
    accessors_.emplace(name, std::move(accessor));
    return raw;
  }

  bool CompileFunction(const QString& text, JS::MutableHandleValue out) {
    JS::CompileOptions options(cx_);
    options.setFileAndLine("accessor", 1);
    JS::SourceText<char16_t> src;
    if (!src.init(cx_, Utf16(text), static_cast<size_t>(text.size()),
                  JS::SourceOwnership::Borrowed)) {
      return false;
    }
    return JS::Evaluate(cx_, options, src, out) && out.isObject();
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

  ScriptError TakeError() {
    if (!JS_IsExceptionPending(cx_)) {
      switch (stop_reason_) {
        case StopReason::Cancelled:
          return {script_errors::kCancelled, QStringLiteral("Script interrotto su richiesta")};
        case StopReason::Timeout:
          return {script_errors::kTimeout,
                  QStringLiteral("Script interrotto: la chiamata ha superato %1 s")
                      .arg(limits_.call_time_limit.count() / 1000.0)};
        case StopReason::Memory:
          return {script_errors::kOutOfMemory,
                  QStringLiteral("Script interrotto: memoria esaurita")};
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
    return static_cast<Impl*>(JS_GetContextPrivate(cx))->OnInterrupt();
  }

  // Runs on the engine's thread, for our requests and for the engine's own reasons.
  bool OnInterrupt() {
    if (!active_.load(std::memory_order_acquire)) return true;
    const uint64_t seq = seq_.load();
    if (cancel_seq_.load() == seq) return Stop(StopReason::Cancelled);
    if (timeout_seq_.load() == seq) return Stop(StopReason::Timeout);
    if (memory_seq_ != seq) {
      memory_seq_ = seq;
      memory_base_ = ResidentBytes();
    } else if (ResidentBytes() > memory_base_ + limits_.memory_growth_limit) {
      return Stop(StopReason::Memory);
    }
    const auto now = std::chrono::steady_clock::now();
    if (hook_ && !in_hook_ && now - last_hook_ >= limits_.busy_hook_interval * 9 / 10) {
      in_hook_ = true;
      hook_();
      in_hook_ = false;
      last_hook_ = std::chrono::steady_clock::now();
      if (cancel_seq_.load() == seq) return Stop(StopReason::Cancelled);
    }
    return true;
  }

  bool Stop(StopReason reason) {
    stop_reason_ = reason;
    return false;
  }

  void WatchdogLoop(std::stop_token stop) {
    uint64_t seen_seq = 0;
    auto seen_at = std::chrono::steady_clock::now();
    auto last_request = seen_at;
    std::mutex mutex;
    std::unique_lock lock(mutex);
    while (!stop.stop_requested()) {
      watch_wake_.wait_for(lock, stop, kWatchdogPoll, [] { return false; });
      if (stop.stop_requested()) break;
      if (!active_.load(std::memory_order_acquire)) {
        seen_seq = 0;
        continue;
      }
      const uint64_t seq = seq_.load();
      const auto now = std::chrono::steady_clock::now();
      if (seq != seen_seq) {
        seen_seq = seq;
        seen_at = now;
        last_request = now;
        continue;
      }
      if (now - seen_at >= limits_.call_time_limit) {
        timeout_seq_.store(seq);
        JS_RequestInterruptCallback(cx_);
      } else if (now - last_request >= limits_.busy_hook_interval) {
        last_request = now;
        JS_RequestInterruptCallback(cx_);
      }
    }
  }

  static constexpr int32_t kSavedNothing = 0;
  static constexpr int32_t kSavedNumber = 1;
  static constexpr int32_t kSavedExact = 2;
  static constexpr int32_t kSavedRawNumber = 4;

  struct Run {
    explicit Run(JSContext* cx)
        : restore(cx),
          read_output(cx),
          numbers_buffer(cx),
          kinds_buffer(cx),
          functions(cx),
          input(cx) {}
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
    bool has_input = false;
    bool save_pending = false;
    std::vector<QString> all_names;  // as given to BeginRun
  };

  // Source of a function that, given the shared buffers and the rounding function, returns the
  // run's two helpers: the restore (which saves first when asked) and the read of vo.
  static QString RunHelpersSource(const std::vector<QString>& names) {
    const int n = static_cast<int>(names.size());
    QString save;
    QString restore;
    for (int i = 0; i < n; ++i) {
      const QString& name = names[static_cast<std::size_t>(i)];
      const QString k = QString::number(i);
      save += QStringLiteral(
                  "try{$v=%1;if(typeof $v===\"number\"){$n[%2]=$v;$k[%2]=4}"
                  "else if(typeof $v===\"boolean\"||typeof $v===\"string\"){$o[%2]=$v;$k[%2]=2}"
                  "else if($v!==null){$k[%2]=0}}catch($e){}\n")
                  .arg(name, k);
      restore +=
          QStringLiteral("try{if($k[%2]===1)%1=$n[%2];else if($k[%2]===2)%1=$o[%2]}catch($e){}\n")
              .arg(name, k);
    }
    return QStringLiteral(
               "(function($n,$k,$o,$r){return [\n"
               "function($s){var $f=0,$v;\n"
               "if($s&8){\n%1$r()}\n"
               "%2"
               "if($s&1){try{dt=$n[%3]}catch($e){$f++}}\n"
               "if($s&2){try{t=$n[%4]}catch($e){$f++}}\n"
               "if($s&4){try{vi=$n[%5]}catch($e){$f++}}\n"
               "return $f},\n"
               "function(){return vo}]})")
        .arg(save, restore, QString::number(n), QString::number(n + 1), QString::number(n + 2));
  }

  static QString FunctionsSource() { return QStringLiteral("Funzioni del filtro"); }

  std::optional<Run> run_;
  ScriptHost* owner_ = nullptr;

  ScriptLimits limits_;
  JSContext* cx_ = nullptr;
  std::optional<JS::PersistentRootedObject> global_;
  std::unordered_map<CacheKey, CacheEntry, CacheKeyHash> cache_;
  std::unordered_map<QString, std::unique_ptr<Accessor>, QStringHash> accessors_;
  bool cache_enabled_ = true;
  uint64_t use_clock_ = 0;

  int depth_ = 0;
  StopReason stop_reason_ = StopReason::None;
  std::atomic<uint64_t> seq_{0};
  std::atomic<bool> active_{false};
  std::atomic<uint64_t> cancel_seq_{0};
  std::atomic<uint64_t> timeout_seq_{0};
  uint64_t memory_seq_ = 0;
  std::size_t memory_base_ = 0;

  std::function<void()> hook_;
  bool in_hook_ = false;
  std::chrono::steady_clock::time_point last_hook_{};

  std::condition_variable_any watch_wake_;
  std::jthread watchdog_;
};

ScriptHost::ScriptHost(ScriptLimits limits) : impl_(std::make_unique<Impl>(limits)) {
  impl_->SetOwner(this);
}
ScriptHost::~ScriptHost() = default;

ScriptStatus ScriptHost::LoadCode(const QString& text) { return impl_->LoadCode(text); }
Expected<ScriptValue> ScriptHost::Evaluate(const QString& text) {
  return impl_->Evaluate(text, QString());
}
Expected<ScriptValue> ScriptHost::Evaluate(const QString& text, const QString& source_name) {
  return impl_->Evaluate(text, source_name);
}
ScriptStatus ScriptHost::SetNumber(const QString& name, double value) {
  return impl_->SetNumber(name, value);
}
Expected<double> ScriptHost::GetNumber(const QString& name) { return impl_->GetNumber(name); }
void ScriptHost::SetBusyHook(std::function<void()> hook) { impl_->SetBusyHook(std::move(hook)); }
void ScriptHost::CancelRunningCall() { impl_->CancelRunningCall(); }
void ScriptHost::BeginRun(const std::vector<QString>& state_names, const QString& functions,
                          const QString& input_statement) {
  impl_->BeginRun(state_names, functions, input_statement);
}
void ScriptHost::ResetRunState() { impl_->ResetRunState(); }
void ScriptHost::SaveRunState() { impl_->SaveRunState(); }
int ScriptHost::RestoreRunState(double dt, double t, const double* vi) {
  return impl_->RestoreRunState(dt, t, vi);
}
Expected<double> ScriptHost::RunInputStatement() { return impl_->RunInputStatement(); }
ScriptStatus ScriptHost::RunFunctions() { return impl_->RunFunctions(); }
Expected<double> ScriptHost::ReadOutput() { return impl_->ReadOutput(); }
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
