// Writes the program's icon files for installation: make_icons <folder> gives quorvel.svg and
// quorvel-256.png in that folder, drawn by the same code as the windows' icon.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

#include "window_core/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: make_icons CARTELLA\n");
    return 2;
  }
  const QDir folder(QFile::decodeName(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "make_icons: impossibile creare la cartella %s\n", argv[1]);
    return 1;
  }
  QSaveFile svg(folder.filePath(QStringLiteral("quorvel.svg")));
  if (!svg.open(QIODevice::WriteOnly) || svg.write(quorvel::ProgramIconSvg().toUtf8()) < 0 ||
      !svg.commit()) {
    std::fprintf(stderr, "make_icons: %s\n", qPrintable(svg.errorString()));
    return 1;
  }
  const QString png = folder.filePath(QStringLiteral("quorvel-256.png"));
  if (!quorvel::PaintProgramIcon(256).save(png, "PNG")) {
    std::fprintf(stderr, "make_icons: impossibile scrivere %s\n", qPrintable(png));
    return 1;
  }
  return 0;
}
