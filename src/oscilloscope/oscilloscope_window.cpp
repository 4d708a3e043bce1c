#include "oscilloscope/oscilloscope_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "graphs/scope_screen.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_host.h"
#include "oscilloscope/parameter_list.h"
#include "oscilloscope/scope_export.h"
#include "oscilloscope/scope_pane.h"
#include "scripting/script_host.h"
#include "simulation/script_filter_engine.h"
#include "widgets/client_area.h"
#include "widgets/context_help.h"
#include "widgets/count_control.h"
#include "widgets/frequency_range.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/run_launcher.h"
#include "widgets/run_report_view.h"
#include "widgets/status_panels.h"
#include "widgets/window_help.h"
#include "widgets/window_support.h"
#include "window_core/twips.h"

namespace quorvel {

Form2::Form2(OscilloscopeHost& host) : host_(host) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Oscilloscopio"));
  SetupOscilloscopeControls(*this, c_);
  screen_ = new ScopePane(*this, c_, [this] { return CurrentOverlayText(); });
  new ScopeExport(*this, c_, *screen_, host_.Dialogs());
  parameters_ = new ParameterList(*this, c_);
  ConnectControls();
  c_.client->SetMinimumOuterTwips(kOscilloscopeMinimumOuterWidth, kOscilloscopeMinimumOuterHeight);
  ConnectWindowHelp(*this, *c_.cmdHelp, *c_.SB1, [this] { return host_.HelpFile(); });
  ApplyGeometry();
  Form_Load();
  // A design size above the minimum, wide enough for the help mode's hint in the status bar;
  // the layout takes over at the first resize.
  resize(std::max(TwipsToPixelsX(10200, *this), c_.SB1->WidthShowing(kHelpModeHint.toString())),
         TwipsToPixelsY(8400, *this));
}

Form2::~Form2() {
  // The panes' event filters read the controls, which are members of this window and go before
  // its widgets do: the filters stop first.
  c_.lstPar->viewport()->removeEventFilter(parameters_);
  c_.Grafico1->removeEventFilter(screen_);
}

void Form2::ConnectControls() {
  connect(c_.client, &ClientArea::Resized, this, &Form2::LayoutOscilloscope);
  connect(c_.Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
  connect(c_.cmbWF, &QComboBox::activated, this, [this] { run_requested_ = true; });
  c_.cmbWF->installEventFilter(this);
  c_.cmbWF->lineEdit()->installEventFilter(this);
  connect(c_.SFF, &QSlider::valueChanged, this, [this] { run_requested_ = true; });
  connect(c_.SVDivI, &QScrollBar::valueChanged, this, &Form2::SVDivI_Change);
  connect(c_.SVDivO, &QScrollBar::valueChanged, this, &Form2::SVDivO_Change);
  connect(c_.cmdAgg, &QPushButton::clicked, this, &Form2::cmdAgg_Click);
  connect(c_.cmdStop, &QPushButton::clicked, this, &Form2::cmdStop_Click);
  connect(parameters_, &ParameterList::RunRequested, this, [this] { run_requested_ = true; });
  connect(screen_, &ScopePane::RedrawWanted, this, [this] { redraw_requested_ = true; });
  connect(c_.MenuFileSalva, &QAction::triggered, this, [this] { host_.SaveTest(); });
  connect(c_.MenuFileChiudi, &QAction::triggered, this, &QWidget::close);
  // Choosing the entry has already inverted its check mark.
  connect(c_.MenuToolsParF, &QAction::triggered, this, &Form2::ShowParameterPanel);
}

void Form2::Form_Load() {
  c_.cmbWF->addItems(WaveformNames());
  c_.cmbWF->setCurrentIndex(0);
  c_.range->ApplyDefaults();
  c_.SVDivI->setValue(6);
  c_.SVDivO->setValue(6);
  c_.oscillations->SetValue(2);
  c_.samples->SetValue(1000);
  // Bars already at their value announce no change: write both boxes once.
  SVDivI_Change();
  SVDivO_Change();
  c_.SB1->SetText(2, QStringLiteral("Ombrat - Ferrolt"));
  for (int panel = 3; panel <= 5; ++panel) c_.SB1->SetText(panel, QStringLiteral("/"));
  c_.SB1->SetTag(3, QStringLiteral("s"));
  c_.SB1->Panel(3)->setToolTip(QStringLiteral("Tempo"));
  c_.SB1->Panel(4)->setToolTip(QStringLiteral("vi"));
  c_.SB1->Panel(5)->setToolTip(QStringLiteral("vo"));
  stop_requested_ = true;
  run_requested_ = true;  // the first tick runs the filter
  redraw_requested_ = false;
  c_.Timer1->start();
}

void Form2::TakeFrequencySettings(int start_unit_position, int end_unit_position,
                                  int oscillations_position, const QString& start_text,
                                  const QString& end_text) {
  c_.range->SStFM()->setValue(start_unit_position);
  c_.range->SEnFM()->setValue(end_unit_position);
  c_.oscillations->bar()->setValue(oscillations_position);
  c_.range->txtStF()->setText(start_text);
  c_.range->txtEnF()->setText(end_text);
}

double Form2::StartMultiplier() const { return c_.range->StartMultiplier(); }
double Form2::EndMultiplier() const { return c_.range->EndMultiplier(); }
const TimeTrace& Form2::trace() const { return screen_->trace(); }

void Form2::DropRequests() {
  run_requested_ = false;
  redraw_requested_ = false;
}

// ---- Layout

double Form2::InnerWidthTwips() const { return c_.client->width() * TwipsPerPixelX(*this); }
double Form2::InnerHeightTwips() const { return c_.client->height() * TwipsPerPixelY(*this); }

void Form2::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  LayoutOscilloscope();
}

