#pragma once

// Reading and replacing whole files without ever leaving one half written, and without reading
// without end.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace quorvel {

// The largest test file the program reads: far above any real test (a few kilobytes), small
// enough that a stranger's file cannot fill the memory.
inline constexpr qint64 kMaxTestFileBytes = qint64{16} << 20;

// Reads the whole file at `path` into `bytes`, stopping at `limit` bytes. nullopt on success;
// otherwise the description of the problem: the system's for a file that cannot be opened or
// read, "Il file supera il limite di 16 MiB di un file di test" (with the limit in MiB) for a
// longer one (a device such as /dev/zero included: reading stops after limit + 1 bytes).
// Opening a FIFO blocks until a writer opens it, as any read of it does.
std::optional<QString> ReadFileBytes(const QString& path, QByteArray& bytes,
                                     qint64 limit = kMaxTestFileBytes);

// The same for the process's standard input, read to its end (a pipe, a redirected file, a
// terminal until end of file), with the same limit and messages.
std::optional<QString> ReadStandardInputBytes(QByteArray& bytes, qint64 limit = kMaxTestFileBytes);

// Writes `bytes` to a new file beside `path` and, only once every byte is on disk, puts it in
// place of `path`. On failure the previous file is untouched and the result is the system's
// description of the error. (Qt's own buffered save reports success after a short write on a
// full disk, so the bytes go out unbuffered and the count is checked.)
//
// When no new file can be made beside it (a folder the user may not write, holding a file the
// user may) and `path` is an existing regular file that can be opened for writing, the bytes
// are written over it instead: room for them is reserved first, so that a full disk or a file
// size limit fails before anything is overwritten; then every byte is written and checked, the
// file cut to the new length and flushed to disk. A failure after the first byte was written
// says that the file may be damaged; it is never reported as saved.
//
// A path that names something other than a regular file or a folder (a device such as
// /dev/null, a FIFO, through a symbolic link or not) is written to as it is: it is never
// replaced by a regular file.
std::optional<QString> ReplaceFileContents(const QString& path, const QByteArray& bytes);

// The image as a Windows bitmap file's bytes; empty when it cannot be encoded.
QByteArray BitmapBytes(const QImage& image);

}  // namespace quorvel
