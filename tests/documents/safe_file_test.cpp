#include "documents/safe_file.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace quorvel {
namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
  return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

ino_t Inode(const QString& path) {
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) != 0) return 0;
  return status.st_ino;
}

// --- Reading ---------------------------------------------------------------------------------

TEST(ReadFileBytes, ReadsAWholeFileUpToTheLimit) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("t.flt"));
  const QByteArray bytes(1000, 'a');
  WriteFile(path, bytes);
  QByteArray read;
  EXPECT_EQ(ReadFileBytes(path, read, 1000), std::nullopt);
  EXPECT_EQ(read, bytes);
  const std::optional<QString> too_big = ReadFileBytes(path, read, 999);
  ASSERT_TRUE(too_big.has_value());
  EXPECT_TRUE(read.isEmpty());
}

TEST(ReadFileBytes, StopsAnEndlessDeviceAtTheLimit) {
  QByteArray read;
  const std::optional<QString> problem = ReadFileBytes(QStringLiteral("/dev/zero"), read);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(*problem, QStringLiteral("Il file supera il limite di 16 MiB di un file di test"));
  EXPECT_TRUE(read.isEmpty()) << "nothing of an oversized file is handed out";
}

TEST(ReadFileBytes, AMissingFileOrAFolderGivesTheSystemsError) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QByteArray read;
  const auto missing = ReadFileBytes(dir.filePath(QStringLiteral("missing.flt")), read);
  ASSERT_TRUE(missing.has_value());
  EXPECT_FALSE(missing->isEmpty());
  const auto folder = ReadFileBytes(dir.path(), read);
  ASSERT_TRUE(folder.has_value());
}

// --- Saving ------------------------------------------------------------------------------------

TEST(ReplaceFileContents, AWritableFolderGetsANewFileInPlaceOfTheOld) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("t.flt"));
  WriteFile(path, "old contents");
  const ino_t before = Inode(path);
  EXPECT_EQ(ReplaceFileContents(path, "new"), std::nullopt);
  EXPECT_EQ(Contents(path), QByteArray("new"));
  EXPECT_NE(Inode(path), before) << "the atomic save, where the folder allows it";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.flt")});
}

