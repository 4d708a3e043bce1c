#include "widgets/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

#include "window_core/twips.h"

namespace quorvel {

namespace {

// The animation strip, in twips: wide enough for the dots to travel before they start over.
constexpr int kAdvWidthTwips = 2400;
constexpr int kAdvHeightTwips = 240;
constexpr int kDotSizeTwips = 105;

// The dots from darkest (dot 0, the leader) to lightest.
constexpr std::array<QRgb, 4> kDotColours{0x00C0C0, 0x00FFFF, 0x80FFFF, 0xC0FFFF};

}  // namespace

frmStatus::frmStatus(QWidget* owner) : QWidget(owner, Qt::Window), owner_(owner) {
  setObjectName(QStringLiteral("frmStatus"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Titolo"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  // Shown above the window that runs without taking its focus: the user's keys (a statement
  // typed in the oscilloscope's waveform box, Ctrl+S) still go where they went.
  setAttribute(Qt::WA_ShowWithoutActivating);

  Label1_ = new QLabel(QStringLiteral("Operazione in corso"), this);
  PB1_ = new QProgressBar(this);
  PB1_->setObjectName(QStringLiteral("PB1"));
  PB1_->setRange(0, 100);
  PB1_->setValue(0);
  Label2_ = new QLabel(QStringLiteral("Tempo residuo:"), this);
  lblTime_ = new QLabel(QStringLiteral("stima in corso..."), this);
  lblTime_->setObjectName(QStringLiteral("lblTime"));

  fAdv_ = new QFrame(this);
  fAdv_->setObjectName(QStringLiteral("fAdv"));
  fAdv_->setFixedSize(TwipsToPixelsX(kAdvWidthTwips, *this),
                      TwipsToPixelsY(kAdvHeightTwips, *this));
  const int dot = TwipsToPixelsX(kDotSizeTwips, *this);
  for (std::size_t i = 0; i < Shape1_.size(); ++i) {
    QWidget* shape = new QWidget(fAdv_);
    shape->setObjectName(QStringLiteral("Shape1_%1").arg(i));
    shape->setFixedSize(dot, dot);
    shape->setStyleSheet(QStringLiteral("background: #%1; border-radius: %2px;")
                             .arg(kDotColours[i], 6, 16, QLatin1Char('0'))
                             .arg(dot / 2));
    Shape1_[i] = shape;
  }

  imgErr_ = new QLabel(this);
  imgErr_->setObjectName(QStringLiteral("imgErr"));
  const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize);
  imgErr_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(icon, icon));
  imgErr_->hide();
  lblErr_ = new QLabel(QStringLiteral("Si è verificato un errore durante l'operazione"), this);
  lblErr_->setObjectName(QStringLiteral("lblErr"));
  lblErr_->hide();
  cmdCancel_ = new QPushButton(QStringLiteral("Annulla"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));

  auto* time_row = new QHBoxLayout;
  time_row->addWidget(Label2_);
  time_row->addWidget(lblTime_, 1);
  auto* error_row = new QHBoxLayout;
  error_row->addWidget(imgErr_);
  error_row->addWidget(lblErr_, 1);
  auto* bottom_row = new QHBoxLayout;
  bottom_row->addWidget(fAdv_);
  bottom_row->addStretch(1);
  bottom_row->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1_);
  layout->addWidget(PB1_);
  layout->addLayout(time_row);
  layout->addLayout(error_row);
  layout->addLayout(bottom_row);
  // The error row keeps its room, so the window does not jump at the first error.
  QSizePolicy keep = lblErr_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  lblErr_->setSizePolicy(keep);
  imgErr_->setSizePolicy(keep);

  Timer1_ = new QTimer(this);
  Timer1_->setInterval(500);
  Timer2_ = new QTimer(this);
  Timer2_->setInterval(100);
  connect(Timer1_, &QTimer::timeout, this, &frmStatus::Timer1_Timer);
  connect(Timer2_, &QTimer::timeout, this, &frmStatus::Timer2_Timer);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmStatus::cmdCancel_Click);

  state_.emplace(TickMs(), kAdvWidthTwips);
  PlaceDots();
}

std::int64_t frmStatus::TickMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void frmStatus::Show2(const QString& callback_name, const QString& title) {
  if (owner_) setWindowIcon(owner_->windowIcon());
  setWindowTitle(title.isEmpty() ? QStringLiteral("Operazione in corso") : title);
  callback_name_ = callback_name;
  state_.emplace(TickMs(), kAdvWidthTwips);
  PlaceDots();
  // Centred on the window that runs, not at the screen's corner: placed before it shows (so it
  // does not flash elsewhere), then once more at the size it shows with.
  adjustSize();
  CentreOnOwner();
  show();
  CentreOnOwner();
  raise();
  Timer1_->start();
  Timer2_->start();
}

void frmStatus::SetPB(int percent) {
  state_->SetPB(percent, TickMs());
  PB1_->setValue(std::min(state_->bar(), PB1_->maximum()));
}

void frmStatus::ShowAdv() { state_->ShowAdv(); }

void frmStatus::AddErr() {
  state_->AddErr();
  if (state_->errors() == 1) {
    imgErr_->show();
    lblErr_->show();
  }
}

void frmStatus::Unload2() {
  allow_close_ = true;
  Timer1_->stop();
  Timer2_->stop();
  close();
}

void frmStatus::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void frmStatus::CentreOnOwner() {
  if (!owner_) return;
  const QWidget& owner = *owner_->window();
  QSize outer = frameGeometry().size();
  // Before the window manager has framed it (X11), the window knows no frame of its own yet; it
  // will get one like its owner's, which the centring counts in.
  if (frameGeometry() == geometry()) {
    outer += owner.frameGeometry().size() - owner.geometry().size();
  }
  const QRect around = owner.frameGeometry();
  // move() places the frame's top left corner.
  move(around.x() + (around.width() - outer.width()) / 2,
       around.y() + (around.height() - outer.height()) / 2);
}

void frmStatus::closeEvent(QCloseEvent* event) {
  if (!allow_close_) {
    QApplication::beep();
    event->ignore();
    return;
  }
  Timer1_->stop();
  Timer2_->stop();
  event->accept();
}

void frmStatus::Timer1_Timer() {
  state_->Timer1(TickMs());
  lblTime_->setText(state_->time_text());
  lblErr_->setText(state_->error_text());
}

void frmStatus::Timer2_Timer() {
  state_->Timer2();
  PlaceDots();
}

void frmStatus::PlaceDots() {
  const auto& dots = state_->dots();
  for (std::size_t i = 0; i < Shape1_.size(); ++i) {
    Shape1_[i]->move(TwipsToPixelsX(dots[i], *this), (fAdv_->height() - Shape1_[i]->height()) / 2);
  }
}

void frmStatus::cmdCancel_Click() {
  if (owner_ && !callback_name_.isEmpty()) {
    qint16 res = 0;
    QMetaObject::invokeMethod(owner_, callback_name_.toLatin1().constData(), Qt::DirectConnection,
                              Q_ARG(qint16&, res));
  }
  allow_close_ = true;
  close();
}

}  // namespace quorvel
