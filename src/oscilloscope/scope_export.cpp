#include "oscilloscope/scope_export.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>

#include "documents/safe_file.h"
#include "graphs/graph_image.h"
#include "graphs/measurement_table.h"
#include "oscilloscope/oscilloscope_controls.h"
#include "oscilloscope/scope_pane.h"
#include "widgets/file_dialogs.h"
#include "widgets/graph_surface.h"

namespace quorvel {

ScopeExport::ScopeExport(QMainWindow& window, const OscilloscopeControls& controls,
                         const ScopePane& screen, FileDialogs& dialogs)
    : QObject(&window), window_(window), c_(controls), screen_(screen), dialogs_(dialogs) {
  connect(c_.MenuFileSalvaGrafico, &QAction::triggered, this,
          &ScopeExport::MenuFileSalvaGrafico_Click);
  connect(c_.MenuFileEsportaDati, &QAction::triggered, this,
          &ScopeExport::MenuFileEsportaDati_Click);
  connect(c_.MenuEditCopiaDati, &QAction::triggered, this, &ScopeExport::MenuEditCopiaDati_Click);
}

void ScopeExport::ShowFileError(const QString& description) {
  QMessageBox::critical(&window_, QStringLiteral("Errore"), description);
}

bool ScopeExport::HasSamples() {
  if (screen_.trace().count > 0) return true;
  QMessageBox::information(&window_, QApplication::applicationName(),
                           QStringLiteral("Non ci sono campioni da esportare"));
  return false;
}

void ScopeExport::MenuFileSalvaGrafico_Click() {
  // The bitmap first: the dialog offers it unless another type is chosen.
  const ChosenFile chosen = dialogs_.AskFile(&window_, true, GraphImageFilters());
  if (chosen.path.isEmpty()) return;  // cancelled
  (void)SaveScreenImage(chosen.path, chosen.filter);
}

QString ScopeExport::SaveScreenImage(const QString& path, const QString& chosen_filter) {
  const ImageFile file = ChooseImageFile(path, ImageTypeOfFilter(chosen_filter));
  // The screen as the window draws it; with no sample, what the screen shows.
  const auto draw = [this](QPainter& painter, QSizeF size) {
    if (screen_.DrawScreen(painter, size)) return true;
    painter.drawImage(QPointF(0, 0), screen_.ScreenImage());
    return true;
  };
  if (const auto problem = WriteGraphImage(file, c_.Grafico1->size(), draw)) {
    ShowFileError(*problem);
    return {};
  }
  return file.path;
}

void ScopeExport::MenuFileEsportaDati_Click() {
  if (!HasSamples()) return;
  const ChosenFile chosen = dialogs_.AskFile(&window_, true, {CsvFileFilter()});
  if (chosen.path.isEmpty()) return;  // cancelled
  (void)ExportData(chosen.path);
}

QString ScopeExport::ExportData(const QString& path) {
  const QString file = CsvFilePath(path);
  const std::string table = TraceCsv(screen_.trace());
  if (const auto problem = ReplaceFileContents(file, QByteArray::fromStdString(table))) {
    ShowFileError(*problem);
    return {};
  }
  return file;
}

void ScopeExport::MenuEditCopiaDati_Click() {
  if (!HasSamples()) return;
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString::fromStdString(TraceTsv(screen_.trace())));
}

}  // namespace quorvel
