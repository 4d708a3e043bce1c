#include "widgets/report_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include "window_core/twips.h"

namespace quorvel {

namespace {

// Dragging is in effect unlimited: the panel may even leave the window, and the next show pulls
// it back.
constexpr double kDragLimit = 100000;

}  // namespace

ReportPanel::ReportPanel(const TwipRect& design, QWidget* parent)
    : QGroupBox(QStringLiteral("Report"), parent), rect_(design) {
  setObjectName(QStringLiteral("fReport"));
  lblRep_ = new QLabel(QStringLiteral("Report simulazione"), this);
  lblRep_->setObjectName(QStringLiteral("lblRep"));
  lblRep_->setAutoFillBackground(true);
  lblRep_->setBackgroundRole(QPalette::Highlight);
  lblRep_->setForegroundRole(QPalette::HighlightedText);
  lblRep_->setIndent(4);
  lblRep_->setCursor(Qt::SizeAllCursor);
  lblRep_->installEventFilter(this);

  Label10_ = new QLabel(QStringLiteral("Chiudi"), this);
  Label10_->setObjectName(QStringLiteral("Label10"));
  Label10_->setAutoFillBackground(true);
  Label10_->setBackgroundRole(QPalette::Highlight);
  Label10_->setForegroundRole(QPalette::HighlightedText);
  Label10_->setCursor(Qt::PointingHandCursor);
  Label10_->setContentsMargins(6, 0, 6, 0);  // not flush against the panel's right edge
  Label10_->installEventFilter(this);

  txtRep_ = new QPlainTextEdit(this);
  txtRep_->setObjectName(QStringLiteral("txtRep"));
  txtRep_->setReadOnly(true);
  txtRep_->setLineWrapMode(QPlainTextEdit::NoWrap);

  // Opaque: the graph's grid and curves do not show through the panel's margins.
  setAutoFillBackground(true);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setHorizontalSpacing(0);
  layout->addWidget(lblRep_, 0, 0);
  layout->addWidget(Label10_, 0, 1);
  layout->addWidget(txtRep_, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);

  ApplyRect();
  hide();
}

void ReportPanel::ShowPanel(double inner_width_twips, double inner_height_twips) {
  if (rect_.left < 0) rect_.left = 0;
  if (rect_.top < 0) rect_.top = 0;
  if (rect_.left > inner_width_twips - rect_.width) rect_.left = inner_width_twips - rect_.width;
  if (rect_.top > inner_height_twips - rect_.height) rect_.top = inner_height_twips - rect_.height;
  ApplyRect();
  raise();
  show();
}

void ReportPanel::SetReport(const QString& text) {
  txtRep_->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString ReportPanel::Report() const { return txtRep_->toPlainText(); }

QPointF ReportPanel::CursorTwips(QPointF global_position) const {
  return {global_position.x() * TwipsPerPixelX(*this), global_position.y() * TwipsPerPixelY(*this)};
}

void ReportPanel::ApplyRect() { setGeometry(TwipRectToPixels(rect_, *this)); }

void ReportPanel::Panel_MouseDown(QPointF global_position) {
  raise();
  drag_offsets_ = BeginDrag(rect_, CursorTwips(global_position));
}

void ReportPanel::Panel_MouseMove(QPointF global_position) {
  if (DragWithin(rect_, drag_offsets_, CursorTwips(global_position), -kDragLimit, kDragLimit,
                 -kDragLimit, kDragLimit)) {
    ApplyRect();
  }
}

void ReportPanel::Label10_Click() { hide(); }

void ReportPanel::mousePressEvent(QMouseEvent* event) {
  Panel_MouseDown(event->globalPosition());
  event->accept();
}

void ReportPanel::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) Panel_MouseMove(event->globalPosition());
  event->accept();
}

bool ReportPanel::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (watched == lblRep_) {
    // The title bar passes its mouse on to the frame.
    if (type == QEvent::MouseButtonPress) {
      Panel_MouseDown(static_cast<QMouseEvent*>(event)->globalPosition());
      return true;
    }
    if (type == QEvent::MouseMove) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->buttons() & Qt::LeftButton) Panel_MouseMove(mouse->globalPosition());
      return true;
    }
  } else if (watched == Label10_ && type == QEvent::MouseButtonRelease) {
    if (Label10_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
      Label10_Click();
    }
    return true;
  }
  return QGroupBox::eventFilter(watched, event);
}

}  // namespace quorvel
