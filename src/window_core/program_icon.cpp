#include "window_core/program_icon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

// The icon's shapes, in a 256-unit square. Painter and SVG text both read these.
constexpr double kBox = 256;
constexpr QRectF kBackground(8, 8, 240, 240);
constexpr double kCornerRadius = 44;
constexpr double kPlotLeft = 40;
constexpr double kPlotRight = 216;
constexpr double kPlotTop = 56;
constexpr double kPlotBottom = 208;
constexpr double kZeroDbY = 72;    // 0 dB
constexpr double kBottomDb = -40;  // the plot's lowest level
constexpr double kCutoffX = 128;   // the cutoff frequency, in the middle of four decades
constexpr double kGridWidth = 4;
constexpr double kCurveWidth = 14;
constexpr double kMarkerWidth = 6;
constexpr double kDotRadius = 10;
constexpr int kCurvePoints = 33;

const QColor kBackgroundColor(0x1d, 0x35, 0x57);
const QColor kGridColor(0x45, 0x7b, 0x9d);
const QColor kCurveColor(0xf1, 0xc4, 0x53);
const QColor kMarkerColor(0xe7, 0x6f, 0x51);

double YOfDecibels(double db) { return kZeroDbY + db / kBottomDb * (kPlotBottom - kZeroDbY); }

// First-order low-pass amplitude over four decades around its cutoff, in decibels.
std::vector<QPointF> CurvePoints() {
  std::vector<QPointF> points;
  points.reserve(kCurvePoints);
  for (int i = 0; i < kCurvePoints; ++i) {
    const double u = static_cast<double>(i) / (kCurvePoints - 1);
    const double ratio = std::pow(10.0, 4 * u - 2);
    const double db = -10 * std::log10(1 + ratio * ratio);
    points.emplace_back(kPlotLeft + u * (kPlotRight - kPlotLeft), YOfDecibels(db));
  }
  return points;
}

// The -3 dB point (amplitude ratio 0,71) on the cutoff line.
QPointF CutoffDot() { return {kCutoffX, YOfDecibels(-10 * std::log10(2.0))}; }

std::vector<double> GridXs() { return {64, 128, 192}; }
std::vector<double> GridYs() { return {YOfDecibels(-13.3), YOfDecibels(-26.7), kPlotBottom}; }

QString Number(double value) { return QString::number(value, 'f', 2); }

QString SvgColor(const QColor& color) { return color.name(QColor::HexRgb); }

}  // namespace

QImage PaintProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kBox, size / kBox);

  painter.setPen(Qt::NoPen);
  painter.setBrush(kBackgroundColor);
  painter.drawRoundedRect(kBackground, kCornerRadius, kCornerRadius);

  painter.setPen(QPen(kGridColor, kGridWidth, Qt::SolidLine, Qt::FlatCap));
  for (const double x : GridXs()) painter.drawLine(QPointF(x, kPlotTop), QPointF(x, kPlotBottom));
  for (const double y : GridYs()) painter.drawLine(QPointF(kPlotLeft, y), QPointF(kPlotRight, y));

  QPen marker(kMarkerColor, kMarkerWidth, Qt::CustomDashLine, Qt::FlatCap);
  marker.setDashPattern({16.0 / kMarkerWidth, 10.0 / kMarkerWidth});
  painter.setPen(marker);
  painter.drawLine(QPointF(kCutoffX, kPlotTop - 8), QPointF(kCutoffX, kPlotBottom + 8));

  const std::vector<QPointF> curve = CurvePoints();
  painter.setPen(QPen(kCurveColor, kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPolyline(curve.data(), static_cast<int>(curve.size()));

  painter.setPen(Qt::NoPen);
  painter.setBrush(kMarkerColor);
  painter.drawEllipse(CutoffDot(), kDotRadius, kDotRadius);
  return image;
}

QString ProgramIconSvg() {
  QString svg;
  svg += QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
      "viewBox=\"0 0 256 256\">\n");
  svg += QStringLiteral(
             "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
             "fill=\"%6\"/>\n")
             .arg(Number(kBackground.x()), Number(kBackground.y()), Number(kBackground.width()),
                  Number(kBackground.height()), Number(kCornerRadius), SvgColor(kBackgroundColor));
  svg += QStringLiteral("  <g stroke=\"%1\" stroke-width=\"%2\">\n")
             .arg(SvgColor(kGridColor), Number(kGridWidth));
  for (const double x : GridXs()) {
    svg += QStringLiteral("    <line x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\"/>\n")
               .arg(Number(x), Number(kPlotTop), Number(kPlotBottom));
  }
  for (const double y : GridYs()) {
    svg += QStringLiteral("    <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\"/>\n")
               .arg(Number(kPlotLeft), Number(y), Number(kPlotRight));
  }
  svg += QStringLiteral("  </g>\n");
  svg += QStringLiteral(
             "  <line x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" stroke=\"%4\" "
             "stroke-width=\"%5\" stroke-dasharray=\"16 10\"/>\n")
             .arg(Number(kCutoffX), Number(kPlotTop - 8), Number(kPlotBottom + 8),
                  SvgColor(kMarkerColor), Number(kMarkerWidth));
  QString points;
  for (const QPointF& p : CurvePoints()) {
    if (!points.isEmpty()) points += u' ';
    points += Number(p.x()) + u',' + Number(p.y());
  }
  svg += QStringLiteral(
             "  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\" "
             "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n")
             .arg(points, SvgColor(kCurveColor), Number(kCurveWidth));
  const QPointF dot = CutoffDot();
  svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n")
             .arg(Number(dot.x()), Number(dot.y()), Number(kDotRadius), SvgColor(kMarkerColor));
  svg += QStringLiteral("</svg>\n");
  return svg;
}

QImage PaintSplashPicture(const VersionInfo& version) {
  constexpr int kWidth = 480;
  constexpr int kHeight = 300;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient gradient(0, 0, 0, kHeight);
  gradient.setColorAt(0, kBackgroundColor);
  gradient.setColorAt(1, kGridColor);
  painter.fillRect(image.rect(), gradient);

  painter.drawImage(QPointF(28, 70), PaintProgramIcon(160));

  QFont title_font = painter.font();
  title_font.setPixelSize(46);
  title_font.setBold(true);
  painter.setFont(title_font);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(210, 80, 250, 60), Qt::AlignLeft | Qt::AlignVCenter, version.title);

  QFont text_font = painter.font();
  text_font.setPixelSize(17);
  text_font.setBold(false);
  painter.setFont(text_font);
  painter.setPen(kCurveColor);
  painter.drawText(QRectF(212, 140, 250, 28), Qt::AlignLeft | Qt::AlignVCenter, version.comments);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(212, 170, 250, 28), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Versione ") + version.VersionText());

  text_font.setPixelSize(13);
  painter.setFont(text_font);
  painter.drawText(QRectF(0, kHeight - 36, kWidth - 20, 24), Qt::AlignRight | Qt::AlignVCenter,
                   version.company);
  return image;
}

}  // namespace quorvel
