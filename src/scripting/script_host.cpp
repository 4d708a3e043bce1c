#include "scripting/script_host.h"

#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <jsapi.h>

#include <jsfriendapi.h>

#include <cmath>
#include <exception>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "numbers/number_text.h"
#include "scripting/engine/call_guard.h"
#include "scripting/engine/compile_cache.h"
#include "scripting/engine/engine_context.h"
#include "scripting/engine/error_translator.h"
#include "scripting/engine/run_calls.h"
#include "scripting/engine/typed_access.h"

namespace quorvel {

using engine::CallScope;

// The facade's parts, each with one job (see their headers): the context and its globals, the
// guard of calls (all cross-thread state), the error translator, the compile cache, the typed
// accessors and the run's calls. Declared in the order they are made; they go in reverse.
class ScriptHost::Impl {
 public:
  Impl(ScriptLimits limits, ScriptHost& owner)
      : context_(limits.memory_limit),
        cx_(context_.cx()),
        guard_(cx_, limits),
        errors_(cx_, guard_, limits),
        global_(cx_),
        cache_(cx_, errors_),
        accessors_(cx_),
        run_(cx_, global_, guard_, errors_, cache_, accessors_, owner) {
    if (auto status = ResetGlobalScope(); !status) {
      throw std::runtime_error("script engine set-up failed: " +
                               status.error().description.toStdString());
    }
  }

  ScriptStatus LoadCode(const QString& text) {
    CallScope call(guard_);
    if (call.busy()) return engine::BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedScript script(cx_);
    if (auto error = cache_.Compile(text, QStringLiteral("Prelude"), &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return errors_.Take();
    return Ok();
  }

  // A fresh global; on success the old one and everything made in it is dropped, and the memory
  // guard counts from the new one.
  ScriptStatus ResetGlobalScope() {
    if (guard_.Busy() || in_one_call_) return engine::BusyError();
    JS::RootedObject global(cx_);
    {
      CallScope call(guard_);
      global = context_.NewGlobal();
      if (!global) return errors_.TakeOr(engine::OutOfMemoryError());
    }
    run_.ForgetScope();
    one_call_.reset();
    cache_.Clear();
    accessors_.Clear();
    global_ = global;
    engine::CollectGarbage(cx_);
    guard_.SetMemoryCeiling();
    return Ok();
  }

  Expected<ScriptValue> Evaluate(const QString& text, const QString& source) {
    CallScope call(guard_);
    if (call.busy()) return engine::BusyError();
    JSAutoRealm realm(cx_, global_);
    JS::RootedScript script(cx_);
    if (auto error = cache_.Get(text, source, &script)) return *error;
    JS::RootedValue rval(cx_);
    if (!JS_ExecuteScript(cx_, script, &rval)) return errors_.Take();
    return engine::ToScriptValue(cx_, rval);
  }

  ScriptStatus SetNumber(const QString& name, double value) {
    if (guard_.Busy()) return engine::BusyError();
    const engine::Accessors::Pair* pair = std::isfinite(value) ? FindAccessors(name) : nullptr;
    if (pair == nullptr) {
      // The statement text of a non-finite value does not parse; let the engine say so.
      auto result = Evaluate(name + u'=' + StatementNumber(value), QString());
      if (!result) return result.error();
      return Ok();
    }
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue arg(cx_, JS::NumberValue(RoundTo15Digits(value)));
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, pair->setter, JS::HandleValueArray(arg), &rval)) {
      return errors_.Take();
    }
    return Ok();
  }

  Expected<double> GetNumber(const QString& name) {
    if (guard_.Busy()) return engine::BusyError();
    const engine::Accessors::Pair* pair = FindAccessors(name);
    if (pair == nullptr) {
      auto result = Evaluate(name, QString());
      if (!result) return result.error();
      return ToDouble(*result);
    }
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    JS::RootedValue rval(cx_);
    if (!JS::Call(cx_, JS::UndefinedHandleValue, pair->getter, JS::HandleValueArray::empty(),
                  &rval)) {
      return errors_.Take();
    }
    return engine::ToNumber(cx_, rval);
  }

