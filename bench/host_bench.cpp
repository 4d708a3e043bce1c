// Per-call costs of the script host: what one time step of a simulation pays for each crossing.
// Prints nanoseconds per call; run a Release or RelWithDebInfo build.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "numbers/number_text.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "scripting/script_var_list.h"

namespace {

using Clock = std::chrono::steady_clock;

double NsPerCall(const char* label, long calls, const std::function<void(long)>& body) {
  body(calls / 10);  // warm up: compile, let the JIT settle
  const auto start = Clock::now();
  body(calls);
  const double ns =
      std::chrono::duration<double, std::nano>(Clock::now() - start).count() / double(calls);
  std::printf("%-44s %10.1f ns/call\n", label, ns);
  return ns;
}

}  // namespace

int main() {
  using namespace quorvel;
  ScriptEngineInit engine;
  ScriptHost host;
  if (!host.LoadCode(PreludeText()).ok()) return 1;
  (void)host.Evaluate(u"vi = 0.5; vo = 0; y1 = 0; RC = 0.001; dt = 1e-6"_qs);
  const QString rc = u"vo = vo + (vi - vo) * dt / RC"_qs;
  constexpr long kCalls = 1'000'000;
  volatile double sink = 0;

  NsPerCall("Evaluate, cached text \"vo=vi\"", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) (void)host.Evaluate(u"vo=vi"_qs);
  });
  NsPerCall("Evaluate, cached RC low-pass text", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) (void)host.Evaluate(rc);
  });
  NsPerCall("SetNumber(\"t\", x)", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) (void)host.SetNumber(u"t"_qs, double(i) * 1.1e-7);
  });
  NsPerCall("GetNumber(\"vo\")", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) sink = sink + *host.GetNumber(u"vo"_qs);
  });
  NsPerCall("Evaluate(\"t=\" + number): text path, new text", kCalls / 10, [&](long n) {
    for (long i = 0; i < n; ++i)
      (void)host.Evaluate(u"t="_qs + StatementNumber(double(i) * 1.1e-7));
  });
  ScriptVarList list;
  CollectAssignedNames(rc, list);
  SetVar(list, u"dt"_qs, u"0"_qs);
  SetVar(list, u"vi"_qs, u"0"_qs);
  NsPerCall("ReadVarValues + WriteVarValues, 3 names", kCalls / 10, [&](long n) {
    for (long i = 0; i < n; ++i) {
      ReadVarValues(list, host);
      WriteVarValues(list, host);
    }
  });
  // One attempt of the time-step loop on the prepared run path (save, restore and set, run the
  // functions text, read vo), as the sweep drives it for the RC low-pass.
  CollectAssignedNames(u"RC = 0.001"_qs, list);
  SetVar(list, u"vo"_qs, u"0"_qs);
  if (!host.BeginRun(list.names, rc, QString()).ok()) return 1;
  NsPerCall("run path: save + restore/set + functions + read", kCalls, [&](long n) {
    double t = 0;
    for (long i = 0; i < n; ++i) {
      t += 1e-6;
      const double vi = std::sin(t * 6283.18530717958);
      host.SaveRunState();
      (void)host.RestoreRunState(1e-6, t, &vi);
      (void)host.RunFunctions();
      sink = sink + *host.ReadOutput();
    }
  });
  NsPerCall("  SaveRunState", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) host.SaveRunState();
  });
  NsPerCall("  RestoreRunState", kCalls, [&](long n) {
    const double vi = 0.5;
    for (long i = 0; i < n; ++i) (void)host.RestoreRunState(1e-6, double(i) * 1e-6, &vi);
  });
  NsPerCall("  RunFunctions", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) (void)host.RunFunctions();
  });
  NsPerCall("  ReadOutput", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) sink = sink + *host.ReadOutput();
  });
  // The same attempt as the runs make it: one engine call, and all of it inside one call.
  class Parts final : public AttemptSink {
   public:
    bool Restored(const Expected<int>&) override { return true; }
    bool Input(const Expected<double>&) override { return true; }
    bool Functions(const ScriptStatus&) override { return true; }
    bool Output(const Expected<double>& vo) override {
      last = *vo;
      return true;
    }
    double last = 0;
  } parts;
  auto whole_attempts = [&](long n) {
    double t = 0;
    for (long i = 0; i < n; ++i) {
      t += 1e-6;
      const double vi = RoundTo15Digits(std::sin(t * 6283.18530717958));
      host.SaveRunState();
      (void)host.RunAttempt(1e-6, t, &vi, parts);
      sink = sink + parts.last;
    }
  };
  NsPerCall("run path: save + whole attempt", kCalls, whole_attempts);
  NsPerCall("run path: save + whole attempt, inside one call", kCalls,
            [&](long n) { host.RunInsideOneCall([&] { whole_attempts(n); }); });
  NsPerCall("  Evaluate(\"0\") from inside one call", kCalls, [&](long n) {
    host.RunInsideOneCall([&] {
      for (long i = 0; i < n; ++i) (void)host.Evaluate(u"0"_qs);
    });
  });
  NsPerCall("  Evaluate(\"0\") outermost", kCalls, [&](long n) {
    for (long i = 0; i < n; ++i) (void)host.Evaluate(u"0"_qs);
  });
  host.EndRun();
  return sink == 12345 ? 1 : 0;
}
