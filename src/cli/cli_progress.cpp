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

std::optional<std::int64_t> EstimatedEndTick(std::int64_t start, std::int64_t now, int percent) {
  if (percent <= 0) return std::nullopt;
  const double elapsed = static_cast<double>(now - start + 1);
  const double total = 100.0 / (percent / elapsed);
  return start + static_cast<std::int64_t>(std::llround(total));
}

std::int64_t RemainingSeconds(std::int64_t end, std::int64_t now) {
  const std::int64_t ms = std::max<std::int64_t>(end - now, 0);
  std::int64_t seconds = ms / 1000;
  const std::int64_t rest = ms % 1000;
  if (rest > 500 || (rest == 500 && seconds % 2 == 1)) ++seconds;
  return seconds;
}

std::string ProgressText(const QString& title, int percent,
                         std::optional<std::int64_t> remaining_seconds, std::int32_t errors,
                         char spinner) {
  std::string text = title.toStdString();
  text += ' ';
  text += spinner;
  text += ' ';
  text += std::to_string(std::clamp(percent, 0, 100));
  text += "%  tempo residuo: ";
  text += remaining_seconds ? std::to_string(*remaining_seconds) + " secondi" : "stima in corso...";
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
  end_tick_.reset();
  percent_ = 0;
  errors_ = 0;
  shown_ = true;
  Draw(true);
}

void CliRunObserver::SetPB(int percent) {
  percent = std::min(percent, 100);
  if (percent <= percent_) return;
  percent_ = percent;
  end_tick_ = EstimatedEndTick(0, NowMs(), percent);
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
  std::optional<std::int64_t> remaining;
  if (end_tick_) remaining = RemainingSeconds(*end_tick_, NowMs());
  const std::string text =
      ProgressText(title_, percent_, remaining, errors_, kSpinner[spinner_ % 4]);
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
