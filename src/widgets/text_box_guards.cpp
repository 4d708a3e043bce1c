#include "widgets/text_box_guards.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace quorvel {

namespace {

class MenuKeysFirst : public QObject {
 public:
  MenuKeysFirst(QWidget& box, QKeySequence keys) : QObject(&box), keys_(std::move(keys)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (QKeySequence(key->keyCombination()) == keys_) {
        event->ignore();  // not the box's: the window's shortcut takes the keys
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QKeySequence keys_;
};

// The first local ".flt" file among the dropped addresses; empty when there is none.
QString DroppedTestFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() &&
        url.toLocalFile().endsWith(QStringLiteral(".flt"), Qt::CaseInsensitive)) {
      return url.toLocalFile();
    }
  }
  return {};
}

}  // namespace

void GiveKeysToMenu(QWidget& box, const QKeySequence& keys) {
  box.installEventFilter(new MenuKeysFirst(box, keys));
}

TestFileDrops::TestFileDrops(QWidget& window, std::function<void(const QString&)> open)
    : QObject(&window), open_(std::move(open)) {
  window.setAcceptDrops(true);
  window.installEventFilter(this);
}

void TestFileDrops::Watch(QWidget& target) { target.installEventFilter(this); }

bool TestFileDrops::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DroppedTestFile(drag->mimeData()).isEmpty()) break;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = DroppedTestFile(drop->mimeData());
      if (path.isEmpty()) break;
      drop->acceptProposedAction();
      open_(path);
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvel
