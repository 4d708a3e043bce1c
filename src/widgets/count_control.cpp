#include "widgets/count_control.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

#include "numbers/reversed_value.h"
#include "widgets/window_support.h"

namespace quorvel {

CountControl::CountControl(QWidget& parent, const char* label_name, const char* bar_name,
                           int minimum, int maximum, int step, int click_step)
    : QObject(&parent), click_step_(click_step) {
  label_ = NewLabel(QString::number(minimum), &parent, label_name);
  label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label_->setCursor(Qt::PointingHandCursor);
  label_->installEventFilter(this);
  bar_ = NewBar(Qt::Vertical, minimum, maximum, &parent, bar_name);
  bar_->setFocusPolicy(Qt::StrongFocus);  // reached with Tab, set with the arrow keys
  bar_->setSingleStep(step);
  bar_->setPageStep(step);
  connect(bar_, &QScrollBar::valueChanged, this, &CountControl::Bar_Change);
}

int CountControl::Value() const { return GetReversedValue(*bar_); }

void CountControl::SetValue(int value) {
  SetReversedValue(*bar_, value);
  Bar_Change();
}

void CountControl::Bar_Change() { label_->setText(QString::number(Value())); }

void CountControl::Label_MouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) (void)AddReversedValue(*bar_, click_step_);
  if (button == Qt::RightButton) (void)AddReversedValue(*bar_, -click_step_);
}

bool CountControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label_ && event->type() == QEvent::MouseButtonRelease) {
    Label_MouseUp(static_cast<QMouseEvent*>(event)->button());
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvel
