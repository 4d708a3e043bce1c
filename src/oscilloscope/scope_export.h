#pragma once

#include <QObject>
#include <QString>

class QMainWindow;

namespace quorvel {

class FileDialogs;

class ScopePane;
struct OscilloscopeControls;

// The oscilloscope's data out: "Salva grafico..." (the screen as a BMP, PNG or SVG file, drawn as
// the window draws it), "Esporta dati..." (the trace as CSV, the columns of quorvel-cli's scope
// command) and "Modifica" > "Copia dati" (the same table, tab-separated, on the clipboard).
class ScopeExport : public QObject {
  Q_OBJECT

 public:
  ScopeExport(QMainWindow& window, const OscilloscopeControls& controls, const ScopePane& screen,
              FileDialogs& dialogs);

  // Writes the screen to `path` as the file type chosen in the dialog (a known extension of the
  // name decides, else the type's extension is added); a failure is shown in a message box
  // titled "Errore". Returns the file written, empty on failure.
  QString SaveScreenImage(const QString& path, const QString& chosen_filter);
  // Writes the trace as CSV to `path` (".csv" added to a name without extension); returns the
  // file written, empty on failure (shown in a message box).
  QString ExportData(const QString& path);

 private:
  void MenuFileSalvaGrafico_Click();
  void MenuFileEsportaDati_Click();
  void MenuEditCopiaDati_Click();
  // False, with a message, when there is no sample to export.
  bool HasSamples();
  void ShowFileError(const QString& description);

  QMainWindow& window_;
  const OscilloscopeControls& c_;
  const ScopePane& screen_;
  // The program's file dialogs, which remember where the last one was left.
  FileDialogs& dialogs_;
};

}  // namespace quorvel
