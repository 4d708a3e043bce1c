#include "scripting/engine/engine_context.h"

#include <js/CompilationAndEvaluation.h>
#include <js/ContextOptions.h>
#include <js/GCAPI.h>
#include <js/GlobalObject.h>
#include <js/Initialization.h>
#include <js/Promise.h>
#include <js/SourceText.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "scripting/script_host.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own allocator (declared here: not every compiler ships its header).
extern "C" void __sanitizer_purge_allocator();
#endif

namespace quorvel {

namespace {

// The engine's process-wide lifecycle: it can be initialised once, and at most one context may
// live at a time.
std::atomic<bool> engine_initialized{false};
std::atomic<int> live_hosts{0};

}  // namespace

ScriptEngineInit::ScriptEngineInit() {
  if (engine_initialized.exchange(true)) {
    throw std::logic_error("the script engine can be initialised once per process");
  }
  if (!JS_Init()) throw std::runtime_error("the script engine failed to initialise");
}

ScriptEngineInit::~ScriptEngineInit() { JS_ShutDown(); }

namespace engine {

namespace {

const JSClass kGlobalClass = {
    "global", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};

constexpr std::size_t kNativeStackQuota = std::size_t{2} << 20;

// Run once in every new global, before any other code.
const char kScopeSetUp[] =
    "(function(){'use strict';"
    "var t=Object.getOwnPropertyDescriptor(arguments,'callee').get;"
    "Object.defineProperty(Function.prototype,'caller',"
    "{get:t,set:t,enumerable:false,configurable:true});"
    "Object.defineProperty(Function.prototype,'arguments',"
    "{get:t,set:t,enumerable:false,configurable:true})})()";

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("script engine set-up failed: ") + what);
}

void ReleaseFreedMemory() {
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_purge_allocator();
#else
  malloc_trim(0);
#endif
}

}  // namespace

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

void CollectGarbage(JSContext* cx) {
  JS::PrepareForFullGC(cx);
  JS::NonIncrementalGC(cx, JS::GCOptions::Shrink, JS::GCReason::API);
  ReleaseFreedMemory();
}

// Promise jobs are never run: a call's jobs are dropped as they are queued, so nothing a call
// leaves behind can run later or pile up.
class EngineContext::JobQueue final : public JS::JobQueue {
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

EngineContext::EngineContext(std::size_t heap_limit) : jobs_(std::make_unique<JobQueue>()) {
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
  JS::SetJobQueue(cx_, jobs_.get());
  if (!JS::InitSelfHostedCode(cx_)) {
    Destroy();
    Fail("InitSelfHostedCode");
  }
  const std::size_t max_bytes = std::min<std::size_t>(heap_limit + heap_limit / 2, 0xFFF00000u);
  JS_SetGCParameter(cx_, JSGC_MAX_BYTES, static_cast<uint32_t>(max_bytes));
}

EngineContext::~EngineContext() { Destroy(); }

void EngineContext::Destroy() {
  if (cx_ == nullptr) return;
  JS_DestroyContext(cx_);
  cx_ = nullptr;
  live_hosts.fetch_sub(1);
}

JSObject* EngineContext::NewGlobal() {
  JS::RealmOptions options;
  JS::RootedObject global(
      cx_, JS_NewGlobalObject(cx_, &kGlobalClass, nullptr, JS::FireOnNewGlobalHook, options));
  if (!global) return nullptr;
  JSAutoRealm realm(cx_, global);
  if (!JS::InitRealmStandardClasses(cx_)) return nullptr;
  JS::CompileOptions compile(cx_);
  compile.setFileAndLine("scope", 1);
  JS::SourceText<mozilla::Utf8Unit> source;
  if (!source.init(cx_, kScopeSetUp, sizeof kScopeSetUp - 1, JS::SourceOwnership::Borrowed)) {
    return nullptr;
  }
  JS::RootedValue rval(cx_);
  if (!JS::Evaluate(cx_, compile, source, &rval)) return nullptr;
  return global;
}

}  // namespace engine
}  // namespace quorvel
