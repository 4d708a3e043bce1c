#include "scripting/engine/typed_access.h"

#include <js/CompilationAndEvaluation.h>
#include <js/SourceText.h>
#include <js/String.h>

#include "scripting/script_host.h"

namespace quorvel::engine {

bool IsPlainIdentifier(const QString& name) {
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

bool EvaluateOwnCode(JSContext* cx, const QString& text, JS::MutableHandleValue out,
                     const char* file) {
  JS::CompileOptions options(cx);
  options.setFileAndLine(file, 1);
  JS::SourceText<char16_t> src;
  if (!src.init(cx, reinterpret_cast<const char16_t*>(text.utf16()),
                static_cast<size_t>(text.size()), JS::SourceOwnership::Borrowed)) {
    return false;
  }
  return JS::Evaluate(cx, options, src, out);
}

ScriptValue ToScriptValue(JSContext* cx, JS::HandleValue v) {
  if (v.isNumber()) return ScriptValue::Number(v.toNumber());
  if (v.isUndefined()) return ScriptValue();
  if (v.isNull()) return ScriptValue::Null();
  if (v.isBoolean()) return ScriptValue::Boolean(v.toBoolean());
  if (v.isString()) {
    JSString* str = v.toString();
    QString text(static_cast<qsizetype>(JS_GetStringLength(str)), Qt::Uninitialized);
    mozilla::Range<char16_t> dest(reinterpret_cast<char16_t*>(text.data()),
                                  static_cast<size_t>(text.size()));
    if (!JS_CopyStringChars(cx, dest, str)) {
      JS_ClearPendingException(cx);
      return ScriptValue::Object();
    }
    return ScriptValue::Text(std::move(text));
  }
  return ScriptValue::Object();
}

Expected<double> ToNumber(JSContext* cx, JS::HandleValue v) {
  if (v.isNumber()) return v.toNumber();
  return ScriptHost::ToDouble(ToScriptValue(cx, v));
}

const Accessors::Pair* Accessors::Find(const QString& name) {
  if (auto it = pairs_.find(name); it != pairs_.end()) return it->second.get();
  if (!IsPlainIdentifier(name)) return nullptr;
  JS::RootedValue getter(cx_);
  JS::RootedValue setter(cx_);
  const bool made =
      EvaluateOwnCode(cx_, QStringLiteral("(function(){return ") + name + QStringLiteral("})"),
                      &getter) &&
      getter.isObject() &&
      EvaluateOwnCode(cx_, QStringLiteral("(function($v){") + name + QStringLiteral("=$v})"),
                      &setter) &&
      setter.isObject();
  if (!made) {
    // Reserved words and the like: they take the text path, which fails as they should. A
    // failure for another reason (memory) is not remembered.
    const bool syntax = JS_IsExceptionPending(cx_);
    JS_ClearPendingException(cx_);
    if (syntax) pairs_.emplace(name, nullptr);
    return nullptr;
  }
  auto pair = std::make_unique<Pair>(cx_);
  pair->getter = getter;
  pair->setter = setter;
  const Pair* raw = pair.get();
  pairs_.emplace(name, std::move(pair));
  return raw;
}

}  // namespace quorvel::engine
