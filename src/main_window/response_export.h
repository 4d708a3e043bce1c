#pragma once

#include <QObject>

class QWidget;

namespace quorvel {

class ResponseGraphs;
class TestDocuments;
struct MainWindowControls;

// The main window's data out: "Salva grafico..." (the amplitude graph as a BMP, PNG or SVG file,
// drawn as the window draws it), "Esporta dati..." (the last run's points as CSV, the format of
// quorvel-cli) and "Copia" > "Dati" (the same table, tab-separated, on the clipboard). The file
// dialogs are the window's own, starting where its last one ended.
class ResponseExport : public QObject {
  Q_OBJECT

 public:
  ResponseExport(QWidget& window, const MainWindowControls& controls, const ResponseGraphs& graphs,
                 TestDocuments& documents);

  // Writes the amplitude graph to `path` as the file type chosen in the dialog (a known extension
  // of the name decides, else the type's extension is added); a failure is shown in a message
  // box titled "Errore". Returns the file written, empty on failure.
  QString SaveGraphImage(const QString& path, const QString& chosen_filter);
  // Writes the last run's points as CSV to `path` (".csv" added to a name without extension);
  // returns the file written, empty on failure (shown in a message box).
  QString ExportData(const QString& path);

 private:
  void MenuFileSalvaGrafico_Click();
  void MenuFileEsportaDati_Click();
  void MenuEditCopiaDati_Click();
  // False, with a message, when there is no measured point to export.
  bool HasPoints();
  void ShowFileError(const QString& description);

  QWidget& window_;
  const MainWindowControls& c_;
  const ResponseGraphs& graphs_;
  TestDocuments& documents_;
};

}  // namespace quorvel
