#include "graphs/graph_image.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "graph_test_support.h"
#include "graphs/response_graph.h"
#include "graphs/scope_screen.h"

namespace quorvel {
namespace {

using testing_support::RcLowPass;

const QByteArray kBmpSignature("BM");
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

TEST(GraphImageTypeTest, FiltersStartWithTheBitmap) {
  const QStringList filters = GraphImageFilters();
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], QStringLiteral("Immagine bitmap (*.bmp)"));
  EXPECT_EQ(ImageTypeOfFilter(filters[0]), ImageType::kBmp);
  EXPECT_EQ(ImageTypeOfFilter(filters[1]), ImageType::kPng);
  EXPECT_EQ(ImageTypeOfFilter(filters[2]), ImageType::kSvg);
  EXPECT_TRUE(filters[1].contains(QStringLiteral("*.png")));
  EXPECT_TRUE(filters[2].contains(QStringLiteral("*.svg")));
  EXPECT_EQ(ImageTypeOfFilter(QStringLiteral("Tutti i file (*)")), ImageType::kBmp);
}

TEST(GraphImageTypeTest, AKnownExtensionDecidesElseTheChosenTypesIsAdded) {
  struct Case {
    const char* name;
    ImageType chosen;
    const char* path;
    ImageType type;
  };
  const Case cases[] = {
      {"/tmp/graf.png", ImageType::kBmp, "/tmp/graf.png", ImageType::kPng},
      {"/tmp/graf.PNG", ImageType::kSvg, "/tmp/graf.PNG", ImageType::kPng},
      {"/tmp/graf.Svg", ImageType::kBmp, "/tmp/graf.Svg", ImageType::kSvg},
      {"/tmp/graf.bmp", ImageType::kPng, "/tmp/graf.bmp", ImageType::kBmp},
      {"/tmp/graf", ImageType::kPng, "/tmp/graf.png", ImageType::kPng},
      {"/tmp/graf", ImageType::kBmp, "/tmp/graf.bmp", ImageType::kBmp},
      {"/tmp/graf.txt", ImageType::kSvg, "/tmp/graf.txt.svg", ImageType::kSvg},
      {"/tmp/v1.2/graf", ImageType::kSvg, "/tmp/v1.2/graf.svg", ImageType::kSvg},
      {"/tmp/png", ImageType::kBmp, "/tmp/png.bmp", ImageType::kBmp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ImageFile file = ChooseImageFile(QString::fromLatin1(c.name), c.chosen);
    EXPECT_EQ(file.path, QString::fromLatin1(c.path));
    EXPECT_EQ(file.type, c.type);
  }
  EXPECT_EQ(ImageExtension(ImageType::kSvg), QStringLiteral(".svg"));
}

// The amplitude graph of an RC low-pass, as the main window draws it.
bool DrawAmplitude(QPainter& painter, QSizeF size) {
  GraphOptions options;
  options.log_x = true;
  options.show_cutoff = true;
  return DrawAmplitudeGraph(RcLowPass(10, 100000, 40), painter, size, options,
                            GraphOverlay{0.1, 0.1, 0.1, 0.1, QStringLiteral("vo = vi\r\n")});
}

QImage WindowImage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  EXPECT_TRUE(DrawAmplitude(painter, QSizeF(size)));
  return image;
}

TEST(GraphImageBytesTest, RasterFilesHoldTheWindowsImage) {
  const QSize size(420, 260);
  const QImage shown = WindowImage(size);
  for (ImageType type : {ImageType::kBmp, ImageType::kPng}) {
    SCOPED_TRACE(static_cast<int>(type));
    const QByteArray bytes = GraphImageBytes(type, size, DrawAmplitude);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.startsWith(type == ImageType::kPng ? kPngSignature : kBmpSignature));
    const QImage decoded = QImage::fromData(bytes);
    ASSERT_EQ(decoded.size(), size);
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), shown);
    EXPECT_EQ(RasterImageBytes(shown, type), bytes);
  }
  EXPECT_TRUE(RasterImageBytes(shown, ImageType::kSvg).isEmpty());
}

