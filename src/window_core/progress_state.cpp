#include "window_core/progress_state.h"

#include <algorithm>

#include "numbers/number_text.h"

namespace quorvel {

void ProgressState::SetPB(int percent, std::int64_t now_ms) {
  if (percent <= bar_) return;
  bar_ = percent;
  // At this pace the whole run takes 100 / (percent per millisecond).
  const double elapsed = static_cast<double>(now_ms - start_ms_ + 1);
  const double total = 100.0 / (percent / elapsed);
  estimated_end_ms_ = start_ms_ + static_cast<std::int64_t>(Round(total, 0));
}

void ProgressState::Timer1(std::int64_t now_ms) {
  if (estimated_end_ms_ > 0) {
    const std::int64_t remaining = std::max<std::int64_t>(estimated_end_ms_ - now_ms, 0);
    time_text_ =
        NumberText(Round(static_cast<double>(remaining) / 1000, 0)) + QStringLiteral(" secondi");
  }
  if (errors_ > 1) {
    error_text_ = QStringLiteral("Si sono verificati %1 errori durante l'operazione").arg(errors_);
  }
}

void ProgressState::Timer2() {
  if (advance_pending_) {
    advance_pending_ = false;
    dots_[0] += kDotStep;
    if (dots_[3] >= animation_width_) dots_.fill(0);
    for (std::size_t i = 1; i < dots_.size(); ++i) {
      if (dots_[i - 1] - kDotStep > dots_[i]) dots_[i] = dots_[i - 1] - kDotStep;
    }
  } else {
    for (std::size_t i = dots_.size() - 1; i >= 1; --i) dots_[i] = dots_[i - 1];
  }
}

}  // namespace quorvel
