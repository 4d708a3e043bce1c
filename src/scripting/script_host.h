#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "scripting/attempt_sink.h"
#include "scripting/script_value.h"

namespace quorvel {

// Process-wide start and end of the script engine. The engine can be started once per process,
// before any ScriptHost exists, and must outlive every host: main() owns one of these.
class ScriptEngineInit {
 public:
  ScriptEngineInit();
  ~ScriptEngineInit();
  ScriptEngineInit(const ScriptEngineInit&) = delete;
  ScriptEngineInit& operator=(const ScriptEngineInit&) = delete;
};

struct ScriptLimits {
  // A call running longer than this is stopped and fails with script_errors::kTimeout.
  std::chrono::milliseconds call_time_limit{10000};
  // How often the busy hook runs while a call lasts.
  std::chrono::milliseconds busy_hook_interval{50};
  // What the scripts of one global scope may add to the process's resident memory, counted from
  // when the scope was created; the engine's own heap is held near the same size. A call that
  // finds the process past it, even after a garbage collection, is stopped and fails with
  // script_errors::kOutOfMemory.
  std::size_t memory_limit = std::size_t{256} << 20;
};

// The program's one script engine: a global scope in which filter texts run as global code.
// Every engine failure comes back as a ScriptError; nothing of the engine's API is visible
// outside this class, and no call throws (only the constructor may, at program start).
//
// Scripts see the standard ECMAScript built-ins and nothing else: no files, network, processes
// or host objects. Nothing the host uses to run them (generated functions, shared buffers) is
// reachable from a script, and nothing a call leaves behind outlives it unbounded: promise jobs
// are dropped, a runaway call is stopped, and memory is bounded by ScriptLimits.
//
// All calls come from one thread. CancelRunningCall alone may be called from any thread.
class ScriptHost {
 public:
  explicit ScriptHost(ScriptLimits limits = {});
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Runs code once in the global scope (the prelude); its definitions stay for the scope's life.
  ScriptStatus LoadCode(const QString& text);

  // Replaces the global scope by a fresh one that holds the standard built-ins only: every
  // global a script made is gone, the compiled texts are forgotten and a run in progress ends.
  // The caller loads the prelude again. Fails (keeping the old scope) only when the engine
  // cannot make a new one, or with kBusy from inside a call.
  ScriptStatus ResetGlobalScope();

  // Runs a text as global code and gives the value of its last expression. A text run again
  // re-runs its compiled script, with the same effect as running the text afresh. The source
  // name, when given, appears in error descriptions with the line ("Funzioni del filtro, riga 2").
  Expected<ScriptValue> Evaluate(const QString& text);
  Expected<ScriptValue> Evaluate(const QString& text, const QString& source_name);

  // Typed paths. SetNumber(name, x) has the effect of Evaluate(name + "=" + StatementNumber(x))
  // (so the stored value is x rounded to 15 significant digits); GetNumber(name) gives what
  // ToDouble(Evaluate(name)) gives. Neither parses text on a repeated call.
  ScriptStatus SetNumber(const QString& name, double value);
  Expected<double> GetNumber(const QString& name);

  // The conversion of an engine value to a double: numbers as they are, booleans 1 or 0,
  // undefined 0, texts that are numbers (decimal comma or point); anything else fails.
  static Expected<double> ToDouble(const ScriptValue& value);

  // Called about every busy_hook_interval while one call runs long, so that a window can keep
  // handling events during an endless loop. The hook must not call the host; a call made from
  // it fails with script_errors::kBusy.
  void SetBusyHook(std::function<void()> hook);

  // Stops the call that is running now, if any; it fails with script_errors::kCancelled. A call
  // that starts afterwards is not touched. Safe from any thread and from the busy hook.
  void CancelRunningCall();

  // The time-step loop's calls, prepared once per run so that a step compiles and parses
  // nothing. Each gives exactly the effect of its text form:
  //   SaveRunState       ReadVarValues over the state names (numbers rounded to 15 digits;
  //                      booleans and strings exactly; undefined and objects not saved; a name
  //                      the engine does not know, or null, keeps its saved value)
  //   RestoreRunState    WriteVarValues, then "dt=", "t=" and, when vi is given, "vi=" with
  //                      the numbers' statement texts; gives how many of these failed, or the
  //                      error that stopped the call (time limit, memory, cancel)
  //   RunInputStatement  Evaluate(input statement), converted with ToDouble
  //   RunFunctions       Evaluate(functions, "Funzioni del filtro")
  //   ReadOutput         GetNumber("vo")
  // Saved values start as 0, and ResetRunState sets them all back to 0. BeginRun fails only
  // when the engine cannot prepare the calls (out of memory, busy); EndRun ends the run, after
  // which nothing prepared for it can be reached any more. Step calls with no run in progress
  // fail with script_errors::kNoRun.
  ScriptStatus BeginRun(const std::vector<QString>& state_names, const QString& functions,
                        const QString& input_statement);
  void ResetRunState();
  void SaveRunState();
  Expected<int> RestoreRunState(double dt, double t, const double* vi);
  Expected<double> RunInputStatement();
  ScriptStatus RunFunctions();
  Expected<double> ReadOutput();
  void EndRun();

  // One attempt in one engine call: RestoreRunState, then RunInputStatement when vi is not
  // given, RunFunctions and ReadOutput, each part's result handed to `sink` as the separate call
  // would have given it. A given vi is the caller's 15-digit value (RoundTo15Digits leaves it as
  // it is): it is set as it is. A part that the host stopped (time limit, memory guard, cancel)
  // ends the attempt: it is reported and the parts after it neither run nor report. Gives true when
  // every part ran and the sink took each. Where one call cannot hold the attempt (state names
  // that only statement texts reach, no run, from inside a call) the parts are separate calls.
  // An exception from the sink comes out of this call (the engine's frames are left first).
  bool RunAttempt(double dt, double t, const double* vi, AttemptSink& sink);

  // Runs `body` inside one engine call, so that the host's calls that body makes are calls made
  // from inside another: the engine then skips the accounting it does for an outermost call
  // (two clock reads each), which a time-step loop would otherwise pay at every attempt. The
  // limits, cancels and the busy hook apply to each of those calls as they would to an
  // outermost one; ResetGlobalScope fails with kBusy meanwhile. An exception from body comes out
  // of this call. From inside a call, or when the engine cannot make the call, body runs
  // directly: the effect is the same.
  void RunInsideOneCall(const std::function<void()>& body);

  // With the cache off every Evaluate compiles its text again (for measurements only).
  void SetCompileCacheEnabled(bool enabled);
  std::size_t CompileCacheSize() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel
