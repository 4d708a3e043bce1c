#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include <QHash>
#include <QString>

#include <memory>
#include <unordered_map>

#include "scripting/script_value.h"

namespace quorvel::engine {

// A name that a generated function can address as a global variable: letters, digits and "_",
// not starting with a digit, not "arguments" or "this" (and no "$": the generated functions'
// own names all have one).
bool IsPlainIdentifier(const QString& name);

// Runs a few lines of the host's own in the current realm (by default with "accessor" as their
// file name).
bool EvaluateOwnCode(JSContext* cx, const QString& text, JS::MutableHandleValue out,
                     const char* file = "accessor");

// An engine value copied out of the engine; strings whole, objects as their kind only. Nothing
// here runs script code (no conversion of objects).
ScriptValue ToScriptValue(JSContext* cx, JS::HandleValue v);
Expected<double> ToNumber(JSContext* cx, JS::HandleValue v);

// Per-name accessor functions, `function(){return name}` and `function($v){name=$v}`, compiled
// once in the current global: they resolve a name exactly as global code does (top-level `let`
// included), so a typed read or write has the effect of the statement text. Clear when the
// global is replaced.
class Accessors {
 public:
  struct Pair {
    explicit Pair(JSContext* cx) : getter(cx), setter(cx) {}
    JS::PersistentRootedValue getter;
    JS::PersistentRootedValue setter;
  };

  explicit Accessors(JSContext* cx) : cx_(cx) {}

  // Inside a call, in the global's realm. Null for a name they cannot address (not a plain
  // identifier, a reserved word), which the caller sends through the statement text.
  const Pair* Find(const QString& name);
  void Clear() { pairs_.clear(); }

 private:
  struct NameHash {
    std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
  };

  JSContext* const cx_;
  std::unordered_map<QString, std::unique_ptr<Pair>, NameHash> pairs_;
};

}  // namespace quorvel::engine
