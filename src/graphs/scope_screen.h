#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

#include "simulation/run_results.h"

class QPainter;

namespace quorvel {

// Draws a trace on the oscilloscope screen, a surface of the given size (painter coordinates,
// about one unit per pixel): a teal screen with a 10 x 8 black grid, the input and output traces
// scaled by their volts per division (red and yellow on a common zero line, or both cyan with the
// input in the upper half and the output in the lower half when `separate`), green bars of the
// frames each sample needed when `density`, and `overlay_text` in white at the relative position
// (overlay_x, overlay_y) unless it is empty. The time axis runs from 0 on the left edge to the
// last sample's time on the right edge.
//
// Elements that cannot be computed (a non-finite value or position, a last sample time of 0) are
// left out: a point that cannot be placed breaks both trace segments that touch it. With no
// sample (or a size that is not finite and at least 0) it returns false and leaves the surface
// as it was, not even cleared.
bool DrawScope(QPainter& surface, QSizeF size, const TimeTrace& trace, double input_volts_per_div,
               double output_volts_per_div, bool separate, bool density,
               const QString& overlay_text, double overlay_x, double overlay_y);

// The volts-per-division settings in the order the boxes offer them: "0,01" ... "100".
QStringList VoltsPerDivisionTexts();

// The value of one of the VoltsPerDivisionTexts (0.01 to 100); nullopt for any other text.
std::optional<double> VoltsPerDivision(const QString& text);

// The screen's overlay text: the functions text, CR LF, the waveform text, a blank and the run
// frequency in engineering form with one decimal ("sinusoidale 1 KHz").
QString ScopeOverlayText(const QString& functions_text, const QString& waveform_text,
                         double run_frequency);

// The three status bar texts of the cursor readout.
struct ScopeReadout {
  QString time;    // time ("1,25 ms") or phase angle ("90°")
  QString input;   // input under the cursor ("500 mV")
  QString output;  // output under the cursor
};

// The readout for a cursor at x on a screen of width w. The cursor time runs linearly from the
// first sample's time at x = 0 to the last sample's at x = w (both exact). It is shown in seconds
// when unit_seconds or when the trace frequency is 0, otherwise as the phase angle in whole
// degrees, 0 to 359 (negative times count backwards from 360). Input and output are interpolated
// between the two samples around the cursor time; beyond the last sample they read 0. A trace of
// one sample reads its own values. An empty trace, or a cursor time that cannot be computed,
// reads "/" in all three texts.
ScopeReadout ComputeScopeReadout(const TimeTrace& trace, double x, double w, bool unit_seconds);

// The time unit tag after a click on the time panel: "deg" becomes "s", anything else "deg".
QString ToggleTimeUnit(const QString& tag);

}  // namespace quorvel
