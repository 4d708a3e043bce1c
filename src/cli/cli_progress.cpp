#include "cli/cli_progress.h"

#include <algorithm>
#include <cmath>

namespace quorvel::cli {

namespace {

// How often the line is rewritten at most: often enough to look alive, rarely enough that a
// slow terminal does not slow the run.
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

constexpr char kSpinner[] = {'|', '/', '-', '\\'};

}  // namespace

std::string ProgressText(const QString& title, int percent, const QString& time_text,
                         std::int32_t errors, char spinner) {
  std::string text = title.toStdString();
  text += ' ';
  text += spinner;
  text += ' ';
  text += std::to_string(std::clamp(percent, 0, 100));
  text += "%  tempo residuo: ";
  text += time_text.toStdString();
  text += "  errori: ";
  text += std::to_string(errors);
  return text;
}

CliRunObserver::CliRunObserver(const std::atomic<bool>& interrupt, bool& cancel,
                               std::ostream* progress)
    : interrupt_(interrupt), cancel_(cancel), progress_(progress) {}

std::int64_t CliRunObserver::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

void CliRunObserver::Show2(const QString& /*callback_name*/, const QString& title) {
  title_ = title.isEmpty() ? QStringLiteral("Operazione in corso") : title;
  start_ = Clock::now();
  state_ = ProgressState(0);
  percent_ = 0;
  errors_ = 0;
  shown_ = true;
  Draw(true);
}

void CliRunObserver::SetPB(int percent) {
  percent = std::min(percent, 100);
  if (percent <= percent_) return;
  percent_ = percent;
  state_.SetPB(percent, NowMs());
  Draw(false);
}

void CliRunObserver::ShowAdv() { spinner_ = (spinner_ + 1) % 4; }

void CliRunObserver::AddErr() {
  if (errors_ < INT32_MAX) ++errors_;
  Draw(false);
}

void CliRunObserver::Unload2() {
  Clear();
  shown_ = false;
}

void CliRunObserver::PumpEvents() { Poll(); }

void CliRunObserver::PointAdded() {
  if (on_point_added_) on_point_added_();
}

void CliRunObserver::Poll() {
  if (interrupt_.load(std::memory_order_relaxed)) cancel_ = true;
  Draw(false);
}

void CliRunObserver::Draw(bool force) {
  if (progress_ == nullptr || !shown_) return;
  const Clock::time_point now = Clock::now();
  if (!force && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  state_.Timer1(NowMs());
  const std::string text =
      ProgressText(title_, percent_, state_.time_text(), errors_, kSpinner[spinner_ % 4]);
  // Blanks over what is left of a longer previous line.
  const std::size_t padding = drawn_width_ > text.size() ? drawn_width_ - text.size() : 0;
  *progress_ << '\r' << text << std::string(padding, ' ') << std::flush;
  drawn_width_ = text.size();
}

void CliRunObserver::Clear() {
  if (progress_ == nullptr || drawn_width_ == 0) return;
  *progress_ << '\r' << std::string(drawn_width_, ' ') << '\r' << std::flush;
  drawn_width_ = 0;
}

}  // namespace quorvel::cli
