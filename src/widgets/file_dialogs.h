#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quorvel {

// A file chosen in a dialog, with the file type that was selected in it.
struct ChosenFile {
  QString path;    // empty when the dialog was cancelled
  QString filter;  // one of the offered filters
};

// The program's file dialogs ("Apri" and "Salva", named `CD1`, Qt's own dialog so that its texts
// are the program's Italian ones). The first opens in the folder of the open test, or else in
// the user's documents folder (never the program's own folder, which an installed program cannot
// write); each later one opens where the last one was left.
class FileDialogs {
 public:
  // Gives the chosen file, or an empty text when the dialog was cancelled. `test_path` is the
  // open test's file, when there is one.
  QString Ask(QWidget* parent, bool save, const QString& filter, const QString& proposed,
              const QString& test_path = QString());

  // The same with several file types, the first one selected; gives the type chosen too.
  ChosenFile AskFile(QWidget* parent, bool save, const QStringList& filters,
                     const QString& proposed = QString(), const QString& test_path = QString());

  // The next dialog opens in `folder` (the examples, say).
  void OpenNextIn(const QString& folder) { last_folder_ = folder; }

  // Where the next dialog opens.
  QString StartFolder(const QString& test_path) const;

 private:
  QString last_folder_;
};

}  // namespace quorvel
