#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "scripting/attempt_sink.h"
#include "scripting/script_value.h"
#include "scripting/script_var_list.h"

namespace quorvel {
class ScriptHost;
}

namespace quorvel::engine {

class Accessors;
class CallGuard;
class CompileCache;
class ErrorTranslator;

// The time-step loop's calls of one run, prepared by Begin so that a step compiles and parses
// nothing (see ScriptHost for what each gives).
//
// The state names that strict code can address are saved and restored by two small strict
// functions generated for the run; they share two buffers with this class (numbers and kinds)
// so that a save or a restore is one engine call whatever the number of names. Assignments go
// through each name's accessor (a global-code assignment, which strict code would not make the
// same way). Numbers are rounded to 15 digits here, between the save and the next restore.
// Other names (digits only, words strict code reserves) go through the statement texts.
//
// Nothing of a run is reachable from scripts: the functions are strict, so no `caller` hands
// them out; exact values go into an object without prototype; the rounding native acts only for
// its own run while that run's restore runs; and End detaches the buffers before their memory
// goes. The generated source is compiled once per list of names in a global scope, and each
// run makes fresh functions from it over its own buffers.
class RunCalls {
 public:
  RunCalls(JSContext* cx, const JS::PersistentRootedObject& global, CallGuard& guard,
           ErrorTranslator& errors, CompileCache& cache, Accessors& accessors, ScriptHost& owner);
  ~RunCalls();
  RunCalls(const RunCalls&) = delete;
  RunCalls& operator=(const RunCalls&) = delete;

  // Ends any run in progress and prepares a new one; on failure there is no run.
  ScriptStatus Begin(const std::vector<QString>& state_names, const QString& functions,
                     const QString& input);
  void Reset();
  void Save();
  Expected<int> Restore(double dt, double t, const double* vi);
  Expected<double> RunInput();
  ScriptStatus RunFunctions();
  Expected<double> ReadOutput();
  // One attempt (Restore, RunInput when vi is not given, RunFunctions, ReadOutput) in one engine
  // call, each part's result handed to `sink`; see ScriptHost::RunAttempt.
  bool Attempt(double dt, double t, const double* vi, AttemptSink& sink);
  // Ends the run in progress, if any.
  void End();
  // The global scope is about to be replaced: ends the run and forgets the compiled source.
  void ForgetScope();

 private:
  struct Run;
  struct AttemptState;
  struct NamesHash {
    std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
  };

  std::optional<ScriptError> Prepare(const std::vector<QString>& all_names,
                                     const QString& functions, const QString& input);
  bool MakeHelpers(const std::vector<QString>& names, const JS::HandleValueArray& args);
  // A text of the run as a function, when it is plain code (an expression: its value is
  // returned); `out` stays as it is otherwise.
  void MakeFunction(const QString& text, const QString& source, bool expression,
                    JS::MutableHandleValue out);
  Expected<double> Outcome(const JS::CallArgs& args);
  // The parts of an attempt one by one, each its own engine call.
  bool AttemptSeparately(double dt, double t, const double* vi, AttemptSink& sink);
  // The parts after the restore, one by one.
  bool AttemptRest(const double* vi, AttemptSink& sink);
  // dt, t and vi into the numbers buffer, rounded (vi as it is when vi_rounded); gives the
  // restore's mask and counts the values that cannot be assigned.
  int PutStepValues(double dt, double t, const double* vi, bool vi_rounded, int& failures);
  void RoundSavedNumbers(double run_id);
  static bool RoundSavedNumbersNative(JSContext* cx, unsigned argc, JS::Value* vp);
  // Called by the generated attempt once the state is restored and after each of its functions:
  // reports the parts so far, runs the input statement and the functions text where they are
  // scripts and reports them.
  bool AttemptMiddle(double run_id, const JS::CallArgs& args);
  static bool AttemptMiddleNative(JSContext* cx, unsigned argc, JS::Value* vp);
  static QString HelpersSource(const std::vector<QString>& names);

  JSContext* const cx_;
  const JS::PersistentRootedObject& global_;
  CallGuard& guard_;
  ErrorTranslator& errors_;
  CompileCache& cache_;
  Accessors& accessors_;
  ScriptHost& owner_;

  std::unique_ptr<Run> run_;
  uint64_t run_count_ = 0;
  // The compiled maker of the helpers, per list of names ("\n"-joined); a few at most.
  std::unordered_map<QString, std::unique_ptr<JS::PersistentRootedValue>, NamesHash> makers_;
  // The texts made functions, per text; a few at most.
  std::unordered_map<QString, std::unique_ptr<JS::PersistentRootedValue>, NamesHash>
      function_makers_;
};

}  // namespace quorvel::engine
