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

  // The window's size in twips as its layout takes it: this area, the outer frame, minimized.
  WindowSize MeasuredTwips() const;
  // After a layout raised the outer size of `measured` to `laid_out` (the window's minimum), the
  // window grows to it; the resize lays the window out again.
  void GrowTo(const WindowSize& measured, const WindowSize& laid_out);

 signals:
  void Resized();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace quorvel
