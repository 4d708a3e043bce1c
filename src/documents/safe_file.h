#pragma once

// Replacing a file's contents without ever leaving it half written.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace quorvel {

// Writes `bytes` to a new file beside `path` and, only once every byte is on disk, puts it in
// place of `path`. On failure the previous file is untouched and the result is the system's
// description of the error. (Qt's own buffered save reports success after a short write on a
// full disk, so the bytes go out unbuffered and the count is checked.)
std::optional<QString> ReplaceFileContents(const QString& path, const QByteArray& bytes);

// The image as a Windows bitmap file's bytes; empty when it cannot be encoded.
QByteArray BitmapBytes(const QImage& image);

}  // namespace quorvel
