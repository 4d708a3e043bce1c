// Entry point of the window tests: one QApplication and one script engine for the whole process,
// drawn offscreen.
#include <gtest/gtest.h>

#include <QApplication>

#include "scripting/script_host.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  testing::InitGoogleTest(&argc, argv);
  quorvel::ScriptEngineInit engine;
  return RUN_ALL_TESTS();
}
