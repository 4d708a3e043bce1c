#include "main_window/response_graphs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <utility>

#include "graphs/filter_overlay.h"
#include "graphs/reference_curves.h"
#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"
#include "main_window/main_window_controls.h"
#include "widgets/client_area.h"
#include "widgets/context_help.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "window_core/twips.h"

namespace quorvel {

namespace {

QString TextWithCrLf(const QPlainTextEdit& text) {
  return text.toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

}  // namespace

ResponseGraphs::ResponseGraphs(QWidget& window, const MainWindowControls& controls)
    : QObject(&window), window_(window), c_(controls) {
  CreateOverlays();
  ConnectControls();
}

GraphSurface* ResponseGraphs::Surface(int graph) const {
  return graph == 2 ? c_.Grafico2 : c_.Grafico1;
}

void ResponseGraphs::CreateOverlays() {
  for (int graph = 1; graph <= 2; ++graph) {
    GraphSurface* surface = Surface(graph);
    const auto i = static_cast<std::size_t>(graph - 1);

    auto* line = new QFrame(surface);
    line->setObjectName(QStringLiteral("ShCur%1").arg(graph));
    line->setFrameStyle(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    line->setStyleSheet(QStringLiteral("background: #808080;"));
    line->setGeometry(0, 0, 1, surface->height());
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    ShCur_[i] = line;

    auto* label = new QLabel(QStringLiteral("Filtro"), surface);
    label->setObjectName(QStringLiteral("ShFil%1").arg(graph));
    // The colours of a tool tip: readable on a light theme and a dark one alike.
    label->setFrameStyle(QFrame::Box);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::ToolTipBase);
    label->setForegroundRole(QPalette::ToolTipText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->hide();
    ShFil_[i] = label;

    auto* report = new QToolButton(surface);
    report->setObjectName(QStringLiteral("cmdRep%1").arg(i));
    report->setIcon(window_.style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    report->setToolTip(QStringLiteral("Report"));
    report->setAutoRaise(true);
    report->adjustSize();
    report->hide();
    // The report buttons are pictures on the graphs: the graph's topic answers for them.
    SetHelpContext(*report, QStringLiteral("1011"));
    connect(report, &QToolButton::clicked, this, &ResponseGraphs::ShowReportPanel);
    cmdRep_[i] = report;

    surface->installEventFilter(this);
  }
}

void ResponseGraphs::ConnectControls() {
  connect(c_.Timer1, &QTimer::timeout, this, &ResponseGraphs::Timer1_Timer);
  connect(c_.SLog, &QSlider::valueChanged, this, &ResponseGraphs::SLog_Change);
  c_.SLog->installEventFilter(this);
  connect(c_.chkLogX, &QCheckBox::clicked, this, &ResponseGraphs::RedrawGraphs);
  connect(c_.chkLogY, &QCheckBox::clicked, this, &ResponseGraphs::RedrawGraphs);
  connect(c_.MenuShowCF, &QAction::triggered, this, &ResponseGraphs::RequestRedraw);
  connect(c_.MenuShowFil, &QAction::triggered, this, &ResponseGraphs::RequestRedraw);
  for (QAction* unit :
       {c_.MenuShowUnitPura, c_.MenuShowUnitDB, c_.MenuShowUnitDeg, c_.MenuShowUnitRad}) {
    connect(unit, &QAction::triggered, this, [this, unit] { MenuShowUnit_Click(unit); });
  }
  connect(c_.MenuShowReport, &QAction::triggered, this, &ResponseGraphs::ShowReportPanel);
  connect(c_.MenuShowScale, &QAction::triggered, this, &ResponseGraphs::RequestRedraw);
  connect(c_.MenuToolsConfronta, &QAction::triggered, this, [this] { (void)KeepReference(); });
  connect(c_.MenuToolsCancellaConfronti, &QAction::triggered, this,
          &ResponseGraphs::ClearReferences);
  connect(c_.SB1, &StatusPanels::PanelClick, this, &ResponseGraphs::SB1_PanelClick);
}

void ResponseGraphs::SetResult(SweepResult result, const QString& functions_text) {
  result_ = std::move(result);
  result_functions_ = functions_text;
  RedrawGraphs();
}

void ResponseGraphs::Clear() {
  result_ = SweepResult{};
  result_functions_.clear();
  for (GraphSurface* surface : {c_.Grafico1, c_.Grafico2}) surface->SetImage(QImage());
}

void ResponseGraphs::SLog_Change() {
  log_floor_ = LogFloorForPosition(c_.SLog->value());
  RequestRedraw();
}

void ResponseGraphs::Timer1_Timer() {
  if (redraw_pending_ != 0) {
    RedrawGraphs();
    redraw_pending_ = 0;
  }
}

GraphOptions ResponseGraphs::Options() const {
  GraphOptions options;
  options.log_x = c_.chkLogX->isChecked();
  options.log_y = c_.chkLogY->isChecked();
  options.show_cutoff = c_.MenuShowCF->isChecked();
  options.log_floor = log_floor_;
  options.numbered_scales = c_.MenuShowScale->isChecked();
  options.amplitude_unit = c_.SB1->Tag(4);
  options.references = references_;
  return options;
}

GraphOverlay ResponseGraphs::Overlay() const {
  return {overlay_.Fil1X, overlay_.Fil1Y, overlay_.Fil2X, overlay_.Fil2Y,
          c_.MenuShowFil->isChecked() ? TextWithCrLf(*c_.txtFil) : QString()};
}

void ResponseGraphs::RedrawGraphs() {
  ++redraw_count_;
  const GraphOptions options = Options();
  const GraphOverlay overlay = Overlay();
  QImage amplitude = c_.Grafico1->NewImage();
  QImage phase = c_.Grafico2->NewImage();
  bool drawn = false;
  {
    QPainter amplitude_painter(&amplitude);
    QPainter phase_painter(&phase);
    drawn = DrawGraphs(result_, amplitude_painter, QSizeF(amplitude.size()), phase_painter,
                       QSizeF(phase.size()), options, overlay);
  }
  if (!drawn) return;  // nothing measured: the surfaces keep what they show
  c_.Grafico1->SetImage(std::move(amplitude));
  c_.Grafico2->SetImage(std::move(phase));
}

void ResponseGraphs::MenuShowUnit_Click(QAction* chosen) {
  chosen->setChecked(true);  // its group unmarks the partner
  if (chosen == c_.MenuShowUnitPura || chosen == c_.MenuShowUnitDB) {
    c_.SB1->SetTag(4, chosen == c_.MenuShowUnitDB ? kDecibelUnit.toString() : QString());
    amplitude_unit_chosen_ = true;
    if (c_.MenuShowScale->isChecked()) RequestRedraw();  // the scale's values follow the unit
  } else {
    c_.SB1->SetTag(5,
                   chosen == c_.MenuShowUnitDeg ? kDegreeUnit.toString() : kRadianUnit.toString());
  }
}

void ResponseGraphs::SB1_PanelClick(int panel) {
  if (panel == 4) {
    const QString tag = ToggledAmplitudeUnit(c_.SB1->Tag(4));
    MenuShowUnit_Click(tag == kDecibelUnit ? c_.MenuShowUnitDB : c_.MenuShowUnitPura);
  } else if (panel == 5) {
    const QString tag = ToggledPhaseUnit(c_.SB1->Tag(5));
    MenuShowUnit_Click(tag == kDegreeUnit ? c_.MenuShowUnitDeg : c_.MenuShowUnitRad);
  }
}

void ResponseGraphs::UpdateTrace(int graph, std::int16_t buttons, double X, double Y) {
  TraceInput input;
  input.graph = graph == 2 ? TraceGraph::kPhase : TraceGraph::kAmplitude;
  input.buttons = buttons;
  input.x = X;
  input.y = Y;
  input.w1 = c_.Grafico1->width();
  input.h1 = c_.Grafico1->height();
  input.w2 = c_.Grafico2->width();
  input.h2 = c_.Grafico2->height();
  input.log_x = c_.chkLogX->isChecked();
  input.log_y = c_.chkLogY->isChecked();
  input.trace_mode = c_.MenuShowTr->isChecked();
  input.log_floor = log_floor_;
  input.amplitude_unit = c_.SB1->Tag(4);
  input.phase_unit = c_.SB1->Tag(5);
  input.reference_phases = ReferencePhaseExtent(references_);
  const TraceReadout readout = ComputeTrace(result_, input);

  ShCur_[0]->move(static_cast<int>(std::lround(readout.cursor1_x)), 0);
  ShCur_[1]->move(static_cast<int>(std::lround(readout.cursor2_x)), 0);
  c_.SB1->SetText(3, readout.frequency_text);
  c_.SB1->SetText(4, readout.amplitude_text);
  c_.SB1->SetText(5, readout.phase_text);
  ShowReferenceReadout(readout.frequency);
  if (readout.overlay_label_follows) {
    ShFil_[graph == 2 ? 1 : 0]->move(static_cast<int>(std::lround(X)),
                                     static_cast<int>(std::lround(Y)));
  }
}

void ResponseGraphs::Grafico_Resize(int graph) {
  const auto i = static_cast<std::size_t>(graph - 1);
  ShCur_[i]->resize(1, Surface(graph)->height());
  cmdRep_[i]->move(Surface(graph)->width() - cmdRep_[i]->width(), 0);
}

void ResponseGraphs::Grafico_MouseDown(int graph, QPointF at) {
  QLabel* label = ShFil_[static_cast<std::size_t>(graph - 1)];
  label->setText(c_.txtFil->toPlainText());
  label->adjustSize();
  label->move(at.toPoint());
  label->show();
  label->raise();
}

void ResponseGraphs::Grafico_MouseUp(int graph) {
  QLabel* label = ShFil_[static_cast<std::size_t>(graph - 1)];
  const GraphSurface* surface = Surface(graph);
  label->hide();
  const QPointF r = OverlayFromLabel(surface->width(), surface->height(), label->x(), label->y(),
                                     label->width(), label->height());
  (graph == 2 ? overlay_.Fil2X : overlay_.Fil1X) = r.x();
  (graph == 2 ? overlay_.Fil2Y : overlay_.Fil1Y) = r.y();
  RequestRedraw();
}

bool ResponseGraphs::GraphEvent(int graph, QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      Grafico_Resize(graph);
      return false;
    case QEvent::MouseButtonPress:
      Grafico_MouseDown(graph, static_cast<QMouseEvent*>(event)->position());
      return true;
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPointF at = mouse->position();
      UpdateTrace(graph, static_cast<std::int16_t>(mouse->buttons().toInt() & 7), at.x(), at.y());
      QToolButton* report = cmdRep_[static_cast<std::size_t>(graph - 1)];
      report->setVisible(at.x() > report->x() && at.y() < report->height());
      if (report->isVisible()) report->raise();
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) Grafico_MouseUp(graph);
      return true;
    default:
      return false;
  }
}

bool ResponseGraphs::eventFilter(QObject* watched, QEvent* event) {
  if (watched == c_.Grafico1 || watched == c_.Grafico2) {
    if (GraphEvent(watched == c_.Grafico2 ? 2 : 1, event)) return true;
  } else if (watched == c_.SLog && event->type() == QEvent::MouseMove) {
    if (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) SLog_Change();
  }
  return QObject::eventFilter(watched, event);
}

void ResponseGraphs::ShowReportPanel() {
  c_.fReport->ShowPanel(c_.client->width() * TwipsPerPixelX(window_),
                        c_.client->height() * TwipsPerPixelY(window_));
}

// ---- Reference curves

bool ResponseGraphs::KeepReference() {
  if (!AddReferenceCurve(references_, result_, result_functions_)) {
    QMessageBox::information(&window_, QApplication::applicationName(),
                             QStringLiteral("Non ci sono misure da confrontare: prima avviare "
                                            "una simulazione"));
    return false;
  }
  RequestRedraw();
  return true;
}

void ResponseGraphs::ClearReferences() {
  references_.clear();
  ShowReferenceReadout(std::nullopt);
  RequestRedraw();
}

void ResponseGraphs::ShowReferenceReadout(std::optional<double> frequency) {
  if (references_.empty()) {
    if (panel2_before_readout_) c_.SB1->SetText(2, *std::exchange(panel2_before_readout_, {}));
    return;
  }
  if (!panel2_before_readout_) panel2_before_readout_ = c_.SB1->Text(2);
  c_.SB1->SetText(2, ReferenceReadoutText(
                         ReadReferences(references_, frequency, c_.SB1->Tag(4), c_.SB1->Tag(5))));
}

}  // namespace quorvel
