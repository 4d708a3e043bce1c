#include "main_window/test_documents.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>

#include "documents/filter_clipboard.h"
#include "documents/safe_file.h"
#include "main_window/main_window.h"
#include "main_window/main_window_controls.h"
#include "main_window/response_graphs.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "widgets/count_control.h"
#include "widgets/file_dialogs.h"
#include "widgets/frequency_range.h"
#include "widgets/graph_surface.h"
#include "widgets/status_panels.h"
#include "window_core/data_folders.h"

namespace quorvel {

namespace {

const QString kTestFilter = QStringLiteral("File filtro (*.flt)");

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

TestDocuments::TestDocuments(Form1& window, const MainWindowControls& controls,
                             ResponseGraphs& graphs)
    : QObject(&window), window_(window), c_(controls), graphs_(graphs) {
  connect(c_.txtPar, &QPlainTextEdit::textChanged, this, [this] { test_modified_ = true; });
  connect(c_.txtFil, &QPlainTextEdit::textChanged, this, [this] { test_modified_ = true; });
  // A greyed box (value 2 in a file) has three states only until the user clicks it.
  for (QCheckBox* box : {c_.chkLogX, c_.chkLogY}) {
    connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
  }
  ConnectMenus();
}

void TestDocuments::ConnectMenus() {
  connect(c_.MenuFileNuovo, &QAction::triggered, this, [this] { (void)ConfirmDiscard(); });
  connect(c_.MenuFileApri, &QAction::triggered, this, &TestDocuments::MenuFileApri_Click);
  connect(c_.MenuHelpEsempi, &QAction::triggered, this, &TestDocuments::MenuHelpEsempi_Click);
  connect(c_.MenuFileSalva, &QAction::triggered, this, [this] { (void)SaveTest(test_path_); });
  connect(c_.MenuFileSalvaNome, &QAction::triggered, this,
          [this] { (void)SaveTestAs(test_path_); });
  connect(c_.MenuEditCopiaFiltro, &QAction::triggered, this,
          &TestDocuments::MenuEditCopiaFiltro_Click);
  connect(c_.MenuEditCopiaGrafico, &QAction::triggered, this,
          &TestDocuments::MenuEditCopiaGrafico_Click);
  connect(c_.MenuEditIncolla, &QAction::triggered, this, &TestDocuments::MenuEditIncolla_Click);
}

TestDocument TestDocuments::CollectTestDocument() const {
  TestDocument d;
  d.start_frequency = c_.range->txtStF()->text();
  d.start_multiplier = GetReversedValue(*c_.range->SStFM());
  d.end_frequency = c_.range->txtEnF()->text();
  d.end_multiplier = GetReversedValue(*c_.range->SEnFM());
  d.oscillations = c_.oscillations->Value();
  d.samples = c_.samples->Value();
  d.log_depth = c_.SLog->value();
  d.log_x = CheckBoxValue(*c_.chkLogX);
  d.log_y = CheckBoxValue(*c_.chkLogY);
  d.parameters = window_.ParametersText();
  d.functions = window_.FunctionsText();
  d.show_cutoff = c_.MenuShowCF->isChecked();
  d.show_trace = c_.MenuShowTr->isChecked();
  d.show_filter = c_.MenuShowFil->isChecked();
  const ResponseGraphs::OverlayPositions& overlay = graphs_.overlay();
  d.filter1_x = static_cast<float>(overlay.Fil1X);
  d.filter1_y = static_cast<float>(overlay.Fil1Y);
  d.filter2_x = static_cast<float>(overlay.Fil2X);
  d.filter2_y = static_cast<float>(overlay.Fil2Y);
  d.unit_amplitude = graphs_.amplitude_unit_chosen() ? std::optional(c_.SB1->Tag(4)) : std::nullopt;
  d.unit_phase = c_.SB1->Tag(5);
  d.graphs = static_cast<std::int16_t>(c_.TS1->currentIndex() + 1);
  d.oscilloscope = CollectOscilloscopeSection();
  return d;
}

// Brings the controls to the document's values through the operations a user's input runs; a
// control that already shows its value is left alone. `key` is the record just read.
void TestDocuments::ApplyMainDocument(const TestDocument& d, const Record& record) {
  const QString& key = record.key;
  if (c_.range->txtStF()->text() != d.start_frequency) {
    c_.range->txtStF()->setText(d.start_frequency);
  }
  if (c_.range->txtEnF()->text() != d.end_frequency) c_.range->txtEnF()->setText(d.end_frequency);
  SetReversedValue(*c_.range->SStFM(), d.start_multiplier);
  SetReversedValue(*c_.range->SEnFM(), d.end_multiplier);
  c_.oscillations->SetValue(d.oscillations);
  c_.samples->SetValue(d.samples);
  c_.SLog->setValue(d.log_depth);
  for (auto [box, value] : {std::pair{c_.chkLogX, d.log_x}, std::pair{c_.chkLogY, d.log_y}}) {
    const Qt::CheckState state = CheckStateOf(value);
    if (box->checkState() != state) {
      box->setCheckState(state);
      graphs_.RedrawGraphs();
    }
  }
  SetPlainText(*c_.txtPar, d.parameters);
  SetPlainText(*c_.txtFil, d.functions);
  c_.MenuShowCF->setChecked(d.show_cutoff);
  c_.MenuShowTr->setChecked(d.show_trace);
  c_.MenuShowFil->setChecked(d.show_filter);
  graphs_.SetOverlay({d.filter1_x, d.filter1_y, d.filter2_x, d.filter2_y});
  if (key == u"UnitAmp") {
    if (d.unit_amplitude.value_or(QString()) != c_.SB1->Tag(4)) graphs_.SB1_PanelClick(4);
    // Saved back as it was read: an empty value leaves the unit unchosen, a text chooses it.
    graphs_.SetAmplitudeUnitChosen(d.unit_amplitude.has_value() || !record.value.IsEmpty());
  }
  if (key == u"UnitPh" && d.unit_phase.value_or(QString()) != c_.SB1->Tag(5)) {
    graphs_.SB1_PanelClick(5);
  }
  if (key == u"Graphs") {
    if (c_.TS1->currentIndex() != d.graphs - 1) {
      c_.TS1->setCurrentIndex(d.graphs - 1);  // runs the tab's handling
    } else {
      window_.TS1_Click(d.graphs - 1);
    }
  }
}

void TestDocuments::ShowFileError(const QString& description) {
  QMessageBox::critical(&window_, QStringLiteral("Errore"), description);
}

bool TestDocuments::WriteTestFile(const QString& path) {
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
  test_modified_ = false;
  return true;
}

bool TestDocuments::ReadTestFile(const QString& path) {
  // Reading stops at the size limit of a test file: a stranger's file cannot fill the memory.
  QByteArray bytes;
  if (const std::optional<QString> problem = ReadFileBytes(path, bytes)) {
    ShowFileError(*problem);
    return false;
  }

  RecordReader reader(bytes);
  const CodecResult<Record> header = reader.Next();
  if (!header && header.error().kind == CodecError::Kind::UnexpectedEnd) {
    ShowFileError(header.error().description);
    return false;
  }
  if (!header || header.value().key != kTestFileIdentification) {
    QMessageBox::warning(&window_, QStringLiteral("Errore"),
                         QStringLiteral("Il formato del file non è valido"));
    return false;
  }
  // The parameter items of the file replace those of the test shown before.
  if (Form2* osc = window_.oscilloscope()) osc->ClearParameters();
  while (!reader.AtEnd()) {
    const CodecResult<Record> record = reader.Next();
    if (!record) {
      ShowFileError(record.error().description);
      return false;
    }
    const Record& r = record.value();
    TestDocument document = CollectTestDocument();
    const std::optional<OscilloscopeSection> section_before = document.oscilloscope;
    const CodecStatus applied = ApplyTestRecord(document, r);
    if (!applied) {
      ShowFileError(QStringLiteral("Record %1 (\"%2\"): %3")
                        .arg(reader.record_number())
                        .arg(r.key, applied.error().description));
      return false;
    }
    ApplyMainDocument(document, r);
    // The oscilloscope takes "-addin-" and the records that the core gave to its section; an
    // unknown key, even one starting with "Osc", changes nothing and creates no window.
    const bool addin = r.key == u"-addin-" && r.value.kind() == RecordValue::Kind::Text &&
                       r.value.text() == kOscilloscopeAddin;
    if (addin || document.oscilloscope != section_before) ApplyOscilloscopeRecord(document, r);
  }
  test_modified_ = false;
  return true;
}

bool TestDocuments::SaveTest(const QString& path) {
  if (!path.isEmpty()) return WriteTestFile(path);
  QString chosen = path;
  return SaveTestAs(chosen);
}

bool TestDocuments::SaveTestAs(QString& path) {
  const QString chosen = window_.Dialogs().Ask(&window_, true, kTestFilter, path, test_path_);
  if (chosen.isEmpty()) return false;
  if (!WriteTestFile(chosen)) return false;
  path = chosen;
  test_path_ = chosen;
  window_.setWindowTitle(TestWindowTitle(chosen));
  return true;
}

bool TestDocuments::OpenTest(QString& path) {
  const QString chosen = window_.Dialogs().Ask(&window_, false, kTestFilter, path, test_path_);
  if (chosen.isEmpty()) return false;
  if (!OpenChosenTest(chosen)) return false;
  path = chosen;
  return true;
}

bool TestDocuments::OpenChosenTest(const QString& chosen) {
  if (!ConfirmDiscard()) return false;
  if (!ReadTestFile(chosen)) return false;
  test_path_ = chosen;
  return true;
}

bool TestDocuments::ConfirmDiscard() {
  if (!test_modified_) {
    ResetTest();
    return true;
  }
  const auto answer = QMessageBox::question(
      &window_, QStringLiteral("Quorvel"), QStringLiteral("Salvare il test?"),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) {
    if (!SaveTest(test_path_)) return false;
    ResetTest();
    return true;
  }
  if (answer == QMessageBox::No) {
    ResetTest();
    return true;
  }
  return false;
}

void TestDocuments::ResetTest() {
  window_.HideOscilloscope();
  window_.FreshScriptScope();
  window_.setWindowTitle(QStringLiteral("Quorvel"));
  window_.ApplyDefaultSliders();
  c_.txtPar->clear();
  c_.txtFil->clear();
  // A new test has two-state boxes: a greyed one (from a file) is cleared.
  for (QCheckBox* box : {c_.chkLogX, c_.chkLogY}) {
    if (box->checkState() == Qt::PartiallyChecked) box->setCheckState(Qt::Unchecked);
    box->setTristate(false);
  }
  graphs_.Clear();
  test_path_.clear();
  test_modified_ = false;
}

void TestDocuments::MenuFileApri_Click() {
  QString path = test_path_;
  if (OpenTest(path)) emit Opened();
}

FileDialogs& TestDocuments::Dialogs() { return window_.Dialogs(); }

void TestDocuments::MenuHelpEsempi_Click() {
  const QString folder = ExamplesFolderFor(QCoreApplication::applicationDirPath());
  if (!ExamplesAvailable(folder)) {
    QMessageBox::warning(&window_, QStringLiteral("Errore"),
                         QStringLiteral("Gli esempi non sono installati (cartella %1)")
                             .arg(QDir::toNativeSeparators(folder)));
    return;
  }
  window_.Dialogs().OpenNextIn(folder);
  MenuFileApri_Click();
}

void TestDocuments::MenuEditCopiaFiltro_Click() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setText(FilterClipboardText(window_.ParametersText(), window_.FunctionsText()));
}

void TestDocuments::MenuEditCopiaGrafico_Click() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setImage(c_.Grafico1->SurfaceImage());
}

