#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace quorvel {

// What the progress window shows, as plain state driven by the run's calls and the window's two
// timers; the window only copies it into its controls. Times are milliseconds of a steady clock.
class ProgressState {
 public:
  // Left edges of the four animation dots at start, in twips; dot 0 leads.
  static constexpr std::array<int, 4> kDotStart{480, 360, 240, 120};
  static constexpr int kDotStep = 120;

  explicit ProgressState(std::int64_t start_ms, int animation_width = 1800)
      : start_ms_(start_ms), animation_width_(animation_width) {}

  // Only a percent above the bar's value changes anything: the bar, and the estimated end.
  void SetPB(int percent, std::int64_t now_ms);
  void ShowAdv() { advance_pending_ = true; }
  void AddErr() { ++errors_; }

  // Every 500 ms: the remaining time and, past one error, the counted error message.
  void Timer1(std::int64_t now_ms);
  // Every 100 ms: the dots move on after an advance, or close up on dot 0.
  void Timer2();

  int bar() const { return bar_; }
  std::int64_t estimated_end_ms() const { return estimated_end_ms_; }
  const QString& time_text() const { return time_text_; }
  bool error_visible() const { return errors_ > 0; }
  int errors() const { return errors_; }
  const QString& error_text() const { return error_text_; }
  const std::array<int, 4>& dots() const { return dots_; }

 private:
  std::int64_t start_ms_;
  int animation_width_;
  int bar_ = 0;
  std::int64_t estimated_end_ms_ = 0;
  bool advance_pending_ = false;
  int errors_ = 0;
  QString time_text_ = QStringLiteral("stima in corso...");
  QString error_text_ = QStringLiteral("Si è verificato un errore durante l'operazione");
  std::array<int, 4> dots_ = kDotStart;
};

}  // namespace quorvel
