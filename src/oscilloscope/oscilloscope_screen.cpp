// The oscilloscope screen's side of the window: the redraw, the cursor readout, the overlay
// drag, the time unit, the report icon and the bitmap export and copy.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QToolButton>

#include "documents/safe_file.h"
#include "graphs/filter_overlay.h"
#include "graphs/scope_screen.h"
#include "oscilloscope/oscilloscope_window.h"
#include "shell/graph_surface.h"
#include "shell/report_panel.h"
#include "shell/status_panels.h"

namespace quorvel {

QString Form2::CurrentOverlayText() const {
  return ScopeOverlayText(FilText, cmbWF_->currentText(), RunFrequency);
}

void Form2::RedrawScope() {
  const bool show_overlay = MenuShowFil_->isChecked();
  const QString overlay = show_overlay ? CurrentOverlayText() : QString();
  QImage image = Grafico1_->NewImage();
  bool drawn = false;
  {
    QPainter painter(&image);
    drawn = DrawScope(
        painter, QSizeF(image.size()), trace_, VoltsPerDivision(txtVDivI_->text()).value_or(1),
        VoltsPerDivision(txtVDivO_->text()).value_or(1), MenuShowSepSign_->isChecked(),
        MenuShowPD_->isChecked(), overlay, show_overlay ? FilX : 0.0, show_overlay ? FilY : 0.0);
  }
  if (!drawn) return;  // no sample: the screen keeps what it shows
  Grafico1_->SetImage(std::move(image));
}

void Form2::ToggleDisplay() { RedrawRequested = true; }

void Form2::Grafico1_MouseDown(QPoint position) {
  // The label shows the overlay text as it would be printed, whether or not it is shown.
  ShFil1_->setText(CurrentOverlayText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  ShFil1_->adjustSize();
  ShFil1_->move(position);
  ShFil1_->show();
  ShFil1_->raise();
}

void Form2::Grafico1_MouseMove(QPoint position, Qt::MouseButtons buttons) {
  ShCur1_->setGeometry(position.x(), 0, 1, Grafico1_->height());
  const ScopeReadout readout = ComputeScopeReadout(trace_, position.x(), Grafico1_->width(),
                                                   SB1_->Tag(3) == QStringLiteral("s"));
  SB1_->SetText(3, readout.time);
  SB1_->SetText(4, readout.input);
  SB1_->SetText(5, readout.output);
  if (buttons & Qt::LeftButton) ShFil1_->move(position);
  // The report icon shows only while the pointer is near the screen's top right corner.
  cmdRep_->setVisible(position.x() > cmdRep_->x() && position.y() < cmdRep_->height());
}

void Form2::Grafico1_MouseUp(QPoint /*position*/, Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;  // another button leaves the label where it is
  ShFil1_->hide();
  const QRect label = ShFil1_->geometry();
  const QPointF relative = OverlayFromLabel(Grafico1_->width(), Grafico1_->height(), label.x(),
                                            label.y(), label.width(), label.height());
  FilX = static_cast<float>(relative.x());
  FilY = static_cast<float>(relative.y());
  RedrawRequested = true;
}

void Form2::Grafico1_Resize() {
  ShCur1_->resize(1, Grafico1_->height());
  cmdRep_->move(Grafico1_->width() - cmdRep_->width(), 0);
}

void Form2::SB1_PanelClick(int index) {
  if (index == 3) SetTimeUnit(ToggleTimeUnit(SB1_->Tag(3)));
}

// The new unit shows at the next mouse move.
void Form2::SetTimeUnit(const QString& tag) {
  SB1_->SetTag(3, tag);
  const bool seconds = tag == QStringLiteral("s");
  MenuShowUnitS_->setChecked(seconds);
  MenuShowUnitDeg_->setChecked(!seconds);
}

void Form2::cmdRep_Click() { fReport_->ShowPanel(InnerWidthTwips(), InnerHeightTwips()); }

QImage Form2::ScreenImage() const {
  return Grafico1_->image().isNull() ? Grafico1_->NewImage() : Grafico1_->image();
}

void Form2::MenuFileSalvaGrafico_Click() {
  // The dialogs start in the program's folder, with an empty file name.
  const QString path =
      QFileDialog::getSaveFileName(this, QString(), QCoreApplication::applicationDirPath(),
                                   QStringLiteral("Immagine bitmap (*.bmp)"));
  if (path.isEmpty()) return;  // cancelled
  (void)SaveScreenBitmap(path);
}

bool Form2::SaveScreenBitmap(const QString& path) {
  const QByteArray bytes = BitmapBytes(ScreenImage());
  const std::optional<QString> problem =
      bytes.isEmpty() ? std::optional(QStringLiteral("Impossibile creare l'immagine"))
                      : ReplaceFileContents(path, bytes);
  if (!problem) return true;
  QMessageBox::critical(this, QStringLiteral("Errore"), *problem);
  return false;
}

void Form2::MenuEditCopia_Click() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setImage(ScreenImage());
}

}  // namespace quorvel
