#include "scripting/engine/run_calls.h"

#include <js/Array.h>
#include <js/ArrayBuffer.h>
#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <js/PropertyAndElement.h>
#include <js/experimental/TypedData.h>
#include <jsfriendapi.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "numbers/number_text.h"
#include "scripting/engine/call_guard.h"
#include "scripting/engine/compile_cache.h"
#include "scripting/engine/error_translator.h"
#include "scripting/engine/typed_access.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"

namespace quorvel::engine {

namespace {

constexpr int32_t kSavedNothing = 0;
constexpr int32_t kSavedNumber = 1;
constexpr int32_t kSavedRawNumber = 4;  // left by the save, rounded before the restore

// Reserved slots of the run's natives (the rounding and the attempt's middle): their run's number
// and the RunCalls they report to.
constexpr size_t kRoundRunSlot = 0;
constexpr size_t kRoundOwnerSlot = 1;

constexpr std::size_t kMaxMakers = 16;

// Names that global code may use but strict code may not (the run helpers are strict).
// The same double, zeros told apart by their sign.
bool SameNumber(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

bool IsStrictModeReserved(const QString& name) {
  static const char16_t* const kWords[] = {u"implements", u"interface", u"let",    u"package",
                                           u"private",    u"protected", u"public", u"static",
                                           u"yield",      u"eval"};
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char16_t* w) { return name == QStringView(w); });
}

}  // namespace

struct RunCalls::Run {
  Run(JSContext* cx, uint64_t run_id)
      : id(run_id),
        restore(cx),
        read_output(cx),
        attempt(cx),
        numbers_buffer(cx),
        kinds_buffer(cx),
        functions(cx),
        input(cx),
        input_function(cx),
        functions_function(cx) {}
  uint64_t id;
  std::vector<QString> names;   // saved and restored by the generated functions
  ScriptVarList slow;           // the others, through statement texts
  std::vector<double> numbers;  // saved numbers, then dt, t, vi
  std::vector<int32_t> kinds;
  std::vector<double> rounded;  // each number as last rounded
  JS::PersistentRootedValue restore;
  JS::PersistentRootedValue read_output;
  JS::PersistentRootedValue attempt;
  JS::PersistentRootedObject numbers_buffer;
  JS::PersistentRootedObject kinds_buffer;
  JS::PersistentRootedScript functions;
  JS::PersistentRootedScript input;
  // The input statement and the functions text as functions, when they are plain code (see
  // IsPlainCode): the generated attempt calls them from its own code, which costs far less than
  // running a script.
  JS::PersistentRootedValue input_function;
  JS::PersistentRootedValue functions_function;
  std::optional<ScriptError> functions_error;
  std::optional<ScriptError> input_error;
  std::optional<ScriptError> stop;  // a statement-text call of the state that the host stopped
  bool has_input = false;
  bool save_pending = false;
  bool restoring = false;
  // The attempt in progress in the engine, if any: what its middle reports to.
  AttemptState* attempt_state = nullptr;
  // dt changes only when the step control changes it: its last rounding is kept.
  double dt_in = std::numeric_limits<double>::quiet_NaN();
  double dt_rounded = 0;
};

struct RunCalls::AttemptState {
  enum class Part { kRestore, kInput, kFunctions, kOutput };
  AttemptSink& sink;
  const double* vi;
  int failures = 0;            // dt, t or vi values that cannot be assigned
  Part part = Part::kRestore;  // the part running now, not yet reported
  bool ended = false;          // the sink ended the attempt, or threw
  bool stopped = false;        // the host stopped a part, which is reported
  std::exception_ptr exception;
};

RunCalls::RunCalls(JSContext* cx, const JS::PersistentRootedObject& global, CallGuard& guard,
                   ErrorTranslator& errors, CompileCache& cache, Accessors& accessors,
                   ScriptHost& owner)
    : cx_(cx),
      global_(global),
      guard_(guard),
      errors_(errors),
      cache_(cache),
      accessors_(accessors),
      owner_(owner) {}

RunCalls::~RunCalls() { End(); }

