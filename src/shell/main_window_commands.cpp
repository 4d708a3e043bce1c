// The main window's handlers: sliders and labels, tabs, splitters, the deferred redraw, the
// layout, and the start and stop of a sweep.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QWindowStateChangeEvent>

#include <cmath>
#include <utility>

#include "graphs/response_graph.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "scripting/script_host.h"
#include "shell/graph_surface.h"
#include "shell/main_window.h"
#include "shell/progress_window.h"
#include "shell/report_panel.h"
#include "shell/run_launcher.h"
#include "shell/status_panels.h"
#include "shell/twips.h"
#include "simulation/script_filter_engine.h"

namespace quorvel {

namespace {

QString TextWithCrLf(const QPlainTextEdit& text) {
  QString value = text.toPlainText();
  value.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return value;
}

}  // namespace

QString Form1::ParametersText() const { return TextWithCrLf(*txtPar_); }
QString Form1::FunctionsText() const { return TextWithCrLf(*txtFil_); }

void Form1::ApplyDefaultSliders() {
  SetReversedValue(*SStFM_, 0);
  SetReversedValue(*SEnFM_, 1);
  SetReversedValue(*SOsc_, 2);
  SetReversedValue(*SCa_, 20);
  SLog_->setValue(10);
  SLog_Change();
}

void Form1::SStFM_Change() {
  start_multiplier_ = std::pow(10.0, 3 * GetReversedValue(*SStFM_));
  lblStFM_->setText(PrefixLetter(start_multiplier_) + QStringLiteral("Hz"));
}

void Form1::SEnFM_Change() {
  end_multiplier_ = std::pow(10.0, 3 * GetReversedValue(*SEnFM_));
  lblEnFM_->setText(PrefixLetter(end_multiplier_) + QStringLiteral("Hz"));
}

void Form1::SOsc_Change() { lblOsc_->setText(QString::number(GetReversedValue(*SOsc_))); }

void Form1::SCa_Change() { lblCa_->setText(QString::number(GetReversedValue(*SCa_))); }

void Form1::SLog_Change() {
  LogFloor = LogFloorForPosition(SLog_->value());
  RedrawPending = -1;
}

void Form1::lblOsc_MouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) (void)AddReversedValue(*SOsc_, 10);
  if (button == Qt::RightButton) (void)AddReversedValue(*SOsc_, -10);
}

void Form1::lblCa_MouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) (void)AddReversedValue(*SCa_, 100);
  if (button == Qt::RightButton) (void)AddReversedValue(*SCa_, -100);
}

void Form1::TS1_Click(int index) {
  const int tab = index + 1;
  Grafico1_->setVisible(tab != 2);
  Grafico2_->setVisible(tab != 1);
  LayoutMainWindow();
}

QPointF Form1::CursorTwips(QPointF global_position) const {
  return {global_position.x() * TwipsPerPixelX(*this), global_position.y() * TwipsPerPixelY(*this)};
}

void Form1::Splitter_MouseDown(QWidget* splitter, QPointF global_position) {
  const TwipRect& rect = splitter == lblMX_ ? geometry_.lblMX : geometry_.lblMY;
  drag_offsets_ = BeginDrag(rect, CursorTwips(global_position));
}

void Form1::Splitter_MouseMove(QWidget* splitter, QPointF global_position) {
  const double W = client_->width() * TwipsPerPixelX(*this);
  const double H = client_->height() * TwipsPerPixelY(*this);
  const QPointF cursor = CursorTwips(global_position);
  if (splitter == lblMX_) {
    TwipRect& r = geometry_.lblMX;
    DragWithin(r, drag_offsets_, cursor, 2400, W - 2400, r.top, r.top);
  } else {
    TwipRect& r = geometry_.lblMY;
    DragWithin(r, drag_offsets_, cursor, r.left, r.left, 2760, H - 2000);
  }
  LayoutMainWindow();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (watched == lblOsc_ || watched == lblCa_) {
    if (type == QEvent::MouseButtonRelease) {
      const auto button = static_cast<QMouseEvent*>(event)->button();
      watched == lblOsc_ ? lblOsc_MouseUp(button) : lblCa_MouseUp(button);
      return true;
    }
  } else if (watched == lblMX_ || watched == lblMY_) {
    auto* splitter = static_cast<QWidget*>(watched);
    if (type == QEvent::MouseButtonPress) {
      Splitter_MouseDown(splitter, static_cast<QMouseEvent*>(event)->globalPosition());
      return true;
    }
    if (type == QEvent::MouseMove) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->buttons() & Qt::LeftButton) Splitter_MouseMove(splitter, mouse->globalPosition());
      return true;
    }
  } else if (watched == Grafico1_ || watched == Grafico2_) {
    if (GraphEvent(watched == Grafico2_ ? 2 : 1, event)) return true;
  } else if (watched == client_ && type == QEvent::Resize) {
    // The client area is the window's inner area: lay out whenever it changes size.
    LayoutMainWindow();
  } else if (watched == SLog_ && type == QEvent::MouseMove) {
    if (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) SLog_Change();
  }
  return QMainWindow::eventFilter(watched, event);
}

void Form1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  LayoutMainWindow();
}

void Form1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) LayoutMainWindow();
}

void Form1::LayoutMainWindow() {
  // Before the window is shown its client area has no real size yet.
  if (!client_ || !isVisible()) return;
  const double tx = TwipsPerPixelX(*this);
  const double ty = TwipsPerPixelY(*this);
  MainWindowSize size{client_->width() * tx, client_->height() * ty, frameGeometry().width() * tx,
                      frameGeometry().height() * ty, isMinimized()};
  const double outer_width = size.outer_width;
  const double outer_height = size.outer_height;
  if (!quorvel::LayoutMainWindow(geometry_, size, TS1_->currentIndex() + 1)) return;
  if (size.outer_width != outer_width || size.outer_height != outer_height) {
    // Below the minimum: grow to it; the resize lays the window out again.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(TwipsToPixelsX(size.outer_width, *this) - frame.width(),
           TwipsToPixelsY(size.outer_height, *this) - frame.height());
  }
  ApplyGeometry();
  RedrawPending = -1;
}

