#include "graphs/graph_image.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QSvgGenerator>

#include <array>

#include "documents/safe_file.h"

namespace quorvel {
namespace {

struct TypeInfo {
  ImageType type;
  const char16_t* filter;
  const char16_t* extension;  // without the dot
};

constexpr std::array<TypeInfo, 3> kTypes{{
    {ImageType::kBmp, u"Immagine bitmap (*.bmp)", u"bmp"},
    {ImageType::kPng, u"Immagine PNG (*.png)", u"png"},
    {ImageType::kSvg, u"Disegno SVG (*.svg)", u"svg"},
}};

const TypeInfo& InfoOf(ImageType type) {
  for (const TypeInfo& info : kTypes) {
    if (info.type == type) return info;
  }
  return kTypes[0];
}

QByteArray SvgBytes(QSize size, const SurfaceDrawing& draw) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return {};
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  // Fonts are sized in points: at an image's resolution they take as many units as pixels on
  // the raster surfaces.
  generator.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiY());
  generator.setTitle(QStringLiteral("Quorvel"));
  bool drawn = false;
  {
    QPainter painter;
    if (!painter.begin(&generator)) return {};
    drawn = draw(painter, QSizeF(size));
    painter.end();
  }
  if (!drawn) return {};
  return bytes;
}

}  // namespace

QStringList GraphImageFilters() {
  QStringList filters;
  for (const TypeInfo& info : kTypes) filters.append(QString::fromUtf16(info.filter));
  return filters;
}

ImageType ImageTypeOfFilter(const QString& filter) {
  for (const TypeInfo& info : kTypes) {
    if (filter == QString::fromUtf16(info.filter)) return info.type;
  }
  return ImageType::kBmp;
}

QString ImageExtension(ImageType type) {
  return QLatin1Char('.') + QString::fromUtf16(InfoOf(type).extension);
}

std::optional<ImageType> ImageTypeOfName(const QString& name) {
  const QString suffix = QFileInfo(name).suffix();
  for (const TypeInfo& info : kTypes) {
    if (suffix.compare(QString::fromUtf16(info.extension), Qt::CaseInsensitive) == 0) {
      return info.type;
    }
  }
  return std::nullopt;
}

ImageFile ChooseImageFile(const QString& name, ImageType chosen) {
  if (const auto named = ImageTypeOfName(name)) return {name, *named};
  return {name + ImageExtension(chosen), chosen};
}

QByteArray RasterImageBytes(const QImage& image, ImageType type) {
  if (type == ImageType::kSvg || image.isNull()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  const char* format = type == ImageType::kPng ? "PNG" : "BMP";
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format)) return {};
  return bytes;
}

QByteArray GraphImageBytes(ImageType type, QSize size, const SurfaceDrawing& draw,
                           const QColor& background) {
  if (size.isEmpty() || !draw) return {};
  if (type == ImageType::kSvg) return SvgBytes(size, draw);
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(background);
  bool drawn = false;
  {
    QPainter painter(&image);
    drawn = draw(painter, QSizeF(size));
  }
  if (!drawn) return {};
  return RasterImageBytes(image, type);
}

std::optional<QString> WriteGraphImage(const ImageFile& file, QSize size,
                                       const SurfaceDrawing& draw, const QColor& background) {
  const QByteArray bytes = GraphImageBytes(file.type, size, draw, background);
  if (bytes.isEmpty()) return QStringLiteral("Impossibile creare l'immagine");
  return ReplaceFileContents(file.path, bytes);
}

}  // namespace quorvel