ScriptStatus RunCalls::Begin(const std::vector<QString>& state_names, const QString& functions,
                             const QString& input) {
  if (guard_.Busy()) return BusyError();
  End();
  try {
    run_ = std::make_unique<Run>(cx_, ++run_count_);
    if (auto error = Prepare(state_names, functions, input)) {
      End();
      return *error;
    }
  } catch (const std::bad_alloc&) {
    End();
    return OutOfMemoryError();
  }
  return Ok();
}

std::optional<ScriptError> RunCalls::Prepare(const std::vector<QString>& all_names,
                                             const QString& functions, const QString& input) {
  Run& run = *run_;
  CallScope call(guard_);
  JSAutoRealm realm(cx_, global_);
  for (const QString& name : all_names) {
    if (!IsStrictModeReserved(name) && accessors_.Find(name) != nullptr) {
      run.names.push_back(name);
    } else {
      SetVar(run.slow, name, QStringLiteral("0"));
    }
  }
  const std::size_t n = run.names.size();
  run.numbers.assign(n + 3, 0.0);
  run.kinds.assign(std::max<std::size_t>(n, 1), kSavedNumber);
  run.rounded.assign(n, 0.0);

  // The setters, in the order the generated functions bind them: the names', then dt, t, vi.
  JS::RootedValueVector setters(cx_);
  for (const QString& name : run.names) {
    if (!setters.append(accessors_.Find(name)->setter)) return OutOfMemoryError();
  }
  for (const char16_t* name : {u"dt", u"t", u"vi"}) {
    const Accessors::Pair* pair = accessors_.Find(QString::fromUtf16(name));
    if (pair == nullptr) return errors_.TakeOr(OutOfMemoryError());
    if (!setters.append(pair->setter)) return OutOfMemoryError();
  }

  run.numbers_buffer = JS::NewArrayBufferWithUserOwnedContents(
      cx_, run.numbers.size() * sizeof(double), run.numbers.data());
  if (!run.numbers_buffer) return errors_.TakeOr(OutOfMemoryError());
  run.kinds_buffer = JS::NewArrayBufferWithUserOwnedContents(
      cx_, run.kinds.size() * sizeof(int32_t), run.kinds.data());
  if (!run.kinds_buffer) return errors_.TakeOr(OutOfMemoryError());

  JS::RootedValueArray<6> args(cx_);
  args[0].setObjectOrNull(JS_NewFloat64ArrayWithBuffer(cx_, run.numbers_buffer, 0,
                                                       static_cast<int64_t>(run.numbers.size())));
  args[1].setObjectOrNull(
      JS_NewInt32ArrayWithBuffer(cx_, run.kinds_buffer, 0, static_cast<int64_t>(run.kinds.size())));
  args[2].setObjectOrNull(JS_NewObjectWithGivenProto(cx_, nullptr, nullptr));
  if (JSFunction* round =
          js::NewFunctionWithReserved(cx_, &RunCalls::RoundSavedNumbersNative, 0, 0, "round")) {
    JSObject* round_object = JS_GetFunctionObject(round);
    js::SetFunctionNativeReserved(round_object, kRoundRunSlot,
                                  JS::DoubleValue(static_cast<double>(run.id)));
    js::SetFunctionNativeReserved(round_object, kRoundOwnerSlot, JS::PrivateValue(this));
    args[3].setObject(*round_object);
  }
  args[4].setObjectOrNull(JS::NewArrayObject(cx_, setters));
  if (JSFunction* middle =
          js::NewFunctionWithReserved(cx_, &RunCalls::AttemptMiddleNative, 1, 0, "middle")) {
    JSObject* middle_object = JS_GetFunctionObject(middle);
    js::SetFunctionNativeReserved(middle_object, kRoundRunSlot,
                                  JS::DoubleValue(static_cast<double>(run.id)));
    js::SetFunctionNativeReserved(middle_object, kRoundOwnerSlot, JS::PrivateValue(this));
    args[5].setObject(*middle_object);
  }
  for (std::size_t i = 0; i < args.length(); ++i) {
    if (!args[i].isObject()) return errors_.TakeOr(OutOfMemoryError());
  }
  if (!MakeHelpers(run.names, args)) return errors_.TakeOr(OutOfMemoryError());

  JS::RootedScript script(cx_);
  run.functions_error = cache_.Get(functions, FunctionsSourceName(), &script);
  if (!run.functions_error) {
    run.functions = script;
    MakeFunction(functions, FunctionsSourceName(), false, &run.functions_function);
  }
  run.has_input = !input.isEmpty();
  if (run.has_input) {
    run.input_error = cache_.Get(input, QString(), &script);
    if (!run.input_error) {
      run.input = script;
      MakeFunction(input, QString(), true, &run.input_function);
    }
  }
  return std::nullopt;
}