// A FIFO (as a device such as /dev/null, or the terminal) is written to, never replaced by a
// regular file, also through a symbolic link: "-o /dev/null" of quorvel-cli, run as root, would
// otherwise put a regular file in place of /dev/null.
TEST(ReplaceFileContents, SomethingThatIsNotARegularFileIsWrittenToAndStays) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  const QString link = dir.filePath(QStringLiteral("link"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(fifo, link));
  for (const QString& path : {fifo, link}) {
    SCOPED_TRACE(path.toStdString());
    // The reading end is open first, so the write neither waits for a reader nor blocks.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ReplaceFileContents(path, "frequency_hz\n1\n"), std::nullopt);
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(QByteArray(buffer, static_cast<qsizetype>(std::max<ssize_t>(n, 0))),
              QByteArray("frequency_hz\n1\n"));
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(::lstat(QFile::encodeName(link).constData(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
  }
  EXPECT_EQ(
      QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 2)
      << "no new file beside them";
}

// The folder-that-may-not-be-written case needs permission bits in force, which root's
// privileges override (tests run as root in CI). As root the save runs in a child process that
// has become the unprivileged user "nobody" (uid and gid 65534), the owner of the file; as
// anybody else, in this process with the folder's write bit taken away.
class LockedFolderTest : public testing::Test {
 protected:
  static constexpr uid_t kNobody = 65534;

  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = ::geteuid() == 0;
    // Anybody may enter the folders; nobody but their owner (root, or this user once the write
    // bit is gone) may create files in "locked".
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    locked_ = dir_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked_));
    path_ = locked_ + QStringLiteral("/test.flt");
    WriteFile(path_, kOld);
    if (root_) {
      ASSERT_EQ(::chown(QFile::encodeName(path_).constData(), kNobody, kNobody), 0);
      ASSERT_EQ(::chmod(QFile::encodeName(locked_).constData(), 0755), 0);
    } else {
      ASSERT_EQ(::chmod(QFile::encodeName(locked_).constData(), 0555), 0);
    }
  }
  void TearDown() override { ::chmod(QFile::encodeName(locked_).constData(), 0755); }

  // ReplaceFileContents(path_, bytes) with permission bits in force and, when `size_limit` is
  // given, a file size limit (SIGXFSZ ignored so that a write past it fails instead).
  std::optional<QString> SaveLocked(const QByteArray& bytes,
                                    std::optional<rlim_t> size_limit = std::nullopt) {
    if (!root_) {
      struct rlimit saved {};
      ::getrlimit(RLIMIT_FSIZE, &saved);
      const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
      if (size_limit) {
        const struct rlimit small { *size_limit, saved.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &small);
      }
      std::optional<QString> result = ReplaceFileContents(path_, bytes);
      ::setrlimit(RLIMIT_FSIZE, &saved);
      std::signal(SIGXFSZ, old_handler);
      return result;
    }
    int channel[2];
    if (::pipe(channel) != 0) {
      ADD_FAILURE() << "pipe";
      return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(channel[0]);
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) std::_Exit(3);
      std::signal(SIGXFSZ, SIG_IGN);
      if (size_limit) {
        const struct rlimit small { *size_limit, *size_limit };
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) std::_Exit(4);
      }
      const std::optional<QString> result = ReplaceFileContents(path_, bytes);
      const QByteArray answer = result ? "1" + result->toUtf8() : QByteArray("0");
      const bool sent = ::write(channel[1], answer.constData(),
                                static_cast<size_t>(answer.size())) == answer.size();
      std::_Exit(sent ? 0 : 5);
    }
    ::close(channel[1]);
    QByteArray answer;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) answer.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    if (answer.startsWith('1')) return QString::fromUtf8(answer.mid(1));
    return std::nullopt;
  }

  // True when the folder really refuses a new file to the saving user, so that the tests below
  // exercise the path they are about.
  bool FolderRefusesNewFiles() {
    if (!root_) return ::access(QFile::encodeName(locked_).constData(), W_OK) != 0;
    return true;  // nobody owns neither the folder nor its write bit for others
  }

  static constexpr const char* kOld = "the old contents of the test, long enough to be cut";

  QTemporaryDir dir_;
  bool root_ = false;
  QString locked_;
  QString path_;
};

TEST_F(LockedFolderTest, AWritableFileIsWrittenInPlace) {
  ASSERT_TRUE(FolderRefusesNewFiles());
  const ino_t before = Inode(path_);
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"shorter", "short"},
      {"longer", QByteArray(5000, 'x') + "end"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SaveLocked(c.bytes), std::nullopt);
    EXPECT_EQ(Contents(path_), c.bytes);
    EXPECT_EQ(Inode(path_), before) << "written over the file itself";
  }
  EXPECT_EQ(QDir(locked_).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("test.flt")});
}

TEST_F(LockedFolderTest, AWriteThatCannotCompleteFailsWithTheOldContentsIntact) {
  ASSERT_TRUE(FolderRefusesNewFiles());
  // A size limit below the new contents: room for them cannot be made, so nothing is written.
  const QByteArray bytes(200000, 'n');
  const std::optional<QString> problem = SaveLocked(bytes, 100000);
  ASSERT_TRUE(problem.has_value()) << "never reported as saved";
  EXPECT_FALSE(problem->isEmpty());
  EXPECT_EQ(Contents(path_), QByteArray(kOld));
}

TEST_F(LockedFolderTest, AFileThatMayNotBeWrittenEitherFailsAndStaysAsItWas) {
  ASSERT_EQ(::chmod(QFile::encodeName(path_).constData(), 0444), 0);
  const std::optional<QString> problem = SaveLocked("new");
  ASSERT_TRUE(problem.has_value());
  EXPECT_FALSE(problem->isEmpty());
  EXPECT_EQ(Contents(path_), QByteArray(kOld));
}

TEST_F(LockedFolderTest, ANewFileInTheFolderCannotBeMade) {
  const QString other = locked_ + QStringLiteral("/other.flt");
  const QString saved_path = path_;
  path_ = other;
  const std::optional<QString> problem = SaveLocked("new");
  path_ = saved_path;
  ASSERT_TRUE(problem.has_value());
  EXPECT_FALSE(QFile::exists(other));
}

}  // namespace
}  // namespace quorvel
