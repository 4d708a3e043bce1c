#include "main_window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <utility>

#include "documents/filter_clipboard.h"
#include "main_window/response_export.h"
#include "main_window/response_graphs.h"
#include "main_window/test_documents.h"
#include "oscilloscope/oscilloscope_window.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "simulation/script_filter_engine.h"
#include "widgets/client_area.h"
#include "widgets/context_help.h"
#include "widgets/count_control.h"
#include "widgets/file_dialogs.h"
#include "widgets/frequency_range.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/run_launcher.h"
#include "widgets/run_report_view.h"
#include "widgets/status_panels.h"
#include "widgets/text_box_guards.h"
#include "widgets/window_help.h"
#include "widgets/window_support.h"
#include "window_core/help_book.h"
#include "window_core/twips.h"

namespace quorvel {

namespace {

QString TextWithCrLf(const QPlainTextEdit& text) {
  return text.toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

}  // namespace

Form1::Form1()
    : Script1_(std::make_unique<ScriptHost>()),
      launcher_(new RunLauncher(this)),
      dialogs_(std::make_unique<FileDialogs>()),
      help_file_(HelpFolderFor(QApplication::applicationDirPath())) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Quorvel"));
  SetupMainWindowControls(*this, c_);
  graphs_ = new ResponseGraphs(*this, c_);
  documents_ = new TestDocuments(*this, c_, *graphs_);
  new ResponseExport(*this, c_, *graphs_, *documents_);
  ConnectControls();
  c_.client->SetMinimumOuterTwips(kMinimumOuterWidth, kMinimumOuterHeight);
  ConnectWindowHelp(*this, *c_.cmdHelp, *c_.SB1, [this] { return help_file_; });
  ApplyGeometry();

  // Start: the prelude, the sliders, the first tab.
  (void)Script1_->LoadCode(PreludeText());
  ApplyDefaultSliders();
  c_.TS1->setCurrentIndex(0);
  TS1_Click(0);
  c_.SB1->SetText(2, QStringLiteral("Ombrat - Ferrolt"));
  for (int panel = 3; panel <= 5; ++panel) c_.SB1->SetText(panel, QStringLiteral("/"));
  c_.SB1->SetTag(5, QStringLiteral("deg"));
  c_.SB1->Panel(3)->setToolTip(QStringLiteral("Frequenza"));
  c_.SB1->Panel(4)->setToolTip(QStringLiteral("Vo/Vi"));
  c_.SB1->Panel(5)->setToolTip(QStringLiteral("Fase"));
  documents_->SetTestModified(false);
  c_.Timer1->start();

  // A design size close to the layout's own minimum, wide enough for the help mode's hint in
  // the status bar; the layout takes over at the first resize.
  resize(std::max(TwipsToPixelsX(9600, *this), c_.SB1->WidthShowing(kHelpModeHint.toString())),
         TwipsToPixelsY(7800, *this));
}

Form1::~Form1() {
  // The graphs' event filter reads the controls, which are members of this window and go before
  // its widgets do: the filter stops first.
  for (QWidget* watched : {static_cast<QWidget*>(c_.Grafico1), static_cast<QWidget*>(c_.Grafico2),
                           static_cast<QWidget*>(c_.SLog)}) {
    watched->removeEventFilter(graphs_);
  }
}

void Form1::ConnectControls() {
  connect(c_.client, &ClientArea::Resized, this, &Form1::LayoutMainWindow);
  connect(c_.cmdStart, &QPushButton::clicked, this, &Form1::cmdStart_Click);
  connect(c_.cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
  connect(c_.TS1, &QTabBar::currentChanged, this, &Form1::TS1_Click);
  connect(c_.MenuFileEsci, &QAction::triggered, this, &QWidget::close);
  connect(c_.MenuToolsOsc, &QAction::triggered, this, &Form1::MenuToolsOsc_Click);
  connect(documents_, &TestDocuments::Opened, this, &Form1::PreviewOpenedTest);
  connect(launcher_, &RunLauncher::RunningChanged, this, &Form1::RunningChanged);
  for (QLabel* splitter : {c_.lblMX, c_.lblMY}) splitter->installEventFilter(this);
  // Ctrl+A is "Apri..." wherever the focus is; a test file dropped on the window or a text box
  // opens as "Apri..." would, once the drop is over.
  auto* drops = new TestFileDrops(*this, [this](const QString& path) {
    QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
  });
  for (QPlainTextEdit* box : {c_.txtPar, c_.txtFil}) {
    GiveKeysToMenu(*box, c_.MenuFileApri->shortcut());
    drops->Watch(*box->viewport());
  }
  for (QLineEdit* box : {c_.range->txtStF(), c_.range->txtEnF()}) {
    GiveKeysToMenu(*box, c_.MenuFileApri->shortcut());
    drops->Watch(*box);
  }
  // Long script calls deliver events, so the window answers while a filter spins; a cancel
  // also stops the call that is running.
  Script1_->SetBusyHook([this] {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (cancel_) Script1_->CancelRunningCall();
  });
}

QString Form1::ParametersText() const { return TextWithCrLf(*c_.txtPar); }
QString Form1::FunctionsText() const { return TextWithCrLf(*c_.txtFil); }

void Form1::SaveTest() { (void)documents_->SaveTest(documents_->TestPath()); }

void Form1::ApplyDefaultSliders() {
  c_.range->ApplyDefaults();
  c_.oscillations->SetValue(2);
  c_.samples->SetValue(20);
  c_.SLog->setValue(10);
  graphs_->SLog_Change();
}

void Form1::FreshScriptScope() {
  ScriptStatus status = Script1_->ResetGlobalScope();
  if (status.ok()) status = Script1_->LoadCode(PreludeText());
  if (!status.ok())
    QMessageBox::critical(this, QStringLiteral("Errore"), status.error().description);
}

// ---- Layout and splitters

void Form1::TS1_Click(int index) {
  const int tab = index + 1;
  c_.Grafico1->setVisible(tab != 2);
  c_.Grafico2->setVisible(tab != 1);
  LayoutMainWindow();
}

void Form1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  LayoutMainWindow();
  OpenWhenExposed();
}

void Form1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) LayoutMainWindow();
}

