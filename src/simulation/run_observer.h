#pragma once

#include <QString>

namespace quorvel {

// How a run reports progress: the progress window's operations, plus event delivery. A window
// implements it with its progress window and its event loop; the command-line tool with a
// progress line and its Ctrl+C flag.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The run starts: show progress under this title; on cancel call the owner's `callback_name`.
  virtual void Show2(const QString& callback_name, const QString& title) = 0;
  // Progress in percent (0 to 255); lower or equal values than the last change nothing.
  virtual void SetPB(int percent) = 0;
  // The simulated time has advanced since the last report.
  virtual void ShowAdv() = 0;
  // One more error was counted.
  virtual void AddErr() = 0;
  // The run is over.
  virtual void Unload2() = 0;
  // Lets pending events be delivered (buttons that set the cancel flag run here).
  virtual void PumpEvents() = 0;
  // The run has just stored one more point (sweep) or sample (oscilloscope): the result's count
  // has grown by one. The command-line tool writes each row here.
  virtual void PointAdded() {}
};

// An observer that shows nothing (tests, benchmarks).
class SilentObserver : public RunObserver {
 public:
  void Show2(const QString&, const QString&) override {}
  void SetPB(int) override {}
  void ShowAdv() override {}
  void AddErr() override {}
  void Unload2() override {}
  void PumpEvents() override {}
};

}  // namespace quorvel
