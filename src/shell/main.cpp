#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "main_window/main_window.h"
#include "scripting/script_host.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
  QApplication::setOrganizationName(QStringLiteral("Ombrat"));
  // One optional argument: a test file to open, as a file manager passes it.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 2) {
    std::fprintf(stderr, "uso: quorvel [FILE.flt]\n");
    return 2;
  }
  quorvel::ScriptEngineInit engine;
  quorvel::Form1 window;
  window.show();
  if (arguments.size() == 2) {
    const QString path = arguments.at(1);
    QTimer::singleShot(0, &window, [&window, path] { window.OpenFile(path); });
  }
  return QApplication::exec();
}
