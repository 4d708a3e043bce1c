// Entry point of the window tests: one QApplication and one script engine for the whole process,
// drawn offscreen; Qt's warnings fail the test that causes them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qt_warnings.h"
#include "scripting/script_host.h"
#include "widgets/italian_texts.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // A runtime folder of the tests' own where the session provides none (Qt warns otherwise).
  QTemporaryDir runtime_dir(QDir::tempPath() + QStringLiteral("/quorvel-runtime-XXXXXX"));
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime_dir.isValid()) {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_dir.path()));
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  (void)quorvel::LoadItalianQtTexts(app);
  testing::InitGoogleTest(&argc, argv);
  quorvel::testing::WatchQtWarnings();
  quorvel::ScriptEngineInit engine;
  return RUN_ALL_TESTS();
}
