// The main window's test documents: writing and reading test files through the controls, the
// File and Edit commands, the question about unsaved changes and the clipboard.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>

#include "documents/filter_clipboard.h"
#include "documents/safe_file.h"
#include "documents/test_document.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "numbers/reversed_value.h"
#include "shell/graph_surface.h"
#include "shell/main_window.h"
#include "shell/run_launcher.h"
#include "shell/status_panels.h"

namespace quorvel {

namespace {

const QString kTestFilter = QStringLiteral("File filtro (*.flt)");
const QString kBitmapFilter = QStringLiteral("Immagine bitmap (*.bmp)");

QString WithLf(const QString& text) {
  return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Check box values in files: 0 not ticked, 1 ticked, 2 greyed (Qt numbers the last two the
// other way round).
std::int16_t CheckBoxValue(const QCheckBox& box) {
  switch (box.checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

Qt::CheckState CheckStateOf(std::int16_t value) {
  return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

void SetPlainText(QPlainTextEdit& box, const QString& crlf_text) {
  const QString text = WithLf(crlf_text);
  if (box.toPlainText() != text) box.setPlainText(text);
}

}  // namespace

TestDocument Form1::CollectTestDocument() const {
  TestDocument d;
  d.start_frequency = txtStF_->text();
  d.start_multiplier = GetReversedValue(*SStFM_);
  d.end_frequency = txtEnF_->text();
  d.end_multiplier = GetReversedValue(*SEnFM_);
  d.oscillations = GetReversedValue(*SOsc_);
  d.samples = GetReversedValue(*SCa_);
  d.log_depth = SLog_->value();
  d.log_x = CheckBoxValue(*chkLogX_);
  d.log_y = CheckBoxValue(*chkLogY_);
  d.parameters = ParametersText();
  d.functions = FunctionsText();
  d.show_cutoff = MenuShowCF_->isChecked();
  d.show_trace = MenuShowTr_->isChecked();
  d.show_filter = MenuShowFil_->isChecked();
  d.filter1_x = static_cast<float>(Fil1X);
  d.filter1_y = static_cast<float>(Fil1Y);
  d.filter2_x = static_cast<float>(Fil2X);
  d.filter2_y = static_cast<float>(Fil2Y);
  d.unit_amplitude = unit_amplitude_set_ ? std::optional(SB1_->Tag(4)) : std::nullopt;
  d.unit_phase = SB1_->Tag(5);
  d.graphs = static_cast<std::int16_t>(TS1_->currentIndex() + 1);
  d.oscilloscope = CollectOscilloscopeSection();
  return d;
}

// Brings the controls to the document's values through the operations a user's input runs; a
// control that already shows its value is left alone. `key` is the record just read.
void Form1::ApplyMainDocument(const TestDocument& d, const QString& key) {
  if (txtStF_->text() != d.start_frequency) txtStF_->setText(d.start_frequency);
  if (txtEnF_->text() != d.end_frequency) txtEnF_->setText(d.end_frequency);
  SetReversedValue(*SStFM_, d.start_multiplier);
  SetReversedValue(*SEnFM_, d.end_multiplier);
  SetReversedValue(*SOsc_, d.oscillations);
  SetReversedValue(*SCa_, d.samples);
  SLog_->setValue(d.log_depth);
  for (auto [box, value] : {std::pair{chkLogX_, d.log_x}, std::pair{chkLogY_, d.log_y}}) {
    const Qt::CheckState state = CheckStateOf(value);
    if (box->checkState() != state) {
      box->setCheckState(state);
      RedrawGraphs();
    }
  }
  SetPlainText(*txtPar_, d.parameters);
  SetPlainText(*txtFil_, d.functions);
  MenuShowCF_->setChecked(d.show_cutoff);
  MenuShowTr_->setChecked(d.show_trace);
  MenuShowFil_->setChecked(d.show_filter);
  Fil1X = d.filter1_x;
  Fil1Y = d.filter1_y;
  Fil2X = d.filter2_x;
  Fil2Y = d.filter2_y;
  if (key == u"UnitAmp") {
    unit_amplitude_set_ = true;
    if (d.unit_amplitude.value_or(QString()) != SB1_->Tag(4)) SB1_PanelClick(4);
  }
  if (key == u"UnitPh" && d.unit_phase.value_or(QString()) != SB1_->Tag(5)) SB1_PanelClick(5);
  if (key == u"Graphs") {
    if (TS1_->currentIndex() != d.graphs - 1) {
      TS1_->setCurrentIndex(d.graphs - 1);  // runs the tab's handling
    } else {
      TS1_Click(d.graphs - 1);
    }
  }
}

void Form1::ShowFileError(const QString& description) {
  QMessageBox::critical(this, QStringLiteral("Errore"), description);
}

bool Form1::WriteTestFile(const QString& path) {
  const CodecResult<QByteArray> bytes = WriteTestDocument(CollectTestDocument());
  if (!bytes) {
    ShowFileError(bytes.error().description);
    return false;
  }
  // The old file is replaced only once the new one is completely written.
  if (const std::optional<QString> problem = ReplaceFileContents(path, bytes.value())) {
    ShowFileError(*problem);
    return false;
  }
  TestModified = false;
  return true;
}

bool Form1::ReadTestFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ShowFileError(file.errorString());
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    ShowFileError(file.errorString());
    return false;
  }
  file.close();

  RecordReader reader(bytes);
  const CodecResult<Record> header = reader.Next();
  if (!header && header.error().kind == CodecError::Kind::UnexpectedEnd) {
    ShowFileError(header.error().description);
    return false;
  }
  if (!header || header.value().key != kTestFileIdentification) {
    QMessageBox::warning(this, QStringLiteral("Errore"),
                         QStringLiteral("Il formato del file non è valido"));
    return false;
  }
  ClearOscilloscopeParameters();
  while (!reader.AtEnd()) {
    const CodecResult<Record> record = reader.Next();
    if (!record) {
      ShowFileError(record.error().description);
      return false;
    }
    const Record& r = record.value();
    PrepareOscilloscopeFor(r);
    TestDocument document = CollectTestDocument();
    const CodecStatus applied = ApplyTestRecord(document, r);
    if (!applied) {
      ShowFileError(QStringLiteral("Record %1 (\"%2\"): %3")
                        .arg(reader.record_number())
                        .arg(r.key, applied.error().description));
      return false;
    }
    ApplyMainDocument(document, r.key);
    ApplyOscilloscopeRecord(document, r);
  }
  TestModified = false;
  return true;
}

QString Form1::AskFileName(bool save, const QString& filter, const QString& proposed) {
  QFileDialog dialog(this, save ? QStringLiteral("Salva") : QStringLiteral("Apri"), dialog_folder_,
                     filter);
  dialog.setObjectName(QStringLiteral("CD1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().constFirst();
  dialog_folder_ = dialog.directory().absolutePath();
  return chosen;
}

bool Form1::SaveTest(const QString& path) {
  if (!path.isEmpty()) return WriteTestFile(path);
  QString chosen = path;
  return SaveTestAs(chosen);
}

bool Form1::SaveTestAs(QString& path) {
  const QString chosen = AskFileName(true, kTestFilter, path);
  if (chosen.isEmpty()) return false;
  if (!WriteTestFile(chosen)) return false;
  path = chosen;
  TestPath = chosen;
  setWindowTitle(TestWindowTitle(chosen));
  return true;
}

bool Form1::OpenTest(QString& path) {
  const QString chosen = AskFileName(false, kTestFilter, path);
  if (chosen.isEmpty()) return false;
  return OpenChosenTest(chosen, path);
}

bool Form1::OpenChosenTest(const QString& chosen, QString& path) {
  if (!ConfirmDiscard()) return false;
  if (!ReadTestFile(chosen)) return false;
  path = chosen;
  TestPath = chosen;
  return true;
}

bool Form1::ConfirmDiscard() {
  if (!TestModified) {
    ResetTest();
    return true;
  }
  const auto answer = QMessageBox::question(
      this, QStringLiteral("Quorvel"), QStringLiteral("Salvare il test?"),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) {
    if (!SaveTest(TestPath)) return false;
    ResetTest();
    return true;
  }
  if (answer == QMessageBox::No) {
    ResetTest();
    return true;
  }
  return false;
}

void Form1::ResetTest() {
  HideOscilloscope();
  setWindowTitle(QStringLiteral("Quorvel"));
  ApplyDefaultSliders();
  txtPar_->clear();
  txtFil_->clear();
  result_.points.clear();
  result_.count = 0;
  for (GraphSurface* surface : {Grafico1_, Grafico2_}) surface->SetImage(QImage());
  TestPath.clear();
  TestModified = false;
}

void Form1::MenuFileApri_Click() {
  if (OpenTest(TestPath)) PreviewOpenedTest();
}

void Form1::OpenFile(const QString& path) {
  if (launcher_->running()) {
    open_after_run_ = path;
    return;
  }
  if (OpenChosenTest(path, TestPath)) PreviewOpenedTest();
}

void Form1::PreviewOpenedTest() {
  setWindowTitle(TestWindowTitle(TestPath));
  // A short preview of the opened test: 7 frequencies, one oscillation each.
  if (!ValidateNumber(txtStF_->text(), false, 0.001, 100000).isEmpty()) return;
  if (!ValidateNumber(txtEnF_->text(), false, 0.001, 100000).isEmpty()) return;
  const double start = ParseNumber(txtStF_->text()).value_or(0) * start_multiplier_;
  const double end = ParseNumber(txtEnF_->text()).value_or(0) * end_multiplier_;
  RunSweep(start, end, 7, 1);
}

void Form1::MenuFileSalvaGrafico_Click() {
  const QString chosen = AskFileName(true, kBitmapFilter, QString());
  if (chosen.isEmpty()) return;
  const QByteArray bytes = BitmapBytes(Grafico1_->SurfaceImage());
  const std::optional<QString> problem =
      bytes.isEmpty() ? std::optional(QStringLiteral("Impossibile creare l'immagine"))
                      : ReplaceFileContents(chosen, bytes);
  if (problem) ShowFileError(*problem);
}

void Form1::MenuEditCopiaFiltro_Click() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setText(FilterClipboardText(ParametersText(), FunctionsText()));
}

void Form1::MenuEditCopiaGrafico_Click() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setImage(Grafico1_->SurfaceImage());
}

void Form1::MenuEditIncolla_Click() {
  const std::optional<FilterProgram> pasted =
      ParseFilterClipboardText(QApplication::clipboard()->text());
  if (!pasted) {
    QMessageBox::warning(this, QStringLiteral("Errore"),
                         QStringLiteral("Il testo copiato non è in un formato valido"));
    return;
  }
  txtPar_->setPlainText(WithLf(pasted->parameters));
  txtFil_->setPlainText(WithLf(pasted->functions));
}

void Form1::ConnectDocumentMenus() {
  const std::pair<const char*, void (Form1::*)()> commands[] = {
      {"MenuFileApri", &Form1::MenuFileApri_Click},
      {"MenuFileSalvaGrafico", &Form1::MenuFileSalvaGrafico_Click},
      {"MenuEditCopiaFiltro", &Form1::MenuEditCopiaFiltro_Click},
      {"MenuEditCopiaGrafico", &Form1::MenuEditCopiaGrafico_Click},
      {"MenuEditIncolla", &Form1::MenuEditIncolla_Click},
  };
  for (const auto& [name, command] : commands) {
    QAction* action = findChild<QAction*>(QLatin1String(name));
    action->setEnabled(true);
    connect(action, &QAction::triggered, this, command);
  }
  auto enable = [this](const char* name) {
    QAction* action = findChild<QAction*>(QLatin1String(name));
    action->setEnabled(true);
    return action;
  };
  connect(enable("MenuFileNuovo"), &QAction::triggered, this, [this] { (void)ConfirmDiscard(); });
  connect(enable("MenuFileSalva"), &QAction::triggered, this, [this] { (void)SaveTest(TestPath); });
  connect(enable("MenuFileSalvaNome"), &QAction::triggered, this,
          [this] { (void)SaveTestAs(TestPath); });
}

void Form1::closeEvent(QCloseEvent* event) {
  if (launcher_->running()) {
    // The run stops first; the window closes, asking about the changes as always, once the run
    // has returned.
    close_after_run_ = true;
    StopRuns();
    event->ignore();
    return;
  }
  if (!ConfirmDiscard()) {
    event->ignore();
    return;
  }
  MainClosing = true;
  CloseOscilloscopeForGood();
  event->accept();
}

}  // namespace quorvel
