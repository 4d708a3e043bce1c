#include "documents/safe_file.h"

#include <QBuffer>
#include <QSaveFile>

namespace quorvel {

std::optional<QString> ReplaceFileContents(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
  if (file.write(bytes) != bytes.size()) {
    QString problem = file.errorString();
    if (file.error() == QFileDevice::NoError) {
      problem = QStringLiteral("Spazio su disco insufficiente: il file non è stato scritto");
    }
    file.cancelWriting();
    return problem;
  }
  if (!file.commit()) return file.errorString();
  return std::nullopt;
}

QByteArray BitmapBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "BMP")) return {};
  return bytes;
}

}  // namespace quorvel