// Code that does exactly the same as the body of a function as it does as global code (a text
// that compiles as a script): no declarations (var, function, class; top-level let and const
// are refused before a run), none of the words that mean something else inside a function
// (arguments, this, eval, new.target, return, yield, await), no strings, templates or escapes
// that could spell them. As an expression (`expression`: one line, no statements), its value is
// the statement's value.
bool IsPlainCode(const QString& text, bool expression) {
  if (text.isEmpty() || text.contains(u"=>")) return false;
  QString word;
  auto word_allowed = [&word] {
    static const char16_t* const kWords[] = {
        u"arguments", u"this",   u"eval",  u"new",   u"function", u"class",  u"import",
        u"var",       u"let",    u"const", u"yield", u"await",    u"async",  u"with",
        u"super",     u"delete", u"in",    u"of",    u"return",   u"typeof", u"void"};
    for (const char16_t* w : kWords) {
      if (word == QStringView(w)) return false;
    }
    return true;
  };
  const QStringView punctuation = expression ? QStringView(u" \t+-*/%()<>=!?:,.&|^~[]")
                                             : QStringView(u" \t\r\n+-*/%()<>=!?:,.&|^~[];{}");
  for (const QChar qc : text) {
    const char16_t c = qc.unicode();
    const bool word_char = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'_' || c == u'$';
    if (word_char) {
      word += qc;
      continue;
    }
    if (!word.isEmpty() && !word_allowed()) return false;
    word.clear();
    if (!punctuation.contains(qc)) return false;
  }
  return word.isEmpty() || word_allowed();
}

void RunCalls::MakeFunction(const QString& text, const QString& source, bool expression,
                            JS::MutableHandleValue out) {
  if (!IsPlainCode(text, expression)) return;
  const QString key = source + u'\n' + (expression ? u'e' : u's') + text;
  auto it = function_makers_.find(key);
  if (it == function_makers_.end()) {
    // The text from the first line on, as in its script, under the script's file name, so that
    // errors name the same place.
    const QString code = expression ? u"(function(){return ("_qs + text + u"\n)})"_qs
                                    : u"(function(){"_qs + text + u"\n})"_qs;
    const QByteArray file = source.toUtf8();
    JS::RootedValue made(cx_);
    if (!EvaluateOwnCode(cx_, code, &made, file.constData()) || !made.isObject()) {
      JS_ClearPendingException(cx_);
      return;
    }
    if (function_makers_.size() >= kMaxMakers) function_makers_.clear();
    it =
        function_makers_.emplace(key, std::make_unique<JS::PersistentRootedValue>(cx_, made)).first;
  }
  out.set(*it->second);
}

bool RunCalls::MakeHelpers(const std::vector<QString>& names, const JS::HandleValueArray& args) {
  QString key;
  for (const QString& name : names) key += name + u'\n';
  auto it = makers_.find(key);
  if (it == makers_.end()) {
    JS::RootedValue maker(cx_);
    if (!EvaluateOwnCode(cx_, HelpersSource(names), &maker) || !maker.isObject()) return false;
    if (makers_.size() >= kMaxMakers) makers_.clear();
    it = makers_.emplace(key, std::make_unique<JS::PersistentRootedValue>(cx_, maker)).first;
  }
  JS::RootedValue maker(cx_, *it->second);
  JS::RootedValue made(cx_);
  if (!JS::Call(cx_, JS::UndefinedHandleValue, maker, args, &made) || !made.isObject()) {
    return false;
  }
  JS::RootedObject helpers(cx_, &made.toObject());
  return JS_GetElement(cx_, helpers, 0, &run_->restore) &&
         JS_GetElement(cx_, helpers, 1, &run_->read_output) &&
         JS_GetElement(cx_, helpers, 2, &run_->attempt);
}

