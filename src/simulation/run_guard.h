#pragma once

// One run at a time.

namespace quorvel {

// A run delivers events while it lasts, and an event can ask for another run
// (a slider of the oscilloscope, a menu command); a nested run would overwrite the dt, t, vi and
// vo of the engine under the outer run. The script engine is one per process, so the flag is too.
// A run takes the guard first and, when it is not acquired, returns at once without touching
// anything.
class RunGuard {
 public:
  RunGuard();
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  bool acquired() const { return acquired_; }
  // True while some run holds the guard (windows can disable their commands meanwhile).
  static bool RunInProgress();

 private:
  bool acquired_;
};

}  // namespace quorvel