  void RunInsideOneCall(const std::function<void()>& body) {
    if (guard_.Busy() || in_one_call_) {
      body();
      return;
    }
    OneCall call{body, false, nullptr};
    {
      JSAutoRealm realm(cx_, global_);
      JS::RootedValue frame(cx_);
      if (one_call_) frame = *one_call_;
      if (frame.isUndefined()) {
        // A strict function that calls what it is given: a script frame for the body's calls
        // to be nested in, never reachable from a script.
        if (engine::EvaluateOwnCode(cx_, QStringLiteral("(function($b){'use strict';$b()})"),
                                    &frame) &&
            frame.isObject()) {
          one_call_ = std::make_unique<JS::PersistentRootedValue>(cx_, frame);
        } else {
          JS_ClearPendingException(cx_);
        }
      }
      JSFunction* native = frame.isObject()
                               ? js::NewFunctionWithReserved(cx_, &OneCallNative, 0, 0, "body")
                               : nullptr;
      if (native != nullptr) {
        JS::RootedObject native_object(cx_, JS_GetFunctionObject(native));
        js::SetFunctionNativeReserved(native_object, 0, JS::PrivateValue(&call));
        JS::RootedValue arg(cx_, JS::ObjectValue(*native_object));
        JS::RootedValue rval(cx_);
        in_one_call_ = true;
        if (!JS::Call(cx_, JS::UndefinedHandleValue, frame, JS::HandleValueArray(arg), &rval)) {
          JS_ClearPendingException(cx_);
        }
        in_one_call_ = false;
        // Whatever kept the native can no longer reach the body.
        js::SetFunctionNativeReserved(native_object, 0, JS::UndefinedValue());
      } else {
        JS_ClearPendingException(cx_);
      }
    }
    if (call.exception) std::rethrow_exception(call.exception);
    if (!call.ran) body();
  }

  void SetBusyHook(std::function<void()> hook) { guard_.SetHook(std::move(hook)); }
  void CancelRunningCall() { guard_.Cancel(); }
  engine::RunCalls& run() { return run_; }
  engine::CompileCache& cache() { return cache_; }

 private:
  // The accessors of a name, compiled in a call of their own on first use.
  const engine::Accessors::Pair* FindAccessors(const QString& name) {
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    return accessors_.Find(name);
  }

  struct OneCall {
    const std::function<void()>& body;
    bool ran = false;
    std::exception_ptr exception;
  };

  static bool OneCallNative(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const JS::Value& slot = js::GetFunctionNativeReserved(&args.callee(), 0);
    args.rval().setUndefined();
    if (!slot.isDouble()) return true;
    auto* call = static_cast<OneCall*>(slot.toPrivate());
    if (call->ran) return true;
    call->ran = true;
    try {
      call->body();
    } catch (...) {
      // Nothing may unwind through the engine's frames.
      call->exception = std::current_exception();
    }
    return true;
  }

  engine::EngineContext context_;
  JSContext* const cx_;
  engine::CallGuard guard_;
  engine::ErrorTranslator errors_;
  JS::PersistentRootedObject global_;
  engine::CompileCache cache_;
  engine::Accessors accessors_;
  engine::RunCalls run_;
  // The one-call frame of RunInsideOneCall, made once per global scope.
  std::unique_ptr<JS::PersistentRootedValue> one_call_;
  bool in_one_call_ = false;
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
      return engine::OutOfMemoryError();
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
  return Guarded([&] { return impl_->run().Begin(state_names, functions, input_statement); });
}
void ScriptHost::ResetRunState() { impl_->run().Reset(); }
void ScriptHost::SaveRunState() {
  Guarded([&] { impl_->run().Save(); });
}
Expected<int> ScriptHost::RestoreRunState(double dt, double t, const double* vi) {
  return Guarded([&] { return impl_->run().Restore(dt, t, vi); });
}
Expected<double> ScriptHost::RunInputStatement() {
  return Guarded([&] { return impl_->run().RunInput(); });
}
ScriptStatus ScriptHost::RunFunctions() {
  return Guarded([&] { return impl_->run().RunFunctions(); });
}
Expected<double> ScriptHost::ReadOutput() {
  return Guarded([&] { return impl_->run().ReadOutput(); });
}
void ScriptHost::EndRun() { impl_->run().End(); }
bool ScriptHost::RunAttempt(double dt, double t, const double* vi, AttemptSink& sink) {
  return impl_->run().Attempt(dt, t, vi, sink);
}
void ScriptHost::RunInsideOneCall(const std::function<void()>& body) {
  impl_->RunInsideOneCall(body);
}
void ScriptHost::SetCompileCacheEnabled(bool enabled) { impl_->cache().SetEnabled(enabled); }
std::size_t ScriptHost::CompileCacheSize() const { return impl_->cache().size(); }

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
