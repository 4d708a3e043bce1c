#pragma once

#include <QImage>
#include <QWidget>

namespace quorvel {

// A drawing surface: shows an image that the core's drawing functions rendered, one surface
// unit to a logical pixel. Until the first drawing it is plain white; a resize keeps the image
// (the owner asks for a redraw).
class GraphSurface : public QWidget {
  Q_OBJECT

 public:
  explicit GraphSurface(QWidget* parent, QColor background = Qt::white);

  const QImage& image() const { return image_; }
  void SetImage(QImage image);
  // What the surface shows, at its current size.
  QImage SurfaceImage() const;
  // A blank image of the surface's current size at the screen's device pixel ratio, ready to be
  // drawn on.
  QImage NewImage() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QColor background_;
};

// The size in logical units of an image from NewImage, the size the drawing functions take.
QSizeF DrawingSize(const QImage& image);

}  // namespace quorvel