void RunCalls::Reset() {
  if (!run_) return;
  std::fill(run_->numbers.begin(), run_->numbers.end(), 0.0);
  std::fill(run_->rounded.begin(), run_->rounded.end(), 0.0);
  std::fill(run_->kinds.begin(), run_->kinds.end(), kSavedNumber);
  for (QString& value : run_->slow.values) value = QStringLiteral("0");
}

void RunCalls::Save() {
  if (!run_) return;
  Run& run = *run_;
  if (run.slow.count() > 0 && !run.stop) run.stop = ReadVarValues(run.slow, owner_);
  // The generated names are saved by the next restore call itself, in the same engine call:
  // nothing runs in the engine in between.
  run.save_pending = !run.names.empty();
}

int RunCalls::PutStepValues(double dt, double t, const double* vi, bool vi_rounded, int& failures) {
  Run& run = *run_;
  const std::size_t n = run.names.size();
  int mask = 0;
  // The statement text of a non-finite number does not parse: that assignment fails.
  auto put = [&](std::size_t slot, double value, int bit, bool rounded) {  // t and vi
    if (std::isfinite(value)) {
      run.numbers[n + slot] = rounded ? value : RoundTo15Digits(value);
      mask |= bit;
    } else {
      ++failures;
    }
  };
  if (std::isfinite(dt)) {
    // dt changes only when the step control changes it.
    if (!SameNumber(dt, run.dt_in)) {
      run.dt_in = dt;
      run.dt_rounded = RoundTo15Digits(dt);
    }
    run.numbers[n] = run.dt_rounded;
    mask |= 1;
  } else {
    ++failures;
  }
  put(1, t, 2, false);
  if (vi != nullptr) put(2, *vi, 4, vi_rounded);
  if (run.save_pending) mask |= 8;
  run.save_pending = false;
  return mask;
}

Expected<int> RunCalls::Restore(double dt, double t, const double* vi) {
  if (!run_) return NoRunError();
  Run& run = *run_;
  if (run.stop) return *run.stop;
  if (run.slow.count() > 0) {
    if ((run.stop = WriteVarValues(run.slow, owner_))) return *run.stop;
  }
  int failures = 0;
  const int mask = PutStepValues(dt, t, vi, false, failures);
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
    ScriptError error = errors_.Take();
    if (script_errors::StopsTheRun(error.number)) return error;
    return failures + 1;
  }
  return failures + (rval.isInt32() ? rval.toInt32() : 0);
}

Expected<double> RunCalls::RunInput() {
  if (!run_) return NoRunError();
  Run& run = *run_;
  if (!run.has_input) return 0.0;
  if (run.input_error) return *run.input_error;
  CallScope call(guard_);
  if (call.busy()) return BusyError();
  JSAutoRealm realm(cx_, global_);
  JS::RootedValue rval(cx_);
  if (!JS_ExecuteScript(cx_, run.input, &rval)) return errors_.Take();
  return ToNumber(cx_, rval);
}

ScriptStatus RunCalls::RunFunctions() {
  if (!run_) return NoRunError();
  Run& run = *run_;
  if (run.functions_error) return *run.functions_error;
  CallScope call(guard_);
  if (call.busy()) return BusyError();
  JSAutoRealm realm(cx_, global_);
  JS::RootedValue rval(cx_);
  if (!JS_ExecuteScript(cx_, run.functions, &rval)) return errors_.Take();
  return Ok();
}

Expected<double> RunCalls::ReadOutput() {
  if (!run_) return NoRunError();
  CallScope call(guard_);
  if (call.busy()) return BusyError();
  JSAutoRealm realm(cx_, global_);
  JS::RootedValue rval(cx_);
  if (!JS::Call(cx_, JS::UndefinedHandleValue, run_->read_output, JS::HandleValueArray::empty(),
                &rval)) {
    return errors_.Take();
  }
  return ToNumber(cx_, rval);
}

