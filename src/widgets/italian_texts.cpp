#include "widgets/italian_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace quorvel {

bool LoadItalianQtTexts(QCoreApplication& application) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_it"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  translator->setParent(&application);  // the application owns it from here
  return QCoreApplication::installTranslator(translator.release());
}

}  // namespace quorvel