void Form2::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) LayoutOscilloscope();
}

void Form2::LayoutOscilloscope() {
  // Before the window is shown its client area has no real size yet.
  if (!isVisible()) return;
  c_.client->ApplyMinimumSize();
  const WindowSize measured = c_.client->MeasuredTwips();
  WindowSize size = measured;
  if (!quorvel::LayoutOscilloscope(geometry_, size, c_.MenuToolsParF->isChecked())) return;
  c_.client->GrowTo(measured, size);
  ApplyGeometry();
  redraw_requested_ = true;
}

void Form2::ApplyGeometry() {
  const OscilloscopeGeometry& g = geometry_;
  PlaceTwips(c_.Grafico1, g.Grafico1);
  PlaceTwips(c_.Frame1, g.Frame1);
  PlaceTwips(c_.cmdAgg, g.cmdAgg);
  PlaceTwips(c_.cmdStop, g.cmdStop);
  PlaceTwips(c_.Frame2, g.Frame2);
  PlaceTwips(c_.lstPar, g.lstPar);
  PlaceTwips(c_.SB1, {0, InnerHeightTwips() - g.SB1Height, InnerWidthTwips(), g.SB1Height});
  PlaceTwips(c_.cmdHelp, g.cmdHelp);
  c_.cmdHelp->raise();
  if (c_.fReport->isVisible()) c_.fReport->raise();
}

void Form2::MenuToolsParF_Click() {
  c_.MenuToolsParF->setChecked(!c_.MenuToolsParF->isChecked());
  ShowParameterPanel();
}

void Form2::ShowParameterPanel() {
  c_.Frame2->setVisible(c_.MenuToolsParF->isChecked());
  LayoutOscilloscope();
}

// ---- Runs

void Form2::Timer1_Timer() {
  // A tick that runs a run delivers events meanwhile, the timer's own among them.
  if (in_tick_) return;
  in_tick_ = true;
  // While another run holds the engine (a sweep of the main window), the request waits. It is
  // cleared before the run, so that one made while the run lasts is served by a later tick.
  if (run_requested_ && !host_.Launcher().running()) {
    run_requested_ = false;
    StartRun();
    screen_->RedrawScope();
  }
  if (redraw_requested_) {
    redraw_requested_ = false;
    screen_->RedrawScope();
  }
  in_tick_ = false;
}

void Form2::StartRun() {
  // Invalid frequency texts prevent the run silently: the previous trace and report stay.
  if (!c_.range->StartProblem().isEmpty() || !c_.range->EndProblem().isEmpty()) return;
  stop_requested_ = false;
  ScopeSettings run;
  run.frequency = RunFrequencyFromSlider(c_.SFF->value(), c_.SFF->maximum(), c_.range->StartHertz(),
                                         c_.range->EndHertz());
  run.oscillations = c_.oscillations->Value();
  run.samples = c_.samples->Value();
  run.waveform = c_.cmbWF->currentText();
  if (c_.MenuToolsParF->isChecked()) run.parameter_items = parameters_->Items();
  run.parameters = host_.ParametersText();
  run.functions = host_.FunctionsText();
  last_run_ = run;

  // The run fills a trace of its own, handed over when it ends.
  TimeTrace measured;
  running_ = true;
  const std::optional<RunOutcome> outcome =
      host_.Launcher().Launch(*this, [&](RunObserver& observer) {
        ScriptFilterEngine engine(host_.Script1());
        return SimulateTrace(engine, observer, run, measured, stop_requested_);
      });
  running_ = false;
  if (!outcome) return;
  screen_->SetTrace(std::move(measured));
  ShowRunReport(*outcome, *c_.fReport, *c_.SB1);
  ++run_count_;
}

void Form2::cmdAgg_Click() { run_requested_ = true; }

void Form2::cmdStop_Click() {
  stop_requested_ = true;
  StopRunningCall();
}

void Form2::AsyncCallback(qint16& /*res*/) { cmdStop_Click(); }

void Form2::StopRun() { cmdStop_Click(); }

// A filter that spins inside one script call never reaches a pacing point: the call itself is
// stopped. The click that asks for it arrives while the engine delivers events during the call.
void Form2::StopRunningCall() {
  if (running_) host_.Script1().CancelRunningCall();
}

