#pragma once

// Helpers of the window tests: finding controls by name and answering modal message boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorvel::testing {

template <typename T>
T* Child(const QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QLatin1String(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// What a message box showed.
struct SeenMessage {
  bool shown = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Watches for the next modal message box, records it and closes it with `button`.
class MessageBoxAnswer {
 public:
  explicit MessageBoxAnswer(QMessageBox::StandardButton button = QMessageBox::Ok)
      : seen_(std::make_shared<SeenMessage>()), timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [seen = seen_, button, t = timer_.get()] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen->shown = true;
      seen->title = box->windowTitle();
      seen->text = box->text();
      seen->icon = box->icon();
      t->stop();
      if (QAbstractButton* b = box->button(button)) {
        b->click();
      } else {
        box->reject();
      }
    });
    timer_->start();
  }
  const SeenMessage& seen() const { return *seen_; }

 private:
  std::shared_ptr<SeenMessage> seen_;
  std::unique_ptr<QTimer> timer_;
};

// Answers a sequence of modal dialogs in order: each step gets the next modal window that opens
// (a message box or a file dialog) and closes it. What the message boxes said is recorded.
class ModalAnswers {
 public:
  using Step = std::function<void(QWidget*)>;

  explicit ModalAnswers(std::vector<Step> steps)
      : state_(std::make_shared<State>()), timer_(std::make_unique<QTimer>()) {
    state_->steps = std::move(steps);
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [state = state_] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (modal == state->last.data()) {
        // A dialog that did not take the answer yet (a file dialog still reading its folder)
        // gets the same step again.
        if (++state->waited % 10 == 0) state->steps[state->next - 1](modal);
        return;
      }
      if (state->next >= state->steps.size()) return;
      state->last = modal;
      state->waited = 0;
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        state->messages.push_back({true, box->windowTitle(), box->text(), box->icon()});
      }
      state->steps[state->next++](modal);
    });
    timer_->start();
  }
  // Steps that have run.
  std::size_t answered() const { return state_->next; }
  const std::vector<SeenMessage>& messages() const { return state_->messages; }

  // Presses a message box's button.
  static Step Press(QMessageBox::StandardButton button) {
    return [button](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr) << "expected a message box";
      box->button(button)->click();
    };
  }
  // Chooses a file in a file dialog.
  static Step Choose(const QString& path) {
    return [path](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr) << "expected a file dialog";
      // selectFile leaves a name box that has the focus alone: take the focus away first.
      if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->clearFocus();
      }
      dialog->selectFile(path);
      auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
      ASSERT_NE(buttons, nullptr);
      QPushButton* accept =
          buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                          : QDialogButtonBox::Open);
      ASSERT_NE(accept, nullptr);
      QTest::mouseClick(accept, Qt::LeftButton);
    };
  }
  // Cancels whatever dialog it is.
  static Step Cancel() {
    return [](QWidget* modal) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    };
  }

 private:
  struct State {
    std::vector<Step> steps;
    std::size_t next = 0;
    QPointer<QWidget> last;
    int waited = 0;
    std::vector<SeenMessage> messages;
  };
  std::shared_ptr<State> state_;
  std::unique_ptr<QTimer> timer_;
};

// Where a control's ink is on its row: a label's text (left, right or centre aligned), or the
// whole of any other control.
inline std::pair<int, int> InkSpan(const QWidget& control) {
  const auto* label = qobject_cast<const QLabel*>(&control);
  if (!label) return {control.x(), control.geometry().right()};
  const QRect inside = label->contentsRect().translated(label->pos());
  const int text = label->fontMetrics().horizontalAdvance(label->text()) + label->margin();
  if (label->alignment() & Qt::AlignRight) return {inside.right() - text + 1, inside.right()};
  if (label->alignment() & Qt::AlignHCenter) {
    const int left = inside.center().x() - text / 2;
    return {left, left + text - 1};
  }
  return {inside.left(), inside.left() + text - 1};
}

// Every control of a frame lies below the frame's title and border, and no caption runs into the
// control after it on its row: each label shows its whole text and ends before its neighbour.
inline void ExpectFrameClear(const QGroupBox& frame) {
  SCOPED_TRACE(frame.objectName().toStdString());
  const QList<QWidget*> controls = frame.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const QWidget* control : controls) {
    if (!control->isVisibleTo(&frame)) continue;
    EXPECT_GE(control->y(), frame.contentsRect().top()) << control->objectName().toStdString();
    const auto* label = qobject_cast<const QLabel*>(control);
    if (!label || label->text().isEmpty()) continue;
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
    for (const QWidget* next : controls) {
      if (next == label || !next->isVisibleTo(&frame) || next->x() <= label->x()) continue;
      const bool same_row =
          next->y() < label->geometry().bottom() && label->y() < next->geometry().bottom();
      if (!same_row) continue;
      EXPECT_LT(InkSpan(*label).second, InkSpan(*next).first)
          << label->objectName().toStdString() << " runs into " << next->objectName().toStdString();
    }
  }
}

// The stretching panel 2 of a status bar shows the help mode's hint whole.
inline void ExpectHintWhole(const QLabel& panel, const QString& hint) {
  EXPECT_GE(panel.contentsRect().width() - 2 * panel.indent(),
            panel.fontMetrics().horizontalAdvance(hint));
}

// Whether `cover` (a panel over a graph) hides what lies under it: the window, grabbed where
// `cover` is, looks the same whichever of two pictures `show_under(0)` and `show_under(1)` put
// under it.
inline bool HidesWhatIsUnder(QWidget& cover, const std::function<void(int)>& show_under) {
  QWidget& window = *cover.window();
  const QRect where(cover.mapTo(&window, QPoint(0, 0)), cover.size());
  show_under(0);
  const QImage first = window.grab(where).toImage();
  show_under(1);
  const QImage second = window.grab(where).toImage();
  return first == second;
}

// "Chiudi" (the report panel's close label) ends its text well inside the panel's right edge.
inline void ExpectChiudiOffTheEdge(const QWidget& panel) {
  const auto* close = panel.findChild<QLabel*>(QStringLiteral("Label10"));
  ASSERT_NE(close, nullptr);
  EXPECT_LE(close->mapTo(&panel, close->contentsRect().topRight()).x(), panel.width() - 8);
}

}  // namespace quorvel::testing
