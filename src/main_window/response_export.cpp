#include "main_window/response_export.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPainter>

#include "documents/safe_file.h"
#include "graphs/graph_image.h"
#include "graphs/measurement_table.h"
#include "graphs/response_graph.h"
#include "main_window/main_window_controls.h"
#include "main_window/response_graphs.h"
#include "main_window/test_documents.h"
#include "widgets/file_dialogs.h"
#include "widgets/graph_surface.h"

namespace quorvel {

ResponseExport::ResponseExport(QWidget& window, const MainWindowControls& controls,
                               const ResponseGraphs& graphs, TestDocuments& documents)
    : QObject(&window), window_(window), c_(controls), graphs_(graphs), documents_(documents) {
  connect(c_.MenuFileSalvaGrafico, &QAction::triggered, this,
          &ResponseExport::MenuFileSalvaGrafico_Click);
  connect(c_.MenuFileEsportaDati, &QAction::triggered, this,
          &ResponseExport::MenuFileEsportaDati_Click);
  connect(c_.MenuEditCopiaDati, &QAction::triggered, this,
          &ResponseExport::MenuEditCopiaDati_Click);
}

void ResponseExport::ShowFileError(const QString& description) {
  QMessageBox::critical(&window_, QStringLiteral("Errore"), description);
}

bool ResponseExport::HasPoints() {
  if (graphs_.result().count > 0) return true;
  QMessageBox::information(&window_, QApplication::applicationName(),
                           QStringLiteral("Non ci sono misure da esportare: prima avviare una "
                                          "simulazione"));
  return false;
}

void ResponseExport::MenuFileSalvaGrafico_Click() {
  // The bitmap first: the dialog offers it unless another type is chosen.
  const ChosenFile chosen = documents_.Dialogs().AskFile(&window_, true, GraphImageFilters(),
                                                         QString(), documents_.TestPath());
  if (chosen.path.isEmpty()) return;  // cancelled
  (void)SaveGraphImage(chosen.path, chosen.filter);
}

QString ResponseExport::SaveGraphImage(const QString& path, const QString& chosen_filter) {
  const ImageFile file = ChooseImageFile(path, ImageTypeOfFilter(chosen_filter));
  // The amplitude graph whatever tab is selected, as the window draws it; with nothing measured,
  // what its surface shows.
  const GraphSurface& surface = *c_.Grafico1;
  const SweepResult& result = graphs_.result();
  const GraphOptions options = graphs_.Options();
  const GraphOverlay overlay = graphs_.Overlay();
  const auto draw = [&](QPainter& painter, QSizeF size) {
    if (DrawAmplitudeGraph(result, painter, size, options, overlay)) return true;
    painter.drawImage(QPointF(0, 0), surface.SurfaceImage());
    return true;
  };
  if (const auto problem = WriteGraphImage(file, surface.size(), draw)) {
    ShowFileError(*problem);
    return {};
  }
  return file.path;
}

void ResponseExport::MenuFileEsportaDati_Click() {
  if (!HasPoints()) return;
  const ChosenFile chosen = documents_.Dialogs().AskFile(&window_, true, {CsvFileFilter()},
                                                         QString(), documents_.TestPath());
  if (chosen.path.isEmpty()) return;  // cancelled
  (void)ExportData(chosen.path);
}

QString ResponseExport::ExportData(const QString& path) {
  const QString file = CsvFilePath(path);
  const std::string table = SweepCsv(graphs_.result());
  if (const auto problem = ReplaceFileContents(file, QByteArray::fromStdString(table))) {
    ShowFileError(*problem);
    return {};
  }
  return file;
}

void ResponseExport::MenuEditCopiaDati_Click() {
  if (!HasPoints()) return;
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString::fromStdString(SweepTsv(graphs_.result())));
}

}  // namespace quorvel