QString Form2::CurrentOverlayText() const {
  return ScopeOverlayText(last_run_.functions, c_.cmbWF->currentText(), last_run_.frequency);
}

void Form2::SVDivI_Change() {
  c_.txtVDivI->setText(VoltsPerDivisionTexts().value(c_.SVDivI->value()));
  redraw_requested_ = true;
}

void Form2::SVDivO_Change() {
  c_.txtVDivO->setText(VoltsPerDivisionTexts().value(c_.SVDivO->value()));
  redraw_requested_ = true;
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  // The waveform box asks for a run on Down, Up and Enter: a typed statement takes effect on
  // Enter or "Aggiorna".
  // (The type first: the box is not asked for its line edit while it is being destroyed.)
  if (event->type() == QEvent::KeyRelease &&
      (watched == c_.cmbWF || watched == c_.cmbWF->lineEdit())) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Return || key == Qt::Key_Enter) {
      run_requested_ = true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void Form2::closeEvent(QCloseEvent* event) {
  stop_requested_ = true;
  StopRunningCall();
  if (!host_.MainClosing()) {
    // While the main window stays open, closing only hides: trace, report and settings stay.
    event->ignore();
    hide();
    return;
  }
  event->accept();
}

// ---- Test files

OscilloscopeSection Form2::CollectSection() const {
  OscilloscopeSection s;
  s.window_state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  s.width = static_cast<float>(frameGeometry().width() * TwipsPerPixelX(*this));
  s.height = static_cast<float>(frameGeometry().height() * TwipsPerPixelY(*this));
  s.waveform = c_.cmbWF->currentText();
  s.start_frequency = c_.range->txtStF()->text();
  s.end_frequency = c_.range->txtEnF()->text();
  s.start_multiplier = GetReversedValue(*c_.range->SStFM());
  s.end_multiplier = GetReversedValue(*c_.range->SEnFM());
  s.frequency_position = c_.SFF->value();
  s.oscillations = c_.oscillations->Value();
  s.samples = c_.samples->Value();
  s.overlay_x = screen_->FilX();
  s.overlay_y = screen_->FilY();
  s.show_filter = c_.MenuShowFil->isChecked();
  s.separate_signals = c_.MenuShowSepSign->isChecked();
  s.parametric_filter = c_.MenuToolsParF->isChecked();
  s.point_density = c_.MenuShowPD->isChecked();
  s.time_unit = c_.SB1->Tag(3);
  s.vdiv_in = static_cast<std::int16_t>(c_.SVDivI->value());
  s.vdiv_out = static_cast<std::int16_t>(c_.SVDivO->value());
  s.parameter_items = parameters_->Items();
  return s;
}

// Brings the controls to the section's values through the operations a user's input runs; `key`
// is the record just read.
void Form2::ApplySection(const OscilloscopeSection& s, const QString& key) {
  if (key == u"OscSt") {
    const Qt::WindowStates states[] = {Qt::WindowNoState, Qt::WindowMinimized, Qt::WindowMaximized};
    setWindowState(states[std::clamp<int>(s.window_state, 0, 2)]);
  }
  if ((key == u"OscW" || key == u"OscH") && windowState() == Qt::WindowNoState) {
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(TwipsToPixelsX(s.width, *this) - frame.width(),
           TwipsToPixelsY(s.height, *this) - frame.height());
  }
  if (c_.cmbWF->currentText() != s.waveform) {
    const int index = c_.cmbWF->findText(s.waveform);
    if (index >= 0) {
      c_.cmbWF->setCurrentIndex(index);
    } else {
      c_.cmbWF->setEditText(s.waveform);
    }
  }
  if (c_.range->txtStF()->text() != s.start_frequency) {
    c_.range->txtStF()->setText(s.start_frequency);
  }
  if (c_.range->txtEnF()->text() != s.end_frequency) c_.range->txtEnF()->setText(s.end_frequency);
  SetReversedValue(*c_.range->SStFM(), s.start_multiplier);
  SetReversedValue(*c_.range->SEnFM(), s.end_multiplier);
  c_.SFF->setValue(s.frequency_position);
  c_.oscillations->SetValue(s.oscillations);
  c_.samples->SetValue(s.samples);
  screen_->SetOverlay(s.overlay_x, s.overlay_y);
  c_.MenuShowFil->setChecked(s.show_filter);
  c_.MenuShowSepSign->setChecked(s.separate_signals);
  c_.MenuShowPD->setChecked(s.point_density);
  if (key == u"OscParFil" && s.parametric_filter != c_.MenuToolsParF->isChecked()) {
    MenuToolsParF_Click();
  }
  if (key == u"OscUnitX" && s.time_unit.value_or(QString()) != c_.SB1->Tag(3)) {
    screen_->SB1_PanelClick(3);
  }
  c_.SVDivI->setValue(s.vdiv_in);
  c_.SVDivO->setValue(s.vdiv_out);
  parameters_->AppendFrom(s.parameter_items);
}

void Form2::ClearParameters() { parameters_->Clear(); }

}  // namespace quorvel
