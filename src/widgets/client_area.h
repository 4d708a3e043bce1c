#pragma once

#include <QWidget>

class QMainWindow;

namespace quorvel {

// A window's client area (its inner area, status bar included): the central widget, named
// "client", in the 8-point dialog font that the design rectangles were drawn for. It reports
// every change of its size, after which the window lays itself out.
class ClientArea : public QWidget {
  Q_OBJECT

 public:
  explicit ClientArea(QMainWindow& window);

 signals:
  void Resized();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace quorvel
