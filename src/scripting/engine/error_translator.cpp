#include "scripting/engine/error_translator.h"

#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <jsfriendapi.h>

#include "numbers/number_text.h"
#include "scripting/engine/call_guard.h"

namespace quorvel::engine {

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

ScriptError ErrorTranslator::TakeOr(ScriptError fallback) {
  if (JS_IsExceptionPending(cx_) || guard_.stop() != StopReason::None) return Take();
  return fallback;
}

ScriptError ErrorTranslator::FromStop() {
  switch (guard_.stop()) {
    case StopReason::Cancelled:
      return {script_errors::kCancelled, QStringLiteral("Script interrotto su richiesta")};
    case StopReason::Timeout:
      return {script_errors::kTimeout,
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

ScriptError ErrorTranslator::Take() {
  if (!JS_IsExceptionPending(cx_)) return FromStop();
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
  const bool error_object = IsErrorObject(stack.exception());
  if (error_object && report != nullptr) {
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
  // An Error object carries the place where it was made. A thrown value of another kind has
  // none: the engine takes one from the stack it saves at a throw, which it does only for the
  // first few throws of a scope, and otherwise from the frames that run when the error is read,
  // which are the host's own when a call is made from inside another. Neither says anything
  // stable, so such a value is described without a place.
  if (error_object && report != nullptr && report->lineno > 0) {
    const QString file = report->filename ? QString::fromUtf8(report->filename) : QString();
    const QString where = file.isEmpty() || file == u"accessor"
                              ? QStringLiteral("riga %1").arg(report->lineno)
                              : QStringLiteral("%1, riga %2").arg(file).arg(report->lineno);
    message += QStringLiteral(" (") + where + u')';
  }
  return {number, message};
}

bool ErrorTranslator::IsErrorObject(JS::HandleValue v) {
  if (!v.isObject()) return false;
  JS::RootedObject obj(cx_, &v.toObject());
  js::ESClass cls;
  if (!JS::GetBuiltinClass(cx_, obj, &cls)) {
    JS_ClearPendingException(cx_);
    return false;
  }
  return cls == js::ESClass::Error;
}

}  // namespace quorvel::engine
