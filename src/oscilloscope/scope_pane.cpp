#include "oscilloscope/scope_pane.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include "documents/safe_file.h"
#include "graphs/filter_overlay.h"
#include "graphs/scope_screen.h"
#include "oscilloscope/oscilloscope_controls.h"
#include "widgets/client_area.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "widgets/window_support.h"
#include "window_core/twips.h"

namespace quorvel {

ScopePane::ScopePane(QMainWindow& window, const OscilloscopeControls& controls,
                     std::function<QString()> overlay_text)
    : QObject(&window), window_(window), c_(controls), overlay_text_(std::move(overlay_text)) {
  CreateOverlays();
  ConnectMenus();
  c_.Grafico1->installEventFilter(this);
}

void ScopePane::CreateOverlays() {
  // The cursor line and the drag label sit over the screen without taking its mouse.
  ShCur1_ = Named(new QFrame(c_.Grafico1), "ShCur1");
  ShCur1_->setStyleSheet(QStringLiteral("background: white;"));
  ShCur1_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShCur1_->setGeometry(0, 0, 1, c_.Grafico1->height());
  ShFil1_ = NewLabel(QStringLiteral("Filtro"), c_.Grafico1, "ShFil1");
  ShFil1_->setStyleSheet(QStringLiteral("color: white; border: 1px dotted white;"));
  ShFil1_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShFil1_->hide();

  cmdRep_ = Named(new QToolButton(c_.Grafico1), "cmdRep");
  cmdRep_->setIcon(window_.style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  cmdRep_->setToolTip(QStringLiteral("Report"));
  cmdRep_->setAutoRaise(true);
  cmdRep_->resize(24, 24);
  cmdRep_->hide();
  connect(cmdRep_, &QToolButton::clicked, this, &ScopePane::cmdRep_Click);
}

void ScopePane::ConnectMenus() {
  connect(c_.MenuEditCopia, &QAction::triggered, this, &ScopePane::MenuEditCopia_Click);
  for (QAction* toggle : {c_.MenuShowSepSign, c_.MenuShowPD, c_.MenuShowFil}) {
    connect(toggle, &QAction::triggered, this, &ScopePane::RedrawWanted);
  }
  connect(c_.MenuShowUnitS, &QAction::triggered, this,
          [this] { SetTimeUnit(QStringLiteral("s")); });
  connect(c_.MenuShowUnitDeg, &QAction::triggered, this,
          [this] { SetTimeUnit(QStringLiteral("deg")); });
  connect(c_.MenuShowReport, &QAction::triggered, this, &ScopePane::cmdRep_Click);
  connect(c_.SB1, &StatusPanels::PanelClick, this, &ScopePane::SB1_PanelClick);
}

void ScopePane::SetOverlay(float x, float y) {
  fil_x_ = x;
  fil_y_ = y;
}

bool ScopePane::DrawScreen(QPainter& painter, QSizeF size) const {
  const bool show_overlay = c_.MenuShowFil->isChecked();
  const QString overlay = show_overlay ? overlay_text_() : QString();
  return DrawScope(painter, size, trace_, VoltsPerDivision(c_.txtVDivI->text()).value_or(1),
                   VoltsPerDivision(c_.txtVDivO->text()).value_or(1),
                   c_.MenuShowSepSign->isChecked(), c_.MenuShowPD->isChecked(), overlay,
                   show_overlay ? fil_x_ : 0.0, show_overlay ? fil_y_ : 0.0);
}

void ScopePane::RedrawScope() {
  QImage image = c_.Grafico1->NewImage();
  bool drawn = false;
  {
    QPainter painter(&image);
    drawn = DrawScreen(painter, DrawingSize(image));
  }
  if (!drawn) return;  // no sample: the screen keeps what it shows
  c_.Grafico1->SetImage(std::move(image));
}

void ScopePane::Grafico1_MouseDown(QPoint position) {
  // The label shows the overlay text as it would be printed, whether or not it is shown.
  ShFil1_->setText(overlay_text_().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  ShFil1_->adjustSize();
  ShFil1_->move(position);
  ShFil1_->show();
  ShFil1_->raise();
}

void ScopePane::Grafico1_MouseMove(QPoint position, Qt::MouseButtons buttons) {
  ShCur1_->setGeometry(position.x(), 0, 1, c_.Grafico1->height());
  const ScopeReadout readout = ComputeScopeReadout(trace_, position.x(), c_.Grafico1->width(),
                                                   c_.SB1->Tag(3) == QStringLiteral("s"));
  c_.SB1->SetText(3, readout.time);
  c_.SB1->SetText(4, readout.input);
  c_.SB1->SetText(5, readout.output);
  if (buttons & Qt::LeftButton) ShFil1_->move(position);
  // The report icon shows only while the pointer is near the screen's top right corner.
  cmdRep_->setVisible(position.x() > cmdRep_->x() && position.y() < cmdRep_->height());
}

void ScopePane::Grafico1_MouseUp(Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;  // another button leaves the label where it is
  ShFil1_->hide();
  const QRect label = ShFil1_->geometry();
  const QPointF relative = OverlayFromLabel(c_.Grafico1->width(), c_.Grafico1->height(), label.x(),
                                            label.y(), label.width(), label.height());
  SetOverlay(static_cast<float>(relative.x()), static_cast<float>(relative.y()));
  emit RedrawWanted();
}

void ScopePane::Grafico1_Resize() {
  ShCur1_->resize(1, c_.Grafico1->height());
  cmdRep_->move(c_.Grafico1->width() - cmdRep_->width(), 0);
}

bool ScopePane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == c_.Grafico1) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        Grafico1_MouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        break;
      case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        Grafico1_MouseMove(mouse->position().toPoint(), mouse->buttons());
        break;
      }
      case QEvent::MouseButtonRelease:
        Grafico1_MouseUp(static_cast<QMouseEvent*>(event)->button());
        break;
      case QEvent::Resize:
        Grafico1_Resize();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void ScopePane::SB1_PanelClick(int index) {
  if (index == 3) SetTimeUnit(ToggleTimeUnit(c_.SB1->Tag(3)));
}

void ScopePane::SetTimeUnit(const QString& tag) {
  c_.SB1->SetTag(3, tag);
  const bool seconds = tag == QStringLiteral("s");
  c_.MenuShowUnitS->setChecked(seconds);
  c_.MenuShowUnitDeg->setChecked(!seconds);
}

void ScopePane::cmdRep_Click() {
  c_.fReport->ShowPanel(c_.client->width() * TwipsPerPixelX(window_),
                        c_.client->height() * TwipsPerPixelY(window_));
}

QImage ScopePane::ScreenImage() const {
  return c_.Grafico1->image().isNull() ? c_.Grafico1->NewImage() : c_.Grafico1->image();
}

bool ScopePane::SaveScreenBitmap(const QString& path) {
  const QByteArray bytes = BitmapBytes(ScreenImage());
  const std::optional<QString> problem =
      bytes.isEmpty() ? std::optional(QStringLiteral("Impossibile creare l'immagine"))
                      : ReplaceFileContents(path, bytes);
  if (!problem) return true;
  QMessageBox::critical(&window_, QStringLiteral("Errore"), *problem);
  return false;
}

void ScopePane::MenuEditCopia_Click() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setImage(ScreenImage());
}

}  // namespace quorvel