void Form1::ApplyGeometry() {
  const MainWindowGeometry& g = geometry_;
  auto place = [this](QWidget* widget, const TwipRect& rect) {
    widget->setGeometry(TwipRectToPixels(rect, *this));
  };
  place(Frame1_, g.Frame1);
  place(cmdStart_, g.cmdStart);
  place(cmdStop_, g.cmdStop);
  place(Frame3_, g.Frame3);
  place(txtPar_, g.txtPar);
  place(lblMX_, g.lblMX);
  place(Frame2_, g.Frame2);
  place(txtFil_, g.txtFil);
  place(lblMY_, g.lblMY);
  place(TS1_, g.TS1);
  place(Grafico1_, g.Grafico1);
  place(Grafico2_, g.Grafico2);
  const double H = client_->height() * TwipsPerPixelY(*this);
  place(SB1_, {0, H - g.SB1Height, client_->width() * TwipsPerPixelX(*this), g.SB1Height});
  place(cmdHelp_, g.cmdHelp);
  cmdHelp_->raise();
}

void Form1::Timer1_Timer() {
  if (RedrawPending != 0) {
    RedrawGraphs();
    RedrawPending = 0;
  }
}

void Form1::RedrawGraphs() {
  ++redraw_count_;
  GraphOptions options;
  options.log_x = chkLogX_->isChecked();
  options.log_y = chkLogY_->isChecked();
  options.show_cutoff = MenuShowCF_->isChecked();
  options.log_floor = LogFloor;
  GraphOverlay overlay{Fil1X, Fil1Y, Fil2X, Fil2Y,
                       MenuShowFil_->isChecked() ? FunctionsText() : QString()};
  QImage amplitude = Grafico1_->NewImage();
  QImage phase = Grafico2_->NewImage();
  bool drawn = false;
  {
    QPainter amplitude_painter(&amplitude);
    QPainter phase_painter(&phase);
    drawn = DrawGraphs(result_, amplitude_painter, QSizeF(amplitude.size()), phase_painter,
                       QSizeF(phase.size()), options, overlay);
  }
  if (!drawn) return;  // nothing measured: the surfaces keep what they show
  Grafico1_->SetImage(std::move(amplitude));
  Grafico2_->SetImage(std::move(phase));
}

void Form1::cmdStart_Click() {
  if (launcher_->running()) return;
  const QString title = QApplication::applicationName();
  const QString start_problem = ValidateNumber(txtStF_->text(), false, 0.001, 100000);
  if (!start_problem.isEmpty()) {
    QMessageBox::warning(this, title, QStringLiteral("La frequenza iniziale ") + start_problem);
    txtStF_->setFocus();
    return;
  }
  const QString end_problem = ValidateNumber(txtEnF_->text(), false, 0.001, 100000);
  if (!end_problem.isEmpty()) {
    QMessageBox::warning(this, title, QStringLiteral("La frequenza finale ") + end_problem);
    txtEnF_->setFocus();
    return;
  }
  const double start_frequency = ParseNumber(txtStF_->text()).value_or(0) * start_multiplier_;
  const double end_frequency = ParseNumber(txtEnF_->text()).value_or(0) * end_multiplier_;
  TestModified = true;
  RunSweep(start_frequency, end_frequency, GetReversedValue(*SCa_),
           static_cast<std::int16_t>(GetReversedValue(*SOsc_)));
}

void Form1::RunSweep(double start_frequency, double end_frequency, std::int32_t samples,
                     std::int16_t oscillations) {
  if (launcher_->running()) return;
  cancel_ = false;
  running_ = true;
  // The sweep fills a result of its own: the one shown stays whole until the run hands over.
  SweepResult measured;
  const QString parameters = ParametersText();
  const QString functions = FunctionsText();
  const std::optional<RunOutcome> outcome = launcher_->Launch(*this, [&](RunObserver& observer) {
    ScriptFilterEngine engine(*Script1_);
    return RunFrequencySweep(
        engine, observer,
        SweepSettings{start_frequency, end_frequency, samples, oscillations, parameters, functions},
        measured, cancel_);
  });
  running_ = false;
  if (!outcome) return;
  result_ = std::move(measured);
  fReport_->SetReport(outcome->report);
  RedrawGraphs();
}

void Form1::RunningChanged(bool running) {
  for (const char* name : {"MenuFileNuovo", "MenuFileApri", "MenuEditIncolla"}) {
    findChild<QAction*>(QLatin1String(name))->setEnabled(!running);
  }
  cmdStart_->setEnabled(!running);
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

void Form1::cmdStop_Click() {
  cancel_ = true;
  SB1_->SetText(2, QStringLiteral("Operazione annullata"));
}

void Form1::AsyncCallback(qint16& /*res*/) { cancel_ = true; }

void Form1::MenuToolsOsc_Click() {
  if (oscilloscope_) {
    // Already created (shown or hidden): brought forward with its own settings.
    oscilloscope_->show();
    oscilloscope_->raise();
    oscilloscope_->activateWindow();
    return;
  }
  oscilloscope_ = std::make_unique<Form2>(*this);
  oscilloscope_->show();
  oscilloscope_->TakeFrequencySettings(SStFM_->value(), SEnFM_->value(), SOsc_->value(),
                                       txtStF_->text(), txtEnF_->text());
}

}  // namespace quorvel
