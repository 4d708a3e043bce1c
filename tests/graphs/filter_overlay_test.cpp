#include "graphs/filter_overlay.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "graphs/response_graph.h"

namespace quorvel {
namespace {

TEST(OverlayPlacementTest, LabelPositionsAndWhereTheTextGoes) {
  // A label 100 x 20 on a surface 600 x 400; the text printed is as large as the label.
  const struct {
    const char* name;
    double left, top;
    double rx, ry;
  } cases[] = {
      {"near the top left", 50, 30, 50.0 / 600, 30.0 / 400},
      {"near the bottom right", 450, 370, 550.0 / 600, 390.0 / 400},
      {"centred horizontally counts as right", 250, 30, 350.0 / 600, 30.0 / 400},
      {"just left of the centre", 249, 30, 249.0 / 600, 30.0 / 400},
      {"centred vertically counts as bottom", 50, 190, 50.0 / 600, 210.0 / 400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPointF r = OverlayFromLabel(600, 400, c.left, c.top, 100, 20);
    EXPECT_DOUBLE_EQ(r.x(), c.rx);
    EXPECT_DOUBLE_EQ(r.y(), c.ry);
    // Printed where the label was released.
    const QPointF at = OverlayToSurface(600, 400, r.x(), r.y(), 100, 20);
    EXPECT_NEAR(at.x(), c.left, 1e-9);
    EXPECT_NEAR(at.y(), c.top, 1e-9);
  }
}

TEST(OverlayPlacementTest, NearEdgeKeepsItsRelativePlaceOnResize) {
  const struct {
    const char* name;
    double w, h, rx, ry;
    double x, y;
  } cases[] = {
      {"left and top edges", 1200, 800, 50.0 / 600, 30.0 / 400, 100, 60},
      // The right edge at 1100 and the bottom at 780.
      {"right and bottom edges", 1200, 800, 550.0 / 600, 390.0 / 400, 1000, 760},
      {"one half places the far edge", 600, 400, 0.5, 0.5, 200, 180},
      {"just under one half places the near edge", 600, 400, 0.49, 0.49, 294, 196},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPointF at = OverlayToSurface(c.w, c.h, c.rx, c.ry, 100, 20);
    EXPECT_NEAR(at.x(), c.x, 1e-9);
    EXPECT_NEAR(at.y(), c.y, 1e-9);
  }
}

TEST(OverlayPlacementTest, SurfaceWithoutSizeGivesZero) {
  const QPointF r = OverlayFromLabel(0, 0, 10, 10, 100, 20);
  EXPECT_EQ(r, QPointF(0, 0));
}

TEST(OverlayLinesTest, CutsAfterEachLineFeedAndDropsTheBreak) {
  const struct {
    const char* name;
    QString text;
    QStringList lines;
  } cases[] = {
      {"three lines, no final break",
       QStringLiteral("a=1\r\nb=2\r\nvo=a"),
       {QStringLiteral("a=1"), QStringLiteral("b=2"), QStringLiteral("vo=a")}},
      {"three lines with final break",
       QStringLiteral("a=1\r\nb=2\r\nvo=a\r\n"),
       {QStringLiteral("a=1"), QStringLiteral("b=2"), QStringLiteral("vo=a")}},
      {"one line", QStringLiteral("vo=vi"), {QStringLiteral("vo=vi")}},
      {"empty line kept",
       QStringLiteral("a\r\n\r\nb"),
       {QStringLiteral("a"), QString(), QStringLiteral("b")}},
      {"line feed alone loses the last character",
       QStringLiteral("ab\ncd"),
       {QStringLiteral("a"), QStringLiteral("cd")}},
      {"lone line feed line is empty", QStringLiteral("\nx"), {QString(), QStringLiteral("x")}},
      {"carriage return alone stays in its line", QStringLiteral("a\rb"), {QStringLiteral("a\rb")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OverlayLines(c.text), c.lines);
  }
}

QFont TestFont(int pixel_size) {
  QFont font;
  font.setPixelSize(pixel_size);
  return font;
}

bool IsInk(QRgb pixel) { return qGray(pixel) < 160; }

// Rows of the image that hold ink.
std::vector<int> InkRows(const QImage& image) {
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (IsInk(image.pixel(x, y))) {
        rows.push_back(y);
        break;
      }
    }
  }
  return rows;
}

QRect InkBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (IsInk(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

TEST(PrintOverlayTest, ThreeLinesSpacedByTheLineHeight) {
  const QString text = QStringLiteral("HHH\r\nHHH\r\nHHH");  // no final line break
  for (const std::optional<double> spacing : {std::optional<double>(), std::optional(40.0)}) {
    SCOPED_TRACE(spacing.value_or(0));
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    double line_height = 0;
    double cap_top = 0;  // rows from the top of a line to the top of "H"
    {
      QPainter painter(&image);
      painter.setFont(TestFont(16));
      const QFontMetricsF metrics(painter.font(), painter.device());
      line_height = spacing.value_or(OverlayLineHeight(painter));
      cap_top = metrics.ascent() + metrics.tightBoundingRect(QStringLiteral("H")).top();
      PrintOverlay(painter, QSizeF(600, 400), 50.0 / 600, 30.0 / 400, text, line_height,
                   QColor(Qt::black));
    }
    ASSERT_GT(line_height, 10);
    const QRect box = InkBox(image);
    ASSERT_FALSE(box.isNull());
    EXPECT_GE(box.left(), 49);
    EXPECT_LE(box.left(), 53);

    // Three runs of ink rows, each starting one line height below the one before.
    std::vector<int> run_starts;
    const std::vector<int> rows = InkRows(image);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i == 0 || rows[i] != rows[i - 1] + 1) run_starts.push_back(rows[i]);
    }
    ASSERT_EQ(run_starts.size(), 3u);
    for (int n = 0; n < 3; ++n) {
      SCOPED_TRACE(n);
      EXPECT_NEAR(run_starts[static_cast<std::size_t>(n)], 30 + cap_top + n * line_height, 1.5);
    }
  }
}

TEST(PrintOverlayTest, NearRightAndBottomEdgesPlacesTheFarEdges) {
  const QString text = QStringLiteral("vo=vi*2\r\nH");
  const struct {
    const char* name;
    QSize size;
    double right, bottom;
  } cases[] = {
      {"as released", QSize(600, 400), 550, 390},
      {"resized", QSize(1200, 800), 1100, 780},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image(c.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QSizeF text_size;
    {
      QPainter painter(&image);
      painter.setFont(TestFont(16));
      text_size = OverlayTextSize(QFontMetricsF(painter.font(), painter.device()), text);
      PrintOverlay(painter, QSizeF(c.size), 550.0 / 600, 390.0 / 400, text,
                   OverlayLineHeight(painter), QColor(Qt::black));
    }
    ASSERT_GT(text_size.width(), 20);
    EXPECT_NEAR(text_size.height(), 2 * QFontMetricsF(TestFont(16), &image).height(), 1e-9);
    const QRect box = InkBox(image);
    ASSERT_FALSE(box.isNull());
    // The ink lies inside the text's box, whose right and bottom edges are the stored ones.
    EXPECT_GE(box.left(), c.right - text_size.width() - 1);
    EXPECT_LE(box.right(), c.right);
    EXPECT_GE(box.right(), c.right - 5);
    EXPECT_GE(box.top(), c.bottom - text_size.height() - 1);
    EXPECT_LE(box.bottom(), c.bottom);
    EXPECT_GE(box.bottom(), c.bottom - text_size.height() / 2);
  }
}

TEST(PrintOverlayTest, EmptyTextPrintsNothingAndOutsideIsClipped) {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setFont(TestFont(16));
    PrintOverlay(painter, QSizeF(300, 200), 0.1, 0.1, QString(), 20, QColor(Qt::black));
    // Only the top left 100 x 100 is the surface: text running over its edges is cut there.
    PrintOverlay(painter, QSizeF(100, 100), 0.2, 0.4, QStringLiteral("HHHHHHHHHHHH\r\nH\r\nH\r\nH"),
                 OverlayLineHeight(painter), QColor(Qt::black));
  }
  const QRect box = InkBox(image);
  ASSERT_FALSE(box.isNull());
  EXPECT_NEAR(box.left(), 20, 3);
  EXPECT_NEAR(box.top(), 40, 6);
  EXPECT_EQ(box.right(), 99);
  EXPECT_EQ(box.bottom(), 99);
}

SweepResult LowPass() {
  SweepResult result;
  for (int i = 0; i < 30; ++i) {
    const double f = 10 * std::pow(10.0, i / 29.0 * 4);
    const double ratio = f / 1000;
    result.points.push_back(
        {f, -std::atan(ratio) * 57.29577951308232, 1 / std::sqrt(1 + ratio * ratio)});
  }
  result.count = static_cast<std::int32_t>(result.points.size());
  return result;
}

// Paints both graphs, with the given fonts, and returns the images.
std::pair<QImage, QImage> RenderGraphs(const GraphOverlay& overlay, int amplitude_font,
                                       int phase_font) {
  const QSize size(600, 400);
  std::pair<QImage, QImage> images(QImage(size, QImage::Format_RGB32),
                                   QImage(size, QImage::Format_RGB32));
  QPainter amplitude(&images.first);
  QPainter phase(&images.second);
  amplitude.setFont(TestFont(amplitude_font));
  phase.setFont(TestFont(phase_font));
  GraphOptions options;
  options.log_x = true;
  EXPECT_TRUE(
      DrawGraphs(LowPass(), amplitude, QSizeF(size), phase, QSizeF(size), options, overlay));
  return images;
}

// The box of the pixels that differ between two images.
QRect DiffBox(const QImage& a, const QImage& b) {
  QRect box;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

TEST(DrawGraphsOverlayTest, PrintsOnBothSurfacesAtTheirOwnPositions) {
  GraphOverlay overlay;
  overlay.x1 = 0.1;  // amplitude: left and top edges at 60, 100
  overlay.y1 = 0.25;
  overlay.x2 = 0.8;  // phase: right and bottom edges at 480, 300
  overlay.y2 = 0.75;
  overlay.text = QStringLiteral("y=y+(vi-y)*dt/RC\r\nvo=y");
  const auto bare = RenderGraphs(GraphOverlay{}, 14, 14);
  const auto with_text = RenderGraphs(overlay, 14, 14);

  QImage probe(1, 1, QImage::Format_RGB32);
  const QSizeF text_size = OverlayTextSize(QFontMetricsF(TestFont(14), &probe), overlay.text);

  const QRect on_amplitude = DiffBox(bare.first, with_text.first);
  ASSERT_FALSE(on_amplitude.isNull());
  EXPECT_NEAR(on_amplitude.left(), 60, 3);
  EXPECT_GE(on_amplitude.top(), 100);
  EXPECT_LE(on_amplitude.bottom(), 100 + text_size.height());

  const QRect on_phase = DiffBox(bare.second, with_text.second);
  ASSERT_FALSE(on_phase.isNull());
  EXPECT_NEAR(on_phase.right(), 480, 5);
  EXPECT_LE(on_phase.right(), 480);
  EXPECT_GE(on_phase.left(), 480 - text_size.width() - 1);
  EXPECT_LE(on_phase.bottom(), 300);
  EXPECT_GE(on_phase.top(), 300 - text_size.height());

  // An empty text changes nothing.
  EXPECT_TRUE(DiffBox(bare.first, RenderGraphs(GraphOverlay{}, 14, 14).first).isNull());
}

TEST(DrawGraphsOverlayTest, LineHeightComesFromTheAmplitudeSurface) {
  // Three lines of "H" on a phase surface whose font is much larger than the amplitude
  // surface's: the lines are still one amplitude line height apart.
  GraphOverlay overlay;
  overlay.x2 = 0.1;
  overlay.y2 = 0.1;
  overlay.text = QStringLiteral("H\r\nH\r\nH");
  const auto bare = RenderGraphs(GraphOverlay{}, 12, 36);
  const auto with_text = RenderGraphs(overlay, 12, 36);
  QImage probe(1, 1, QImage::Format_RGB32);
  const double amplitude_line = QFontMetricsF(TestFont(12), &probe).height();
  const double phase_line = QFontMetricsF(TestFont(36), &probe).height();
  const double ink_height =
      QFontMetricsF(TestFont(36), &probe).tightBoundingRect(QStringLiteral("H")).height();
  ASSERT_GT(phase_line - amplitude_line, 10);
  const QRect box = DiffBox(bare.second, with_text.second);
  ASSERT_FALSE(box.isNull());
  // From the top of the first "H" to the bottom of the third: two line steps and one letter.
  EXPECT_NEAR(box.height(), 2 * amplitude_line + ink_height, 3);
}

}  // namespace
}  // namespace quorvel
