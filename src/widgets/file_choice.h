#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quorvel {

// A file chosen in the windows' file dialog, with the file type that was selected in it.
struct ChosenFile {
  QString path;    // empty when the dialog was cancelled
  QString filter;  // one of the offered filters
};

// Shows the windows' file dialog ("CD1", Qt's own dialog so that every platform and the tests
// see the same one) for opening or saving, with its file types (the first selected), starting in
// `folder` with `proposed` as the file name. On acceptance `folder` becomes the folder the
// user ended in, so that the next dialog starts there.
ChosenFile ChooseFile(QWidget& parent, bool save, QString& folder, const QStringList& filters,
                      const QString& proposed = QString());

}  // namespace quorvel
