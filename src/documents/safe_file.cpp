#include "documents/safe_file.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {

QString SystemError(int error_number) {
  return QString::fromLocal8Bit(std::strerror(error_number));
}

QString TooLarge(qint64 limit) {
  return QStringLiteral("Il file supera il limite di %1 MiB di un file di test")
      .arg(static_cast<double>(limit) / (1 << 20));
}

// Closes a descriptor once, whatever the path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and gives close()'s result (a late write error can surface here).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// The bytes written over the file itself. nullopt when the file cannot be opened for this (the
// caller then reports its own error), otherwise the outcome: an empty text for success.
std::optional<QString> WriteInPlace(const QString& path, const QByteArray& bytes) {
  Descriptor fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

  // Room first: a full disk or a size limit fails here, with the old contents intact.
  const off_t size = static_cast<off_t>(bytes.size());
  if (size > status.st_size) {
    const int reserved = ::posix_fallocate(fd.get(), 0, size);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      return QStringLiteral("Impossibile salvare il file (non modificato): ") +
             SystemError(reserved);
    }
  }

  const QString damaged = QStringLiteral(
      "Il file è stato scritto solo in parte e potrebbe essere "
      "danneggiato: ");
  off_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pwrite(fd.get(), bytes.constData() + done, static_cast<size_t>(size - done), done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return damaged + SystemError(n < 0 ? errno : ENOSPC);
    done += n;
  }
  if (::ftruncate(fd.get(), size) != 0) return damaged + SystemError(errno);
  if (::fsync(fd.get()) != 0) return damaged + SystemError(errno);
  if (fd.Close() != 0) return damaged + SystemError(errno);
  return QString();
}

std::optional<QString> ReadDeviceBytes(QIODevice& device, QByteArray& bytes, qint64 limit) {
  bytes.clear();
  constexpr qint64 kChunk = 64 * 1024;
  while (true) {
    const qint64 room = limit + 1 - bytes.size();
    if (room <= 0) {
      bytes.clear();
      return TooLarge(limit);
    }
    const qint64 old_size = bytes.size();
    bytes.resize(old_size + std::min(kChunk, room));
    const qint64 n = device.read(bytes.data() + old_size, bytes.size() - old_size);
    if (n < 0) {
      bytes.clear();
      return device.errorString();
    }
    bytes.resize(old_size + n);
    if (n == 0) break;
  }
  if (bytes.size() > limit) {
    bytes.clear();
    return TooLarge(limit);
  }
  return std::nullopt;
}

}  // namespace

std::optional<QString> ReadFileBytes(const QString& path, QByteArray& bytes, qint64 limit) {
  bytes.clear();
  QFile file(path);
  const QFileInfo info(path);
  if (info.isFile() && info.size() > limit) return TooLarge(limit);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return file.errorString();
  return ReadDeviceBytes(file, bytes, limit);
}

std::optional<QString> ReadStandardInputBytes(QByteArray& bytes, qint64 limit) {
  bytes.clear();
  QFile input;
  if (!input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    return input.errorString();
  }
  return ReadDeviceBytes(input, bytes, limit);
}

// The bytes written straight to something that is not a regular file (a device such as
// /dev/null, a FIFO, the terminal): there is nothing to replace, and a new file renamed over it
// would put a regular file in the device's place (where the folder lets the user, as /dev lets
// root).
std::optional<QString> WriteToDevice(const QString& path, const QByteArray& bytes) {
  Descriptor fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return SystemError(errno);
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::write(fd.get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return SystemError(n < 0 ? errno : EIO);
    done += n;
  }
  if (fd.Close() != 0) return SystemError(errno);
  return std::nullopt;
}

std::optional<QString> ReplaceFileContents(const QString& path, const QByteArray& bytes) {
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode) &&
      !S_ISDIR(status.st_mode)) {
    return WriteToDevice(path, bytes);
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    // No new file beside it (often: a folder the user may not write); the file itself may
    // still be writable.
    if (const std::optional<QString> in_place = WriteInPlace(path, bytes)) {
      if (in_place->isEmpty()) return std::nullopt;
      return in_place;
    }
    return file.errorString();
  }
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