void Form1::LayoutMainWindow() {
  // Before the window is shown its client area has no real size yet.
  if (!isVisible()) return;
  c_.client->ApplyMinimumSize();
  const WindowSize measured = c_.client->MeasuredTwips();
  WindowSize size = measured;
  if (!quorvel::LayoutMainWindow(geometry_, size, c_.TS1->currentIndex() + 1)) return;
  c_.client->GrowTo(measured, size);
  ApplyGeometry();
  graphs_->RequestRedraw();
}

void Form1::ApplyGeometry() {
  const MainWindowGeometry& g = geometry_;
  PlaceTwips(c_.Frame1, g.Frame1);
  PlaceTwips(c_.cmdStart, g.cmdStart);
  PlaceTwips(c_.cmdStop, g.cmdStop);
  PlaceTwips(c_.Frame3, g.Frame3);
  PlaceTwips(c_.txtPar, g.txtPar);
  PlaceTwips(c_.lblMX, g.lblMX);
  PlaceTwips(c_.Frame2, g.Frame2);
  PlaceTwips(c_.txtFil, g.txtFil);
  PlaceTwips(c_.lblMY, g.lblMY);
  PlaceTwips(c_.TS1, g.TS1);
  PlaceTwips(c_.Grafico1, g.Grafico1);
  PlaceTwips(c_.Grafico2, g.Grafico2);
  const double W = c_.client->width() * TwipsPerPixelX(*this);
  const double H = c_.client->height() * TwipsPerPixelY(*this);
  PlaceTwips(c_.SB1, {0, H - g.SB1Height, W, g.SB1Height});
  PlaceTwips(c_.cmdHelp, g.cmdHelp);
  c_.cmdHelp->raise();
}

QPointF Form1::CursorTwips(QPointF global_position) const {
  return {global_position.x() * TwipsPerPixelX(*this), global_position.y() * TwipsPerPixelY(*this)};
}

void Form1::Splitter_MouseDown(QWidget* splitter, QPointF global_position) {
  const TwipRect& rect = splitter == c_.lblMX ? geometry_.lblMX : geometry_.lblMY;
  drag_offsets_ = BeginDrag(rect, CursorTwips(global_position));
}

void Form1::Splitter_MouseMove(QWidget* splitter, QPointF global_position) {
  const double W = c_.client->width() * TwipsPerPixelX(*this);
  const double H = c_.client->height() * TwipsPerPixelY(*this);
  const QPointF cursor = CursorTwips(global_position);
  if (splitter == c_.lblMX) {
    TwipRect& r = geometry_.lblMX;
    DragWithin(r, drag_offsets_, cursor, 2400, W - 2400, r.top, r.top);
  } else {
    TwipRect& r = geometry_.lblMY;
    DragWithin(r, drag_offsets_, cursor, r.left, r.left, 2760, H - 2000);
  }
  LayoutMainWindow();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && watched == windowHandle()) {
    OpenWhenExposed();
    return false;
  }
  if (watched == c_.lblMX || watched == c_.lblMY) {
    auto* splitter = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseButtonPress) {
      Splitter_MouseDown(splitter, static_cast<QMouseEvent*>(event)->globalPosition());
      return true;
    }
    if (event->type() == QEvent::MouseMove) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->buttons() & Qt::LeftButton) Splitter_MouseMove(splitter, mouse->globalPosition());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- Sweeps

