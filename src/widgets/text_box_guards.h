#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace quorvel {

// Lets a window's menu shortcut win over a text box's own use of the same keys: the window's
// Ctrl+A is "Apri...", wherever the focus is; the box's context menu still offers "Seleziona
// tutto".
void GiveKeysToMenu(QWidget& box, const QKeySequence& keys);

// Takes test files dropped on a window or on one of its text boxes: a dropped ".flt" file is
// opened (`open` is called with its path) instead of its address being pasted as text. Any
// other drop (text into a text box) goes on as before.
class TestFileDrops : public QObject {
  Q_OBJECT

 public:
  TestFileDrops(QWidget& window, std::function<void(const QString&)> open);
  // A text box (or its viewport, where drops arrive) whose test file drops are taken.
  void Watch(QWidget& target);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QString&)> open_;
};

}  // namespace quorvel
