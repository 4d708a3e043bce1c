#include "widgets/graph_surface.h"

#include <QPainter>

namespace quorvel {

GraphSurface::GraphSurface(QWidget* parent, QColor background)
    : QWidget(parent), background_(background) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void GraphSurface::SetImage(QImage image) {
  image_ = std::move(image);
  update();
}

QImage GraphSurface::NewImage() const {
  // At the screen's device pixel ratio, so that a high-DPI screen shows sharp lines and texts:
  // the drawing functions draw in logical units (DrawingSize) on it.
  const qreal ratio = devicePixelRatioF();
  QImage image(QSize(std::max(width(), 1), std::max(height(), 1)) * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(background_);
  return image;
}

QSizeF DrawingSize(const QImage& image) { return image.deviceIndependentSize(); }

QImage GraphSurface::SurfaceImage() const {
  QImage image = NewImage();
  if (!image_.isNull()) {
    QPainter painter(&image);
    painter.drawImage(0, 0, image_);
  }
  return image;
}

void GraphSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), background_);
  if (!image_.isNull()) painter.drawImage(0, 0, image_);
}

}  // namespace quorvel
