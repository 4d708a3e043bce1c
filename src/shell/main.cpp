#include <QApplication>

#include <cstdio>

#include "main_window/main_window.h"
#include "scripting/script_host.h"
#include "widgets/italian_texts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
  QApplication::setOrganizationName(QStringLiteral("Ombrat"));
  // Qt's own texts (dialog buttons, file dialogs) in Italian whatever the system's language.
  (void)quorvel::LoadItalianQtTexts(app);
  // One optional argument: a test file to open, as a file manager passes it.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 2) {
    std::fprintf(stderr, "uso: quorvel [FILE.flt]\n");
    return 2;
  }
  quorvel::ScriptEngineInit engine;
  quorvel::Form1 window;
  window.show();
  if (arguments.size() == 2) window.OpenFileOnceShown(arguments.at(1));
  return QApplication::exec();
}