TEST(GraphImageBytesTest, SvgIsAVectorDrawingOfTheSamePainterCalls) {
  const QSize size(420, 260);
  const QByteArray svg = GraphImageBytes(ImageType::kSvg, size, DrawAmplitude);
  ASSERT_FALSE(svg.isEmpty());
  EXPECT_TRUE(svg.startsWith("<?xml"));
  EXPECT_TRUE(svg.contains("<svg"));
  EXPECT_TRUE(svg.contains("viewBox=\"0 0 420 260\""));
  // The red curve as stroked lines, the labels as text, the overlay among them.
  EXPECT_TRUE(svg.contains("stroke=\"#ff0000\""));
  EXPECT_TRUE(svg.contains(">10 Hz<"));
  EXPECT_TRUE(svg.contains(">100 KHz<"));
  EXPECT_TRUE(svg.contains(">vo = vi<"));
  EXPECT_FALSE(svg.contains("<image"));  // no embedded bitmap
}

TEST(GraphImageBytesTest, TheOscilloscopeScreenToo) {
  TimeTrace trace;
  for (int i = 0; i < 50; ++i) {
    trace.times.push_back(i * 1e-4);
    trace.inputs.push_back(std::sin(i * 0.3));
    trace.outputs.push_back(0.5 * std::sin(i * 0.3 - 0.5));
    trace.framesPerSample.push_back(3);
  }
  trace.count = 50;
  trace.frequency = 500;
  const SurfaceDrawing screen = [&trace](QPainter& painter, QSizeF size) {
    return DrawScope(painter, size, trace, 0.5, 0.5, false, false, QString(), 0, 0);
  };
  const QByteArray svg = GraphImageBytes(ImageType::kSvg, QSize(300, 240), screen);
  EXPECT_TRUE(svg.startsWith("<?xml"));
  EXPECT_TRUE(svg.contains("<svg"));
  const QByteArray png = GraphImageBytes(ImageType::kPng, QSize(300, 240), screen);
  EXPECT_TRUE(png.startsWith(kPngSignature));
}

TEST(GraphImageBytesTest, NothingDrawnOrNoSizeGivesNoBytes) {
  const SurfaceDrawing nothing = [](QPainter&, QSizeF) { return false; };
  for (ImageType type : {ImageType::kBmp, ImageType::kPng, ImageType::kSvg}) {
    SCOPED_TRACE(static_cast<int>(type));
    EXPECT_TRUE(GraphImageBytes(type, QSize(100, 100), nothing).isEmpty());
    EXPECT_TRUE(GraphImageBytes(type, QSize(0, 100), DrawAmplitude).isEmpty());
    EXPECT_TRUE(GraphImageBytes(type, QSize(100, 100), SurfaceDrawing()).isEmpty());
  }
}

TEST(WriteGraphImageTest, WritesEachTypeByItsNameAndKeepsTheOldFileOnFailure) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QSize size(200, 150);
  struct Case {
    const char* typed;
    ImageType chosen;
    const char* written;
    QByteArray start;
  };
  const Case cases[] = {
      {"a", ImageType::kBmp, "a.bmp", kBmpSignature},
      {"graf.png", ImageType::kBmp, "graf.png", kPngSignature},
      {"b", ImageType::kSvg, "b.svg", QByteArray("<?xml")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const ImageFile file = ChooseImageFile(dir.filePath(QString::fromLatin1(c.typed)), c.chosen);
    EXPECT_FALSE(WriteGraphImage(file, size, DrawAmplitude));
    QFile written(dir.filePath(QString::fromLatin1(c.written)));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith(c.start));
  }

  // A drawing with nothing to show reports it and leaves the file there as it was.
  const ImageFile old{dir.filePath(QStringLiteral("a.bmp")), ImageType::kBmp};
  QFile before(old.path);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray old_bytes = before.readAll();
  before.close();
  const auto problem = WriteGraphImage(old, size, [](QPainter&, QSizeF) { return false; });
  ASSERT_TRUE(problem);
  EXPECT_FALSE(problem->isEmpty());
  QFile after(old.path);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), old_bytes);

  // A folder that does not exist: the system's error.
  EXPECT_TRUE(WriteGraphImage({dir.filePath(QStringLiteral("no/such/x.png")), ImageType::kPng},
                              size, DrawAmplitude));
}

}  // namespace
}  // namespace quorvel
