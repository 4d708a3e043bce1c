#pragma once

// Graph images as files: a Windows bitmap, a PNG or an SVG drawing, chosen by the dialog's file
// type or the name's extension. Every type is drawn by the same drawing function that draws the
// window's surface, so the file shows what the window shows; the SVG is vector graphics of
// those very painter calls.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPainter;

namespace quorvel {

enum class ImageType { kBmp, kPng, kSvg };

// The save dialog's file types, the bitmap first (the dialog's default):
// "Immagine bitmap (*.bmp)", "Immagine PNG (*.png)", "Disegno SVG (*.svg)".
QStringList GraphImageFilters();

// The type of one of GraphImageFilters(); the bitmap for any other text.
ImageType ImageTypeOfFilter(const QString& filter);

// ".bmp", ".png" or ".svg".
QString ImageExtension(ImageType type);

// The type that a file name's extension names (any letter case); nullopt for another or no
// extension.
std::optional<ImageType> ImageTypeOfName(const QString& name);

// What to write for a name typed in the dialog with a file type chosen: a known extension
// decides the type; a name without one (or with another) gets the chosen type's extension.
struct ImageFile {
  QString path;
  ImageType type = ImageType::kBmp;
};
ImageFile ChooseImageFile(const QString& name, ImageType chosen);

// Draws one surface of the given size (painter coordinates, one unit to a pixel) and tells
// whether it drew anything, like DrawGraphs and DrawScope.
using SurfaceDrawing = std::function<bool(QPainter&, QSizeF)>;

// The file's bytes: for BMP and PNG, `draw` on an image of `size` pixels that starts filled with
// `background`; for SVG, `draw` on an SVG generator of the same size, whose text is measured
// at the resolution of an image, so that labels fall where they fall on the screen. Empty when
// the drawing drew nothing, the size is empty, or the encoding failed.
QByteArray GraphImageBytes(ImageType type, QSize size, const SurfaceDrawing& draw,
                           const QColor& background = Qt::white);

// An image already drawn, encoded as BMP or PNG (empty for SVG, which needs the drawing).
QByteArray RasterImageBytes(const QImage& image, ImageType type);

// Writes GraphImageBytes to file.path through ReplaceFileContents (an old file is replaced only
// once the new one is complete). nullopt on success, else the description of the failure.
std::optional<QString> WriteGraphImage(const ImageFile& file, QSize size,
                                       const SurfaceDrawing& draw,
                                       const QColor& background = Qt::white);

}  // namespace quorvel
