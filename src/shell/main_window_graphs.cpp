// The main window's graphs: pointer readout with the cursor lines, the filter text overlay and
// its drag labels, the report buttons, and the View menu switches.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>

#include "graphs/filter_overlay.h"
#include "graphs/trace_readout.h"
#include "shell/graph_surface.h"
#include "shell/main_window.h"
#include "shell/report_panel.h"
#include "shell/status_panels.h"
#include "shell/twips.h"

namespace quorvel {

void Form1::CreateGraphOverlays() {
  const std::array<GraphSurface*, 2> surfaces{Grafico1_, Grafico2_};
  for (std::size_t i = 0; i < surfaces.size(); ++i) {
    GraphSurface* surface = surfaces[i];
    const int number = static_cast<int>(i) + 1;

    auto* line = new QFrame(surface);
    line->setObjectName(QStringLiteral("ShCur%1").arg(number));
    line->setFrameStyle(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    line->setStyleSheet(QStringLiteral("background: #808080;"));
    line->setGeometry(0, 0, 1, surface->height());
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    ShCur_[i] = line;

    auto* label = new QLabel(QStringLiteral("Filtro"), surface);
    label->setObjectName(QStringLiteral("ShFil%1").arg(number));
    label->setFrameStyle(QFrame::Box);
    label->setStyleSheet(QStringLiteral("background: #FFFFE0;"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->hide();
    ShFil_[i] = label;

    auto* report = new QToolButton(surface);
    report->setObjectName(QStringLiteral("cmdRep%1").arg(i));
    report->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    report->setToolTip(QStringLiteral("Report"));
    report->setAutoRaise(true);
    report->adjustSize();
    report->hide();
    connect(report, &QToolButton::clicked, this, &Form1::ShowReportPanel);
    cmdRep_[i] = report;

    surface->installEventFilter(this);
  }
}

void Form1::ConnectGraphMenus() {
  connect(MenuShowCF_, &QAction::triggered, this, [this] { RedrawPending = -1; });
  connect(MenuShowFil_, &QAction::triggered, this, [this] { RedrawPending = -1; });
  for (QAction* unit : {MenuShowUnitPura_, MenuShowUnitDB_, MenuShowUnitDeg_, MenuShowUnitRad_}) {
    connect(unit, &QAction::triggered, this, [this, unit] { MenuShowUnit_Click(unit); });
  }
  connect(MenuShowReport_, &QAction::triggered, this, &Form1::ShowReportPanel);
  connect(SB1_, &StatusPanels::PanelClick, this, &Form1::SB1_PanelClick);
}

// The unit entries work in pairs: choosing one marks it and unmarks its partner; the panels'
// texts change at the next pointer move.
void Form1::MenuShowUnit_Click(QAction* chosen) {
  if (chosen == MenuShowUnitPura_ || chosen == MenuShowUnitDB_) {
    const bool db = chosen == MenuShowUnitDB_;
    SB1_->SetTag(4, db ? kDecibelUnit.toString() : QString());
    unit_amplitude_set_ = true;
    MenuShowUnitDB_->setChecked(db);
    MenuShowUnitPura_->setChecked(!db);
  } else {
    const bool deg = chosen == MenuShowUnitDeg_;
    SB1_->SetTag(5, deg ? kDegreeUnit.toString() : kRadianUnit.toString());
    MenuShowUnitDeg_->setChecked(deg);
    MenuShowUnitRad_->setChecked(!deg);
  }
}

void Form1::SB1_PanelClick(int panel) {
  if (panel == 4) {
    const QString tag = ToggledAmplitudeUnit(SB1_->Tag(4));
    MenuShowUnit_Click(tag == kDecibelUnit ? MenuShowUnitDB_ : MenuShowUnitPura_);
  } else if (panel == 5) {
    const QString tag = ToggledPhaseUnit(SB1_->Tag(5));
    MenuShowUnit_Click(tag == kDegreeUnit ? MenuShowUnitDeg_ : MenuShowUnitRad_);
  }
}

void Form1::UpdateTrace(int graph, std::int16_t buttons, double X, double Y) {
  TraceInput input;
  input.graph = graph == 2 ? TraceGraph::kPhase : TraceGraph::kAmplitude;
  input.buttons = buttons;
  input.x = X;
  input.y = Y;
  input.w1 = Grafico1_->width();
  input.h1 = Grafico1_->height();
  input.w2 = Grafico2_->width();
  input.h2 = Grafico2_->height();
  input.log_x = chkLogX_->isChecked();
  input.log_y = chkLogY_->isChecked();
  input.trace_mode = MenuShowTr_->isChecked();
  input.log_floor = LogFloor;
  input.amplitude_unit = SB1_->Tag(4);
  input.phase_unit = SB1_->Tag(5);
  const TraceReadout readout = ComputeTrace(result_, input);

  ShCur_[0]->move(static_cast<int>(std::lround(readout.cursor1_x)), 0);
  ShCur_[1]->move(static_cast<int>(std::lround(readout.cursor2_x)), 0);
  SB1_->SetText(3, readout.frequency_text);
  SB1_->SetText(4, readout.amplitude_text);
  SB1_->SetText(5, readout.phase_text);
  if (readout.overlay_label_follows) {
    ShFil_[graph == 2 ? 1 : 0]->move(static_cast<int>(std::lround(X)),
                                     static_cast<int>(std::lround(Y)));
  }
}

void Form1::Grafico_Resize(int graph) {
  const std::size_t i = graph == 2 ? 1 : 0;
  GraphSurface* surface = graph == 2 ? Grafico2_ : Grafico1_;
  ShCur_[i]->resize(1, surface->height());
  cmdRep_[i]->move(surface->width() - cmdRep_[i]->width(), 0);
}

bool Form1::GraphEvent(int graph, QEvent* event) {
  const std::size_t i = graph == 2 ? 1 : 0;
  GraphSurface* surface = graph == 2 ? Grafico2_ : Grafico1_;
  switch (event->type()) {
    case QEvent::Resize:
      Grafico_Resize(graph);
      return false;
    case QEvent::MouseButtonPress: {
      const QPointF at = static_cast<QMouseEvent*>(event)->position();
      QLabel* label = ShFil_[i];
      label->setText(txtFil_->toPlainText());
      label->adjustSize();
      label->move(at.toPoint());
      label->show();
      label->raise();
      return true;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPointF at = mouse->position();
      UpdateTrace(graph, static_cast<std::int16_t>(mouse->buttons().toInt() & 7), at.x(), at.y());
      QToolButton* report = cmdRep_[i];
      report->setVisible(at.x() > report->x() && at.y() < report->height());
      if (report->isVisible()) report->raise();
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return true;
      QLabel* label = ShFil_[i];
      label->hide();
      const QPointF r = OverlayFromLabel(surface->width(), surface->height(), label->x(),
                                         label->y(), label->width(), label->height());
      (graph == 2 ? Fil2X : Fil1X) = r.x();
      (graph == 2 ? Fil2Y : Fil1Y) = r.y();
      RedrawPending = -1;
      return true;
    }
    default:
      return false;
  }
}

void Form1::ShowReportPanel() {
  fReport_->ShowPanel(client_->width() * TwipsPerPixelX(*this),
                      client_->height() * TwipsPerPixelY(*this));
}

}  // namespace quorvel
