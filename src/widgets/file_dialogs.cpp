#include "widgets/file_dialogs.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>

namespace quorvel {

namespace {

// Qt sizes the columns of the dialog's detail view for English captions and sample values. This
// keeps each column wide enough for its Italian caption ("Dimensione") and gives the name column
// what the view has left, so that the columns fit the view at any size of the dialog.
class ColumnsFitCaptions : public QObject {
 public:
  explicit ColumnsFitCaptions(QTreeView& view)
      : QObject(&view), view_(view), viewport_(view.viewport()) {
    viewport_->installEventFilter(this);
  }

 protected:
  // Compares pointers before anything else: the view sends events to its viewport while it is
  // destroyed, when it can no longer be asked anything.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == viewport_ && event->type() == QEvent::Resize) Fit();
    return QObject::eventFilter(watched, event);
  }

 private:
  void Fit() {
    QHeaderView& header = *view_.header();
    const int last = header.count() - 1;
    if (last < 1) return;
    int others = 0;
    for (int column = 1; column <= last; ++column) {
      const int wanted = header.sectionSizeHint(column);
      if (column < last && header.sectionSize(column) < wanted) {
        header.resizeSection(column, wanted);
      }
      others += column < last ? header.sectionSize(column) : wanted;
    }
    header.resizeSection(0, std::max(header.sectionSizeHint(0), viewport_->width() - others));
  }

  QTreeView& view_;
  QWidget* const viewport_;
};

}  // namespace

QString FileDialogs::StartFolder(const QString& test_path) const {
  if (!last_folder_.isEmpty()) return last_folder_;
  if (!test_path.isEmpty()) return QFileInfo(test_path).absolutePath();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString FileDialogs::Ask(QWidget* parent, bool save, const QString& filter, const QString& proposed,
                         const QString& test_path) {
  return AskFile(parent, save, QStringList{filter}, proposed, test_path).path;
}

ChosenFile FileDialogs::AskFile(QWidget* parent, bool save, const QStringList& filters,
                                const QString& proposed, const QString& test_path) {
  QFileDialog dialog(parent, save ? QStringLiteral("Salva") : QStringLiteral("Apri"),
                     StartFolder(test_path));
  dialog.setNameFilters(filters);
  dialog.setObjectName(QStringLiteral("CD1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    new ColumnsFitCaptions(*view);  // owned by the view
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  last_folder_ = dialog.directory().absolutePath();
  return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

}  // namespace quorvel
