#include "window_core/data_folders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace quorvel {
namespace {

void WriteFile(const QString& path, const QByteArray& content = "\"Quorvel - Ombrat\",\"1.0.0\"") {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(content), content.size());
}

QString Clean(const QString& path) { return QDir::cleanPath(path); }

TEST(ExamplesFolderFor, PrefersTestsBesideTheProgramThenTheInstalledLayout) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
  ASSERT_TRUE(QDir().mkpath(bin));
  const QString installed = dir.filePath(QStringLiteral("prefix/share/quorvel/examples"));
  const QString beside = bin + QStringLiteral("/examples");

  // Nothing installed: the installed path, which holds no test.
  EXPECT_EQ(Clean(ExamplesFolderFor(bin)), Clean(installed));
  EXPECT_FALSE(ExamplesAvailable(ExamplesFolderFor(bin)));

  WriteFile(installed + QStringLiteral("/rc_lowpass.flt"));
  EXPECT_EQ(Clean(ExamplesFolderFor(bin)), Clean(installed));
  EXPECT_TRUE(ExamplesAvailable(ExamplesFolderFor(bin)));

  // A folder beside the program without any test does not count...
  WriteFile(beside + QStringLiteral("/notes.txt"));
  ASSERT_TRUE(QDir().mkpath(beside + QStringLiteral("/folder.flt")));
  EXPECT_EQ(Clean(ExamplesFolderFor(bin)), Clean(installed));

  // ...one with a test (whatever the letter case of its extension) wins.
  WriteFile(beside + QStringLiteral("/BANDPASS.FLT"));
  EXPECT_EQ(Clean(ExamplesFolderFor(bin)), Clean(beside));
}

TEST(ExamplesFolderFor, TheBuildTreeCopyBesideTheProgramHoldsEveryExample) {
  const QString folder = ExamplesFolderFor(QStringLiteral(QUORVEL_PROGRAM_DIR));
  ASSERT_TRUE(ExamplesAvailable(folder)) << folder.toStdString();
  const QDir source(QStringLiteral(QUORVEL_EXAMPLES_DIR));
  const QStringList names = source.entryList({QStringLiteral("*.flt")}, QDir::Files);
  ASSERT_FALSE(names.isEmpty());
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    QFile original(source.filePath(name));
    QFile copy(QDir(folder).filePath(name));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
  }
}

}  // namespace
}  // namespace quorvel
