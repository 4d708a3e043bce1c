#include <QApplication>

#include "scripting/script_host.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
  quorvel::ScriptEngineInit engine;
  quorvel::Form1 window;
  window.show();
  return QApplication::exec();
}