namespace {

bool StopsTheAttempt(const ScriptStatus& status) {
  return !status.ok() && script_errors::StopsTheRun(status.error().number);
}
bool StopsTheAttempt(const Expected<double>& value) {
  return !value.ok() && script_errors::StopsTheRun(value.error().number);
}

}  // namespace

bool RunCalls::Attempt(double dt, double t, const double* vi, AttemptSink& sink) {
  // One engine call needs a run whose state the generated functions hold entirely: state in
  // statement texts is read and written by calls of its own.
  if (!run_ || run_->stop || run_->slow.count() > 0 || guard_.Busy() || !run_->attempt.isObject()) {
    return AttemptSeparately(dt, t, vi, sink);
  }
  Run& run = *run_;
  using Part = AttemptState::Part;
  AttemptState state{sink, vi, 0, Part::kRestore, false, false, nullptr};
  const int mask = PutStepValues(dt, t, vi, true, state.failures);
  bool ok = false;
  JS::RootedValue rval(cx_);
  {
    CallScope call(guard_);
    JSAutoRealm realm(cx_, global_);
    JS::RootedValueArray<3> args(cx_);
    args[0].setInt32(mask);
    // The input function, where the run has no vi of its own; the functions text's function.
    args[1].set(vi == nullptr && run.input_function.isObject() ? run.input_function.get()
                                                               : JS::NullValue());
    args[2].set(run.functions_function.isObject() ? run.functions_function.get() : JS::NullValue());
    run.attempt_state = &state;
    run.restoring = true;
    ok = JS::Call(cx_, JS::UndefinedHandleValue, run.attempt, args, &rval);
    run.restoring = false;
    run.attempt_state = nullptr;
    if (state.exception || state.ended || state.stopped) JS_ClearPendingException(cx_);
  }
  if (state.exception) std::rethrow_exception(state.exception);
  if (state.ended || state.stopped) return false;
  switch (state.part) {
    case Part::kRestore: {
      // The restore did not get to the middle: the host stopped it.
      const ScriptError error = ok ? NoRunError() : errors_.Take();
      if (script_errors::StopsTheRun(error.number)) {
        sink.Restored(error);
        return false;
      }
      if (!sink.Restored(state.failures + 1)) return false;
      return AttemptRest(vi, sink);
    }
    case Part::kInput:
      // The host stopped the input function (what it throws is caught and reported).
      sink.Input(ok ? Expected<double>(NoRunError()) : Expected<double>(errors_.Take()));
      return false;
    case Part::kFunctions:
      // The host stopped the functions text's function (what it throws is caught and
      // reported).
      sink.Functions(ok ? ScriptStatus(NoRunError()) : ScriptStatus(errors_.Take()));
      return false;
    case Part::kOutput:
      break;
  }
  if (!ok) return sink.Output(errors_.Take());
  return sink.Output(ToNumber(cx_, rval));
}

bool RunCalls::AttemptSeparately(double dt, double t, const double* vi, AttemptSink& sink) {
  const Expected<int> restored = Restore(dt, t, vi);
  if (!sink.Restored(restored) || !restored.ok()) return false;
  return AttemptRest(vi, sink);
}

bool RunCalls::AttemptRest(const double* vi, AttemptSink& sink) {
  if (vi == nullptr) {
    const Expected<double> input = RunInput();
    if (!sink.Input(input) || StopsTheAttempt(input)) return false;
  }
  const ScriptStatus functions = RunFunctions();
  if (!sink.Functions(functions) || StopsTheAttempt(functions)) return false;
  return sink.Output(ReadOutput());
}

// What a function of the attempt gave: its value, or, when it threw, the error its script would
// have given (an Error carries its own place, another value none).
Expected<double> RunCalls::Outcome(const JS::CallArgs& args) {
  if (args[1].isTrue()) {
    JS_SetPendingException(cx_, args[2], JS::ExceptionStackBehavior::DoNotCapture);
    return errors_.Take();
  }
  return ToNumber(cx_, args[2]);
}

