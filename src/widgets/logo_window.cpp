#include "widgets/logo_window.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include "window_core/program_icon.h"
#include "window_core/version_info.h"

namespace quorvel {

frmLogo::frmLogo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmLogo"));
  setModal(true);
  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("picLogo"));
  picture_->setPixmap(QPixmap::fromImage(PaintSplashPicture(ProgramVersion())));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Timer1_ = new QTimer(this);
  Timer1_->setObjectName(QStringLiteral("Timer1"));
  Timer1_->setSingleShot(true);
  // A coarse timer may fire up to 5 % early: the splash shows its full two seconds.
  Timer1_->setTimerType(Qt::PreciseTimer);
  Timer1_->setInterval(kShowMs);
  connect(Timer1_, &QTimer::timeout, this, &frmLogo::Timer1_Timer);
}

void frmLogo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Timer1_->start();
}

void frmLogo::Timer1_Timer() {
  hide();
  emit Elapsed();
  accept();
}

}  // namespace quorvel
