#include "window_core/data_folders.h"

#include <QDir>
#include <QStringList>

namespace quorvel {

bool ExamplesAvailable(const QString& folder) {
  const QDir dir(folder);
  if (!dir.exists()) return false;
  return !dir.entryList({QStringLiteral("*.flt")}, QDir::Files | QDir::Readable).isEmpty();
}

QString ExamplesFolderFor(const QString& application_dir) {
  const QDir dir(application_dir);
  const QString beside = dir.filePath(QStringLiteral("examples"));
  if (ExamplesAvailable(beside)) return beside;
  return QDir::cleanPath(dir.filePath(QStringLiteral("../share/quorvel/examples")));
}

}  // namespace quorvel