// The middle of an attempt, inside its engine call, in phases; each reports what ran before it
// and runs, as scripts, the parts after it that have no function, up to the next one that has.
//  0, restore_failures: the state is restored (restore_failures assignments failed, or -1 when
//     the restore threw).
//  1, threw, value: the input function gave value, or threw it.
//  2, threw, value: the functions text's function returned, or threw value.
// True when the generated attempt is to go on.
bool RunCalls::AttemptMiddle(double run_id, const JS::CallArgs& args) {
  using Part = AttemptState::Part;
  if (!run_ || static_cast<double>(run_->id) != run_id || run_->attempt_state == nullptr ||
      args.length() < 2 || !args[0].isInt32()) {
    return false;
  }
  Run& run = *run_;
  AttemptState& state = *run.attempt_state;
  const int phase = args[0].toInt32();
  const bool expected = (phase == 0 && state.part == Part::kRestore) ||
                        (phase == 1 && state.part == Part::kInput && args.length() >= 3) ||
                        (phase == 2 && state.part == Part::kFunctions && args.length() >= 3);
  if (!expected) return false;
  auto end = [&state] {
    state.ended = true;
    return false;
  };
  auto stop = [&state] {
    state.stopped = true;
    return false;
  };
  try {
    JS::RootedValue rval(cx_);
    if (phase == 0) {
      run.restoring = false;
      state.part = Part::kInput;
      const int restore_failures = args[1].isInt32() ? args[1].toInt32() : -1;
      const int failures =
          restore_failures < 0 ? state.failures + 1 : state.failures + restore_failures;
      if (!state.sink.Restored(failures)) return end();
      if (state.vi == nullptr) {
        if (run.input_function.isObject()) return true;
        Expected<double> input = 0.0;
        if (run.has_input) {
          if (run.input_error) {
            input = *run.input_error;
          } else if (!JS_ExecuteScript(cx_, run.input, &rval)) {
            input = errors_.Take();
          } else {
            input = ToNumber(cx_, rval);
          }
        }
        state.part = Part::kFunctions;
        if (!state.sink.Input(input)) return end();
        if (StopsTheAttempt(input)) return stop();
      }
    } else if (phase == 1) {
      const Expected<double> input = Outcome(args);
      state.part = Part::kFunctions;
      if (!state.sink.Input(input)) return end();
      if (StopsTheAttempt(input)) return stop();
    } else {
      const Expected<double> outcome = Outcome(args);
      const ScriptStatus functions = outcome ? Ok() : ScriptStatus(outcome.error());
      state.part = Part::kOutput;
      if (!state.sink.Functions(functions)) return end();
      if (StopsTheAttempt(functions)) return stop();
      return true;
    }
    state.part = Part::kFunctions;
    if (run.functions_function.isObject()) return true;
    ScriptStatus functions = Ok();
    if (run.functions_error) {
      functions = *run.functions_error;
    } else if (!JS_ExecuteScript(cx_, run.functions, &rval)) {
      functions = errors_.Take();
    }
    state.part = Part::kOutput;
    if (!state.sink.Functions(functions)) return end();
    if (StopsTheAttempt(functions)) return stop();
    return true;
  } catch (...) {
    // Nothing may unwind through the engine's frames: the attempt ends, and the exception goes
    // on from where the engine call was made.
    state.exception = std::current_exception();
    return end();
  }
}

bool RunCalls::AttemptMiddleNative(JSContext*, unsigned argc, JS::Value* vp) {
  JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
  const JS::Value& id = js::GetFunctionNativeReserved(&args.callee(), kRoundRunSlot);
  const JS::Value& owner = js::GetFunctionNativeReserved(&args.callee(), kRoundOwnerSlot);
  bool go_on = false;
  if (id.isNumber() && owner.isDouble()) {
    go_on = static_cast<RunCalls*>(owner.toPrivate())->AttemptMiddle(id.toNumber(), args);
  }
  args.rval().setBoolean(go_on);
  return true;
}

