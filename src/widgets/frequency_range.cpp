#include "widgets/frequency_range.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <cmath>

#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "numbers/reversed_value.h"
#include "widgets/window_support.h"

namespace quorvel {

namespace {

constexpr double kLowestFrequency = 0.001;
constexpr double kHighestFrequency = 100000;

double UnitMultiplier(const QScrollBar& bar) { return std::pow(10.0, 3 * GetReversedValue(bar)); }

}  // namespace

FrequencyRange::FrequencyRange(QWidget& parent, const char* start_caption, const char* end_caption)
    : QObject(&parent) {
  setObjectName(QStringLiteral("range"));
  NewLabel(QStringLiteral("Frequenza iniziale:"), &parent, start_caption);
  txtStF_ = Named(new QLineEdit(QStringLiteral("1"), &parent), "txtStF");
  lblStFM_ = NewLabel(QStringLiteral("Hz"), &parent, "lblStFM");
  SStFM_ = NewBar(Qt::Vertical, 0, 3, &parent, "SStFM");
  NewLabel(QStringLiteral("Frequenza finale:"), &parent, end_caption);
  txtEnF_ = Named(new QLineEdit(QStringLiteral("1"), &parent), "txtEnF");
  lblEnFM_ = NewLabel(QStringLiteral("Hz"), &parent, "lblEnFM");
  SEnFM_ = NewBar(Qt::Vertical, 0, 3, &parent, "SEnFM");
  // The unit arrows are reached with Tab and set with the arrow keys.
  for (QScrollBar* bar : {SStFM_, SEnFM_}) bar->setFocusPolicy(Qt::StrongFocus);
  connect(SStFM_, &QScrollBar::valueChanged, this, &FrequencyRange::SStFM_Change);
  connect(SEnFM_, &QScrollBar::valueChanged, this, &FrequencyRange::SEnFM_Change);
}

void FrequencyRange::ApplyDefaults() {
  SetReversedValue(*SStFM_, 0);
  SetReversedValue(*SEnFM_, 1);
  // Bars already at their value announce no change: write both labels.
  SStFM_Change();
  SEnFM_Change();
}

void FrequencyRange::SStFM_Change() {
  start_multiplier_ = UnitMultiplier(*SStFM_);
  lblStFM_->setText(PrefixLetter(start_multiplier_) + QStringLiteral("Hz"));
}

void FrequencyRange::SEnFM_Change() {
  end_multiplier_ = UnitMultiplier(*SEnFM_);
  lblEnFM_->setText(PrefixLetter(end_multiplier_) + QStringLiteral("Hz"));
}

QString FrequencyRange::StartProblem() const {
  return ValidateNumber(txtStF_->text(), false, kLowestFrequency, kHighestFrequency);
}

QString FrequencyRange::EndProblem() const {
  return ValidateNumber(txtEnF_->text(), false, kLowestFrequency, kHighestFrequency);
}

double FrequencyRange::StartHertz() const {
  return ParseNumber(txtStF_->text()).value_or(0) * start_multiplier_;
}

double FrequencyRange::EndHertz() const {
  return ParseNumber(txtEnF_->text()).value_or(0) * end_multiplier_;
}

}  // namespace quorvel
