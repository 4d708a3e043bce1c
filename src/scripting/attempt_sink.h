#pragma once

#include "scripting/script_value.h"

namespace quorvel {

// What one attempt of a time step gives, part by part, in the order the parts run: the restore
// of the saved state with dt, t and vi (how many assignments failed); the input statement (runs
// without a given vi only); the functions text; the read of vo. Each part gets what its separate
// call would have given, and answers whether the attempt goes on: false ends it there, and the
// parts after it neither run nor report.
class AttemptSink {
 public:
  virtual bool Restored(const Expected<int>& failures) = 0;
  virtual bool Input(const Expected<double>& vi) = 0;
  virtual bool Functions(const ScriptStatus& status) = 0;
  virtual bool Output(const Expected<double>& vo) = 0;

 protected:
  AttemptSink() = default;
  AttemptSink(const AttemptSink&) = default;
  AttemptSink& operator=(const AttemptSink&) = default;
  ~AttemptSink() = default;
};

}  // namespace quorvel