void TestDocuments::MenuEditIncolla_Click() {
  // Text copied on Linux (the README's own example among it) has LF line ends: taken as CR LF.
  QString text = QApplication::clipboard()->text();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  const std::optional<FilterProgram> pasted = ParseFilterClipboardText(text);
  if (!pasted) {
    QMessageBox::warning(&window_, QStringLiteral("Errore"),
                         QStringLiteral("Il testo copiato non è in un formato valido"));
    return;
  }
  c_.txtPar->setPlainText(WithLf(pasted->parameters));
  c_.txtFil->setPlainText(WithLf(pasted->functions));
}

std::optional<OscilloscopeSection> TestDocuments::CollectOscilloscopeSection() const {
  const Form2* osc = window_.oscilloscope();
  return osc ? std::optional(osc->CollectSection()) : std::nullopt;
}

void TestDocuments::ApplyOscilloscopeRecord(const TestDocument& document, const Record& record) {
  if (!document.oscilloscope) return;
  // "-addin-" shows the window as "Oscilloscopio..." does; another record of the section
  // creates it without showing it (the Tools menu shows it later).
  if (record.key == u"-addin-") {
    window_.MenuToolsOsc_Click();
  } else {
    window_.CreateOscilloscope();
  }
  window_.oscilloscope()->ApplySection(*document.oscilloscope, record.key);
}

}  // namespace quorvel
