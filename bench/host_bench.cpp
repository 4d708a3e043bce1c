// Per-call costs of the script host: what one time step of a simulation pays for each crossing.
// Prints nanoseconds per call; run a Release or RelWithDebInfo build.
#include <chrono>
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
  return sink == 12345 ? 1 : 0;
}
