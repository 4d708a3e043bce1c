#include "widgets/client_area.h"

#include <QEvent>
#include <QMainWindow>

#include "window_core/twips.h"

namespace quorvel {

ClientArea::ClientArea(QMainWindow& window) : QWidget(&window) {
  setObjectName(QStringLiteral("client"));
  window.setCentralWidget(this);
  QFont dialog_font = font();
  dialog_font.setPointSize(8);
  setFont(dialog_font);
  // The window manager's frame is known only once it has taken the window (after the first
  // show): the minimum is given again when the window is moved into its frame or activated.
  window.installEventFilter(this);
}

bool ClientArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent()) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Show:
      case QEvent::WindowActivate:
        ApplyMinimumSize();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ClientArea::SetMinimumOuterTwips(double width, double height) {
  minimum_outer_width_ = width;
  minimum_outer_height_ = height;
  ApplyMinimumSize();
}

void ClientArea::ApplyMinimumSize() {
  if (minimum_outer_width_ <= 0 || minimum_outer_height_ <= 0) return;  // none given yet
  QWidget& frame = *window();
  const QSize margins = frame.frameGeometry().size() - frame.geometry().size();
  const QSize minimum(TwipsToPixelsX(minimum_outer_width_, *this) - margins.width(),
                      TwipsToPixelsY(minimum_outer_height_, *this) - margins.height());
  if (frame.minimumSize() != minimum) frame.setMinimumSize(minimum);
}

WindowSize ClientArea::MeasuredTwips() const {
  const QWidget& frame = *window();
  const double tx = TwipsPerPixelX(*this);
  const double ty = TwipsPerPixelY(*this);
  return {width() * tx, height() * ty, frame.frameGeometry().width() * tx,
          frame.frameGeometry().height() * ty, frame.isMinimized()};
}

void ClientArea::GrowTo(const WindowSize& measured, const WindowSize& laid_out) {
  if (laid_out.outer_width == measured.outer_width &&
      laid_out.outer_height == measured.outer_height) {
    return;
  }
  QWidget& frame = *window();
  const QSize margins = frame.frameGeometry().size() - frame.geometry().size();
  frame.resize(TwipsToPixelsX(laid_out.outer_width, *this) - margins.width(),
               TwipsToPixelsY(laid_out.outer_height, *this) - margins.height());
}

void ClientArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit Resized();
}

}  // namespace quorvel
