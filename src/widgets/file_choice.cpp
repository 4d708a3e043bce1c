#include "widgets/file_choice.h"

#include <QFileDialog>

namespace quorvel {

ChosenFile ChooseFile(QWidget& parent, bool save, QString& folder, const QStringList& filters,
                      const QString& proposed) {
  QFileDialog dialog(&parent, save ? QStringLiteral("Salva") : QStringLiteral("Apri"), folder);
  dialog.setObjectName(QStringLiteral("CD1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  folder = dialog.directory().absolutePath();
  return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

}  // namespace quorvel
