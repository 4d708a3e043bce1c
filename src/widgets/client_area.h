#pragma once

#include <QWidget>

#include "window_core/window_geometry.h"

class QMainWindow;

namespace quorvel {

// A window's client area (its inner area, status bar included): the central widget, named
// "client", in the 8-point dialog font that the design rectangles were drawn for. It reports
// every change of its size, after which the window lays itself out.
class ClientArea : public QWidget {
  Q_OBJECT

 public:
  explicit ClientArea(QMainWindow& window);

  // The window's smallest outer size, in twips: given to the window system (so that dragging a
  // frame corner stops there) at once, again when the window manager has framed the window
  // (the frame's size is known from then on) and at each layout.
  void SetMinimumOuterTwips(double width, double height);
  void ApplyMinimumSize();

  // The window's size in twips as its layout takes it: this area, the outer frame, minimized.
  WindowSize MeasuredTwips() const;
  // After a layout raised the outer size of `measured` to `laid_out` (the window's minimum), the
  // window grows to it; the resize lays the window out again.
  void GrowTo(const WindowSize& measured, const WindowSize& laid_out);

 signals:
  void Resized();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  double minimum_outer_width_ = 0;
  double minimum_outer_height_ = 0;
};

}  // namespace quorvel
