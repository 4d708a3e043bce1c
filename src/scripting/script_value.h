#pragma once

#include <QString>

#include <cassert>
#include <utility>
#include <variant>

namespace quorvel {

// Error numbers the host gives to engine failures. The runs count errors 6 (overflow) and 513
// (time step) on their own, so none of these may ever be 6 or 513.
namespace script_errors {
inline constexpr int kOutOfMemory = 7;
inline constexpr int kTypeMismatch = 13;  // a value that does not convert to what the caller asked
inline constexpr int kSyntax = 1002;
inline constexpr int kRuntime = 5000;
inline constexpr int kTypeError = 5007;
inline constexpr int kUndefinedName = 5009;
inline constexpr int kThrown = 5022;  // a script's own throw of something that is not an Error
inline constexpr int kRangeError = 5029;
inline constexpr int kTimeout = 5100;
inline constexpr int kCancelled = 5101;
inline constexpr int kBusy = 5102;   // a call made while another call is running
inline constexpr int kNoRun = 5103;  // a time-step call with no run in progress

// The errors of a call that the host stopped (time limit, memory, cancel): whatever the call
// belonged to cannot usefully go on.
inline constexpr bool StopsTheRun(int number) {
  return number == kTimeout || number == kOutOfMemory || number == kCancelled;
}
}  // namespace script_errors

struct ScriptError {
  int number = 0;
  QString description;
};

// A value the engine handed back, copied out of it. Objects (arrays, functions, ...) keep only
// their kind: nothing outside the host holds on to engine memory.
class ScriptValue {
 public:
  enum class Kind { Undefined, Null, Boolean, Number, Text, Object };

  ScriptValue() = default;
  static ScriptValue Null() { return ScriptValue(Kind::Null); }
  static ScriptValue Object() { return ScriptValue(Kind::Object); }
  static ScriptValue Boolean(bool b) {
    ScriptValue v(Kind::Boolean);
    v.number_ = b ? 1 : 0;
    return v;
  }
  static ScriptValue Number(double x) {
    ScriptValue v(Kind::Number);
    v.number_ = x;
    return v;
  }
  static ScriptValue Text(QString s) {
    ScriptValue v(Kind::Text);
    v.text_ = std::move(s);
    return v;
  }

  Kind kind() const { return kind_; }
  bool IsNumber() const { return kind_ == Kind::Number; }
  double number() const { return number_; }
  bool boolean() const { return number_ != 0; }
  const QString& text() const { return text_; }

 private:
  explicit ScriptValue(Kind k) : kind_(k) {}
  Kind kind_ = Kind::Undefined;
  double number_ = 0;
  QString text_;
};

// A result or the error that took its place.
template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : v_(std::move(value)) {}            // NOLINT(google-explicit-constructor)
  Expected(ScriptError error) : v_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const {
    assert(ok());
    return std::get<0>(v_);
  }
  const T& operator*() const { return value(); }
  const T* operator->() const { return &value(); }
  const ScriptError& error() const {
    assert(!ok());
    return std::get<1>(v_);
  }

 private:
  std::variant<T, ScriptError> v_;
};

using ScriptStatus = Expected<std::monostate>;
inline ScriptStatus Ok() { return ScriptStatus(std::monostate{}); }

}  // namespace quorvel
