#include "widgets/context_help.h"

#include <QKeyEvent>

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

#include "widgets/graph_surface.h"
#include "widgets/help_window.h"
#include "widgets/status_panels.h"
#include "window_core/help_book.h"

namespace quorvel {
namespace {

enum class HelpKind {
  kFindable,    // found under the mouse: its own tag answers
  kWindowless,  // labels and lines: their container answers
  kOther,       // owns a window but is not findable: the window answers
};

bool IsExactly(const QWidget* widget, const QMetaObject& meta) {
  return widget->metaObject() == &meta;
}

HelpKind KindOf(const QWidget* widget) {
  if (qobject_cast<const QLabel*>(widget)) return HelpKind::kWindowless;
  if (IsExactly(widget, QFrame::staticMetaObject)) {
    const auto* frame = static_cast<const QFrame*>(widget);
    const QFrame::Shape shape = frame->frameShape();
    return shape == QFrame::HLine || shape == QFrame::VLine ? HelpKind::kWindowless
                                                            : HelpKind::kFindable;
  }
  // A plain widget only groups controls (a window's client area): it belongs to its parent.
  if (IsExactly(widget, QWidget::staticMetaObject)) return HelpKind::kWindowless;
  if (const auto* bar = qobject_cast<const QScrollBar*>(widget)) {
    return bar->orientation() == Qt::Vertical ? HelpKind::kFindable : HelpKind::kOther;
  }
  if (qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QSlider*>(widget) ||
      qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QPushButton*>(widget) ||
      qobject_cast<const QToolButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
      qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
      qobject_cast<const GraphSurface*>(widget) || qobject_cast<const QProgressBar*>(widget) ||
      qobject_cast<const QStatusBar*>(widget) || qobject_cast<const StatusPanels*>(widget)) {
    return HelpKind::kFindable;
  }
  return HelpKind::kOther;
}

// True when `part` is one of the inner pieces that `control` is built from (a text box's
// viewport and scroll bars, a combo box's line edit, a tab bar's scroll buttons), not a
// control placed inside it.
bool IsInnerPartOf(const QWidget* part, const QWidget* control) {
  if (const auto* area = qobject_cast<const QScrollArea*>(control)) {
    const QWidget* content = area->widget();
    return !(content && (content == part || content->isAncestorOf(part)));
  }
  return qobject_cast<const QAbstractScrollArea*>(control) ||
         qobject_cast<const QComboBox*>(control) ||
         qobject_cast<const QAbstractSpinBox*>(control) || qobject_cast<const QTabBar*>(control);
}

// The control that a widget under the mouse belongs to: the outermost compound control that
// has it as an inner part, or the widget itself.
const QWidget* ControlOf(const QWidget* widget, const QWidget* window) {
  const QWidget* control = widget;
  for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
    if (IsInnerPartOf(widget, up)) control = up;
  }
  return control;
}

}  // namespace

void SetHelpContext(QWidget& widget, const QString& context) {
  widget.setProperty(kHelpContextProperty, context);
}

QString HelpContextOf(const QWidget& widget) {
  return widget.property(kHelpContextProperty).toString();
}

const QWidget* ControlAtPoint(const QWidget* window, QPoint global_pos) {
  const QWidget* hit = QApplication::widgetAt(global_pos);
  if (!hit || hit == window || !window->isAncestorOf(hit)) return window;
  for (const QWidget* control = ControlOf(hit, window); control && control != window;) {
    switch (KindOf(control)) {
      case HelpKind::kFindable:
        return control;
      case HelpKind::kWindowless:
        control = control->parentWidget();
        if (control && control != window) control = ControlOf(control, window);
        break;
      case HelpKind::kOther:
        return window;
    }
  }
  return window;
}

QString HelpContextAt(const QWidget* window, QPoint global_pos) {
  return HelpContextOf(*ControlAtPoint(window, global_pos));
}

QString HelpContextUnderCursor(const QWidget* window) {
  return HelpContextAt(window, QCursor::pos());
}

bool HelpModeOn(const QWidget& window) {
  return window.testAttribute(Qt::WA_SetCursor) && window.cursor().shape() == Qt::WhatsThisCursor;
}

void SetHelpMode(QWidget& window, bool on) {
  // Controls with a pointer of their own (text boxes, value labels, splitters, the oscilloscope's
  // screen) show the help pointer too while help mode lasts, and get theirs back after it.
  static constexpr char kOwnCursor[] = "helpModeOwnCursor";
  if (on) {
    window.setCursor(Qt::WhatsThisCursor);
    for (QWidget* control : window.findChildren<QWidget*>()) {
      if (!control->testAttribute(Qt::WA_SetCursor) || control->window() != &window) continue;
      if (!control->property(kOwnCursor).isValid()) {
        control->setProperty(kOwnCursor, QVariant::fromValue(control->cursor()));
      }
      control->setCursor(Qt::WhatsThisCursor);
    }
  } else {
    window.unsetCursor();
    for (QWidget* control : window.findChildren<QWidget*>()) {
      const QVariant own = control->property(kOwnCursor);
      if (!own.isValid()) continue;
      control->setCursor(own.value<QCursor>());
      control->setProperty(kOwnCursor, QVariant());
    }
  }
}

QString ToggleHelpMode(QWidget& window) {
  const bool on = !HelpModeOn(window);
  SetHelpMode(window, on);
  return (on ? kHelpModeHint : kCreditLine).toString();
}

std::optional<QString> HelpKeyReleased(QWidget& window, int key, const QString& help_folder) {
  if (key != Qt::Key_Control || !HelpModeOn(window)) return std::nullopt;
  SetHelpMode(window, false);
  if (!HelpBook(help_folder).Available()) return kHelpNotAvailableStatus.toString();
  ShowHelpTopic(&window, help_folder, HelpContextUnderCursor(&window));
  return kCreditLine.toString();
}

void ShowHelpContents(QWidget* parent, const QString& help_folder) {
  if (!HelpBook(help_folder).Available()) {
    QMessageBox::information(parent, kHelpNotAvailableTitle.toString(),
                             kHelpNotAvailableText.toString());
    return;
  }
  ShowHelpTopic(parent, help_folder, QString());
}

HelpKeyWatcher::HelpKeyWatcher(QWidget& window, std::function<void(int key)> released)
    : QObject(&window), window_(window), released_(std::move(released)) {
  qApp->installEventFilter(this);
}

bool HelpKeyWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == &window_) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat()) released_(key->key());
  }
  return false;
}

}  // namespace quorvel