void RunCalls::End() {
  // From inside a call (the busy hook) the run's functions may be on the stack: leave it.
  if (!run_ || guard_.Busy()) return;
  // The buffers' memory belongs to the run: cut the engine's view of it first, so that nothing
  // that still points at them (were anything to) can touch that memory.
  for (JSObject* buffer : {run_->numbers_buffer.get(), run_->kinds_buffer.get()}) {
    if (buffer == nullptr) continue;
    JSAutoRealm realm(cx_, buffer);
    JS::RootedObject obj(cx_, buffer);
    if (!JS::DetachArrayBuffer(cx_, obj)) JS_ClearPendingException(cx_);
  }
  run_.reset();
}

void RunCalls::ForgetScope() {
  End();
  makers_.clear();
  function_makers_.clear();
}

// Called by the generated restore right after it saved the state: the numbers it left in the
// buffer are rounded as their 15-digit texts would be.
void RunCalls::RoundSavedNumbers(double run_id) {
  if (!run_ || static_cast<double>(run_->id) != run_id || !run_->restoring) return;
  Run& run = *run_;
  const std::size_t n = run.names.size();
  // What the last restore set dt, t and vi to: already rounded, as every state variable that
  // still holds one of them (dt and vi are state).
  const double set_dt = run.numbers[n];
  const double set_t = run.numbers[n + 1];
  const double set_vi = run.numbers[n + 2];
  for (std::size_t i = 0; i < n; ++i) {
    if (run.kinds[i] != kSavedRawNumber) continue;
    const double raw = run.numbers[i];
    if (!std::isfinite(raw)) {
      // Its text ("1,#INF") would not parse back: the restore skips it.
      run.kinds[i] = kSavedNothing;
      continue;
    }
    run.kinds[i] = kSavedNumber;
    // A value that did not change since it was last rounded is already rounded.
    if (SameNumber(raw, run.rounded[i]) || SameNumber(raw, set_dt) || SameNumber(raw, set_vi) ||
        SameNumber(raw, set_t)) {
      run.rounded[i] = raw;
      continue;
    }
    run.rounded[i] = run.numbers[i] = RoundTo15Digits(raw);
  }
}

bool RunCalls::RoundSavedNumbersNative(JSContext*, unsigned argc, JS::Value* vp) {
  JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
  const JS::Value& id = js::GetFunctionNativeReserved(&args.callee(), kRoundRunSlot);
  const JS::Value& owner = js::GetFunctionNativeReserved(&args.callee(), kRoundOwnerSlot);
  if (id.isNumber() && owner.isDouble()) {
    static_cast<RunCalls*>(owner.toPrivate())->RoundSavedNumbers(id.toNumber());
  }
  args.rval().setUndefined();
  return true;
}

// Source of a strict function that, given the shared buffers, an object for exact values, the
// rounding function, the setters and the attempt's middle, returns the run's three helpers: the
// restore (which saves first when asked), the read of vo, and the whole attempt (the restore,
// the middle, which runs the input statement and the functions text, then the read of vo).
QString RunCalls::HelpersSource(const std::vector<QString>& names) {
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
             "(function($n,$k,$o,$r,$a,$x){'use strict';\n"
             "%1var $sd=$a[%4],$st=$a[%5],$sv=$a[%6];\n"
             "var $restore=function($m){var $f=0,$v;\n"
             "if($m&8){\n%2$r()}\n"
             "%3"
             "if($m&1){try{$sd($n[%4])}catch($e){$f++}}\n"
             "if($m&2){try{$st($n[%5])}catch($e){$f++}}\n"
             "if($m&4){try{$sv($n[%6])}catch($e){$f++}}\n"
             "return $f};\n"
             "return [$restore,\n"
             "function(){return vo},\n"
             "function($m,$i,$g){var $f;try{$f=$restore($m)}catch($e){$f=-1}\n"
             "if(!$x(0,$f))return;\n"
             "if($i!==null){var $v,$t=false;try{$v=$i()}catch($e){$t=true;$v=$e}\n"
             "if(!$x(1,$t,$v))return}\n"
             "if($g!==null){var $u,$w=false;try{$g()}catch($e){$w=true;$u=$e}\n"
             "if(!$x(2,$w,$u))return}\n"
             "return vo}]})")
      .arg(bind, save, restore, QString::number(n), QString::number(n + 1), QString::number(n + 2));
}

}  // namespace quorvel::engine
