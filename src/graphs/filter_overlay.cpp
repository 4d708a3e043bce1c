#include "graphs/filter_overlay.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QRectF>

#include <algorithm>

namespace quorvel {
namespace {

constexpr double kNearEdge = 0.5;  // relative positions from here on place the far edge

// One coordinate of the relative position of a label spanning [start, start + extent] on an
// axis of the given length.
double RelativeEdge(double length, double start, double extent) {
  if (length == 0) return 0;
  return start < length - start - extent ? start / length : (start + extent) / length;
}

}  // namespace

QPointF OverlayToSurface(double w, double h, double rx, double ry, double text_width,
                         double text_height) {
  const double x = rx >= kNearEdge ? rx * w - text_width : rx * w;
  const double y = ry >= kNearEdge ? ry * h - text_height : ry * h;
  return {x, y};
}

QPointF OverlayFromLabel(double w, double h, double left, double top, double width, double height) {
  return {RelativeEdge(w, left, width), RelativeEdge(h, top, height)};
}

QStringList OverlayLines(const QString& text) {
  const QString line_break = QStringLiteral("\r\n");
  QString whole = text;
  if (!whole.endsWith(line_break)) whole += line_break;
  QStringList lines;
  qsizetype start = 0;
  while (start < whole.size()) {
    const qsizetype feed = whole.indexOf(QLatin1Char('\n'), start);
    // The text ends with a line feed, so every piece ends with one.
    const qsizetype end = feed + 1;
    const qsizetype length = end - start;
    lines.append(whole.mid(start, std::max<qsizetype>(length - 2, 0)));
    start = end;
  }
  return lines;
}

QSizeF OverlayTextSize(const QFontMetricsF& metrics, const QString& text) {
  const QStringList lines = OverlayLines(text);
  double width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  return {width, static_cast<double>(lines.size()) * metrics.height()};
}

double OverlayLineHeight(const QPainter& surface) {
  // Every line of a font is as high as the font, whatever its characters.
  return QFontMetricsF(surface.font(), surface.device()).height();
}

void PrintOverlay(QPainter& surface, QSizeF size, double rx, double ry, const QString& text,
                  double line_height, std::optional<QColor> colour, double least_top) {
  if (text.isEmpty()) return;
  const QFontMetricsF metrics(surface.font(), surface.device());
  const QSizeF text_size = OverlayTextSize(metrics, text);
  QPointF top_left =
      OverlayToSurface(size.width(), size.height(), rx, ry, text_size.width(), text_size.height());
  if (ry < kNearEdge) top_left.setY(std::max(top_left.y(), least_top));

  surface.save();
  surface.setClipRect(QRectF(QPointF(0, 0), size),
                      surface.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  surface.setPen(QPen(colour.value_or(surface.pen().color())));
  const QStringList lines = OverlayLines(text);
  for (qsizetype n = 0; n < lines.size(); ++n) {
    // drawText places the baseline; the line's top lies one ascent above it.
    const double top = top_left.y() + static_cast<double>(n) * line_height;
    surface.drawText(QPointF(top_left.x(), top + metrics.ascent()), lines[n]);
  }
  surface.restore();
}

}  // namespace quorvel
