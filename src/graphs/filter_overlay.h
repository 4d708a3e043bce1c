#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

class QFontMetricsF;
class QPainter;

namespace quorvel {

// Overlay positions are relative to the surface's width w and height h (0 the left or top edge,
// 1 the right or bottom edge). A relative position below 0.5 places the text's left (top) edge;
// 0.5 or more places its right (bottom) edge, so a text near the right or bottom border keeps
// its distance from that border in proportion when the surface is resized.

// The top left corner, in surface units, of a text of the given size placed at (rx, ry).
QPointF OverlayToSurface(double w, double h, double rx, double ry, double text_width,
                         double text_height);

// The relative position (rx as x, ry as y) that a drag label with left edge `left`, top `top`,
// width `width` and height `height` stands for: its left edge when it is nearer the left border
// than the right one, else its right edge (a centred label counts as right); likewise top or
// bottom. A surface without width or height gives 0 for that direction.
QPointF OverlayFromLabel(double w, double h, double left, double top, double width, double height);

// The lines that the overlay prints: the text gets a final carriage return and line feed when it
// lacks them, is cut after each line feed, and each piece loses its last two characters (the
// line break; a line that ends in a line feed alone loses one more character).
QStringList OverlayLines(const QString& text);

// The size of the printed overlay: the width of its widest line and the height of all its lines.
QSizeF OverlayTextSize(const QFontMetricsF& metrics, const QString& text);

// The height of a line of text in the surface's font: what the text "I" measures.
double OverlayLineHeight(const QPainter& surface);

// Prints the overlay text on a surface of the given size at the relative position (rx, ry),
// line n with its top left corner line_height * n below the first, in the surface's font and in
// `colour` (the painter's pen colour when none is given). A text placed from the top edge
// (ry < 0.5) starts no higher than `least_top`, below a band of the surface that holds texts of
// its own. An empty text prints nothing; what falls outside the surface is clipped. Keeps the
// painter's state as it found it.
void PrintOverlay(QPainter& surface, QSizeF size, double rx, double ry, const QString& text,
                  double line_height, std::optional<QColor> colour = std::nullopt,
                  double least_top = 0);

}  // namespace quorvel
