#pragma once

// The command-line side of a run: a progress line on the terminal in place of the progress
// window, and Ctrl+C in place of its cancel button.

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "simulation/run_observer.h"
#include "window_core/progress_state.h"

namespace quorvel::cli {

// The text of the progress line, without "\r": the title, the percent, the remaining time as
// the progress window's state gives it ("stima in corso..." while there is no estimate, then
// "N secondi") and the error count.
std::string ProgressText(const QString& title, int percent, const QString& time_text,
                         std::int32_t errors, char spinner);

// The observer of a command-line run. The run reads a plain bool that only the run's thread may
// write; Ctrl+C sets an atomic from another thread, and the observer copies it into the bool at
// each event delivery (and at each Poll, which the script host's busy hook calls while a long
// engine call runs).
class CliRunObserver : public RunObserver {
 public:
  using Clock = std::chrono::steady_clock;

  // `progress` receives the progress line; nullptr draws nothing.
  CliRunObserver(const std::atomic<bool>& interrupt, bool& cancel, std::ostream* progress);

  void Show2(const QString& callback_name, const QString& title) override;
  void SetPB(int percent) override;
  void ShowAdv() override;
  void AddErr() override;
  void Unload2() override;
  void PumpEvents() override;
  void PointAdded() override;

  // Called at each PointAdded (the CSV writer); nullptr for none.
  void SetPointAdded(std::function<void()> on_point_added) {
    on_point_added_ = std::move(on_point_added);
  }

  // Copies the interrupt flag and redraws the line when it is due; touches no engine.
  void Poll();

  std::int32_t errors() const { return errors_; }

 private:
  std::int64_t NowMs() const;
  void Draw(bool force);
  void Clear();

  const std::atomic<bool>& interrupt_;
  bool& cancel_;
  std::ostream* progress_;
  QString title_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_{};
  // The progress window's state, whose estimate the line shows (its clock is this observer's
  // milliseconds since Show2).
  ProgressState state_{0};
  int percent_ = 0;
  std::int32_t errors_ = 0;
  int spinner_ = 0;
  std::size_t drawn_width_ = 0;
  bool shown_ = false;
  std::function<void()> on_point_added_;
};

}  // namespace quorvel::cli
