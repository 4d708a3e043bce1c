#pragma once

// "Scale numeriche": the values of the horizontal grid lines of the response graphs, printed at
// the left edge beside their lines. The frequency labels keep their row; the values sit on the
// other side of their lines (above them on the linear amplitude graph, whose frequency labels
// are at the bottom, below them on the logarithmic amplitude graph and the phase graph, whose
// frequency labels are at the top), and values that would overlap one another or leave the
// surface are left out, the more important ones (the axis, the ends, the middle) kept first.

#include <QString>

#include <vector>

namespace quorvel {

struct PhaseScale;

// One value printed beside a grid line.
struct ScaleLabel {
  double line_y = 0;  // the line it names
  double top = 0;     // top of its text
  QString text;
};

// The text of an amplitude ratio on the scale: with the "db" tag in decibels as the readout
// writes them ("-6 db", "-oo db" for 0), with any other tag the ratio itself ("0,5", "1").
QString ScaleAmplitudeText(double ratio, const QString& unit);

// The text of a phase on the scale, in whole degrees ("-45°").
QString ScalePhaseText(double phase);

// The amplitude values: the linear graph names its axis (ratio 0) and its ten lines (0,1 to 1);
// the logarithmic one its axis (ratio 1) and its lines 0,1 to 0,9 (log_floor as in
// AmplitudeLogY). `text_height` is the height of a line of text on the surface of height h.
std::vector<ScaleLabel> AmplitudeScaleLabels(double h, bool log_y, double log_floor,
                                             const QString& unit, double text_height);

// The phase values: the axis (0°) and the scale's grid lines, in degrees.
std::vector<ScaleLabel> PhaseScaleLabels(const PhaseScale& scale, double h, double text_height);

}  // namespace quorvel
