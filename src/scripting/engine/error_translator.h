#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include "scripting/script_host.h"
#include "scripting/script_value.h"

namespace quorvel::engine {

class CallGuard;

// Errors the host makes itself.
ScriptError BusyError();
ScriptError NoRunError();
ScriptError OutOfMemoryError();

// Turns a failed engine call into a ScriptError: the pending exception (its kind as our number,
// the engine's message and the source line), or, with nothing pending, why the guard stopped the
// call. Reads nothing through script code (no toString of a thrown object).
class ErrorTranslator {
 public:
  ErrorTranslator(JSContext* cx, const CallGuard& guard, const ScriptLimits& limits)
      : cx_(cx), guard_(guard), limits_(limits) {}

  // Takes the pending exception (clearing it), or gives the stop.
  ScriptError Take();
  // Take when an exception is pending or the guard stopped the call; otherwise `fallback` (an
  // engine call that failed without saying why, as allocation failures may).
  ScriptError TakeOr(ScriptError fallback);

 private:
  ScriptError FromStop();
  bool IsErrorObject(JS::HandleValue v);

  JSContext* const cx_;
  const CallGuard& guard_;
  const ScriptLimits limits_;
};

}  // namespace quorvel::engine