void Form1::cmdStart_Click() {
  if (launcher_->running()) return;
  const QString title = QApplication::applicationName();
  if (const QString problem = c_.range->StartProblem(); !problem.isEmpty()) {
    QMessageBox::warning(this, title, QStringLiteral("La frequenza iniziale ") + problem);
    c_.range->txtStF()->setFocus();
    return;
  }
  if (const QString problem = c_.range->EndProblem(); !problem.isEmpty()) {
    QMessageBox::warning(this, title, QStringLiteral("La frequenza finale ") + problem);
    c_.range->txtEnF()->setFocus();
    return;
  }
  documents_->SetTestModified(true);
  RunSweep(c_.range->StartHertz(), c_.range->EndHertz(), c_.samples->Value(),
           static_cast<std::int16_t>(c_.oscillations->Value()));
}

void Form1::PreviewOpenedTest() {
  setWindowTitle(TestWindowTitle(documents_->TestPath()));
  // A short preview of the opened test: 7 frequencies, one oscillation each.
  if (!c_.range->StartProblem().isEmpty() || !c_.range->EndProblem().isEmpty()) return;
  RunSweep(c_.range->StartHertz(), c_.range->EndHertz(), 7, 1);
}

void Form1::RunSweep(double start_frequency, double end_frequency, std::int32_t samples,
                     std::int16_t oscillations) {
  if (launcher_->running()) return;
  cancel_ = false;
  running_ = true;
  // The sweep fills a result of its own: the one shown stays whole until the run hands over.
  SweepResult measured;
  SweepSettings settings{start_frequency, end_frequency,    samples,
                         oscillations,    ParametersText(), FunctionsText()};
  settings.method =
      c_.MenuToolsPrecisa->isChecked() ? SweepMethod::kPrecise : SweepMethod::kClassic;
  const std::optional<RunOutcome> outcome = launcher_->Launch(*this, [&](RunObserver& observer) {
    ScriptFilterEngine engine(*Script1_);
    return RunFrequencySweep(engine, observer, settings, measured, cancel_);
  });
  running_ = false;
  if (!outcome) return;
  ShowRunReport(*outcome, *c_.fReport, *c_.SB1);
  graphs_->SetResult(std::move(measured), settings.functions);
}

void Form1::cmdStop_Click() {
  cancel_ = true;
  c_.SB1->SetText(2, QStringLiteral("Operazione annullata"));
}

void Form1::AsyncCallback(qint16& /*res*/) { cancel_ = true; }

void Form1::RunningChanged(bool running) {
  for (QAction* command :
       {c_.MenuFileNuovo, c_.MenuFileApri, c_.MenuEditIncolla, c_.MenuHelpEsempi}) {
    command->setEnabled(!running);
  }
  c_.cmdStart->setEnabled(!running);
  if (running) return;
  if (close_after_run_) {
    close_after_run_ = false;
    open_after_run_.clear();
    QTimer::singleShot(0, this, &QWidget::close);
  } else if (!open_after_run_.isEmpty()) {
    QTimer::singleShot(
        0, this, [this, path = std::exchange(open_after_run_, QString())] { OpenFile(path); });
  }
}

void Form1::StopRuns() {
  cancel_ = true;
  if (oscilloscope_) oscilloscope_->StopRun();
}

// ---- Documents and the oscilloscope

void Form1::OpenFile(const QString& path) {
  if (launcher_->running()) {
    open_after_run_ = path;
    return;
  }
  if (documents_->OpenChosenTest(path)) PreviewOpenedTest();
}

void Form1::OpenFileOnceShown(const QString& path) {
  open_when_exposed_ = path;
  OpenWhenExposed();
}

void Form1::OpenWhenExposed() {
  if (open_when_exposed_.isEmpty()) return;
  QWindow* handle = windowHandle();
  if (!handle) return;  // not shown yet: the show comes back here
  if (!handle->isExposed()) {
    handle->installEventFilter(this);  // until the window system shows it
    return;
  }
  handle->removeEventFilter(this);
  QTimer::singleShot(
      0, this, [this, path = std::exchange(open_when_exposed_, QString())] { OpenFile(path); });
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
  if (!documents_->ConfirmDiscard()) {
    event->ignore();
    return;
  }
  main_closing_ = true;
  // The oscilloscope lets itself close now; it is destroyed with this window.
  if (oscilloscope_) oscilloscope_->close();
  event->accept();
}

void Form1::CreateOscilloscope() {
  if (!oscilloscope_) oscilloscope_ = std::make_unique<Form2>(*this);
}

void Form1::MenuToolsOsc_Click() {
  if (oscilloscope_) {
    // Already created (shown, hidden or minimized): brought forward with its own settings.
    BringForward(*oscilloscope_);
    return;
  }
  CreateOscilloscope();
  oscilloscope_->show();
  oscilloscope_->TakeFrequencySettings(c_.range->SStFM()->value(), c_.range->SEnFM()->value(),
                                       c_.oscillations->bar()->value(), c_.range->txtStF()->text(),
                                       c_.range->txtEnF()->text());
}

void Form1::HideOscilloscope() {
  if (oscilloscope_) oscilloscope_->close();  // only hides while this window lives
}

bool IsFormLoaded(const QString& form_name) {
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == form_name) return true;
  }
  return false;
}

}  // namespace quorvel
