#include "widgets/status_panels.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QToolTip>

namespace quorvel {

StatusPanels::StatusPanels(int count, int readout_width, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("SB1"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 1, 0, 1);
  layout->setSpacing(2);
  for (int i = 1; i <= count; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("SB1_Panel%1").arg(i));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(3);
    panel->installEventFilter(this);
    if (i == 1) {
      panel->setFixedWidth(readout_width / 4);
      layout->addWidget(panel);
    } else if (i == 2) {
      layout->addWidget(panel, 1);
    } else {
      panel->setFixedWidth(readout_width);
      layout->addWidget(panel);
    }
    panels_.push_back(panel);
  }
}

int StatusPanels::WidthShowing(const QString& text) const {
  const QLabel* stretching = Panel(2);
  const QMargins margins = layout()->contentsMargins();
  int width = margins.left() + margins.right() + layout()->spacing() * (count() - 1);
  for (const QLabel* panel : panels_) {
    if (panel != stretching) width += panel->minimumWidth();
  }
  // The text, the indent on both sides and the sunken frame.
  return width + stretching->fontMetrics().horizontalAdvance(text) + 2 * stretching->indent() +
         2 * stretching->frameWidth() + 2;
}

QLabel* StatusPanels::Panel(int index) const {
  return index >= 1 && index <= count() ? panels_[static_cast<std::size_t>(index - 1)] : nullptr;
}

QString StatusPanels::Text(int index) const {
  const QLabel* panel = Panel(index);
  return panel ? panel->text() : QString();
}

void StatusPanels::SetText(int index, const QString& text) {
  if (QLabel* panel = Panel(index)) panel->setText(text);
}

QString StatusPanels::Tag(int index) const {
  const QLabel* panel = Panel(index);
  return panel ? panel->property("tag").toString() : QString();
}

void StatusPanels::SetTag(int index, const QString& tag) {
  if (QLabel* panel = Panel(index)) panel->setProperty("tag", tag);
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
  // A panel without a tool tip of its own whose text does not fit (a long error after a run, in
  // a narrow window) shows the whole text as its tool tip.
  if (event->type() == QEvent::ToolTip) {
    auto* panel = qobject_cast<QLabel*>(watched);
    if (panel && panel->toolTip().isEmpty()) {
      const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + panel->indent();
      if (needed > panel->contentsRect().width()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), panel->text(), panel);
      } else {
        QToolTip::hideText();
      }
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonRelease) {
    for (int i = 1; i <= count(); ++i) {
      if (watched == Panel(i)) {
        emit PanelClick(i);
        break;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvel
