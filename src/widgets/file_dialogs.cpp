#include "widgets/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvel {

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
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  last_folder_ = dialog.directory().absolutePath();
  return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

}  // namespace quorvel
