#pragma once

// Helpers of the window tests: finding controls by name and answering modal message boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

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

}  // namespace quorvel::testing
