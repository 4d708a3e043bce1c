#pragma once

#include <QColor>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

#include "graphs/reference_curves.h"
#include "simulation/run_results.h"

class QPainter;

namespace quorvel {

// The amplitude ratio whose crossings mark the cutoff frequencies.
inline constexpr double CutoffLevel = 0.71;

// The ratio at the bottom of the logarithmic amplitude axis for a position of the floor slider:
// 1 / 10^(position / 33 + 1), so 0 gives 0.1, 33 gives 0.01 and 66 gives 0.001.
double LogFloorForPosition(int position);

// What a redraw of the response graphs shows. Surface colours are the window's design: a white
// surface with black text and major frequency lines.
struct GraphOptions {
  bool log_x = false;        // logarithmic frequency axis
  bool log_y = false;        // logarithmic amplitude axis
  bool show_cutoff = false;  // draw the cutoff markers
  double log_floor = 0.1;    // ratio at the bottom of the logarithmic amplitude axis, in (0, 1)
  QColor background = Qt::white;
  QColor foreground = Qt::black;
  // "Scale numeriche": the values of the horizontal grid lines at the left edge (graph_scales.h).
  // Off, the graphs carry no values.
  bool numbered_scales = false;
  QString amplitude_unit;  // the amplitude panel's tag: "db" numbers decibels, others the ratio
  // Earlier runs drawn under the curves in muted colours, named in a one-row legend in the margin
  // without frequency labels (reference_curves.h). Their points are placed on the current sweep's
  // frequency axis; the phase scale holds their phases too.
  std::vector<ReferenceCurve> references;
};

// Horizontal placement of frequency f on a surface of width w, with first_frequency on the left
// edge and last_frequency on the right edge (also when the first is the larger). nullopt when the
// position cannot be computed: zero frequency extent, a logarithm of a value not above zero, or a
// non-finite result.
std::optional<double> FrequencyX(double f, double first_frequency, double last_frequency,
                                 bool log_x, double w);

// Vertical placement of an amplitude ratio on the linear amplitude graph of height h: ratio 1 at
// 20, ratio 0 at h - 20.
std::optional<double> AmplitudeLinearY(double amplitude, double h);

// Vertical placement on the logarithmic amplitude graph: ratio 1 at 20, log_floor at h - 20.
// Ratios of zero and below go to 2h, below the surface. nullopt when log_floor gives no scale.
std::optional<double> AmplitudeLogY(double amplitude, double h, double log_floor);

// The vertical scale of the phase graph, which always holds phase 0.
struct PhaseScale {
  double pmin = 0;                  // smallest phase, or 0 when all are above 0
  double pmax = 0;                  // largest phase, or 0 when all are below 0
  double range = 0;                 // pmax - pmin, or 60 when that is 0
  double y_zero = 0;                // y of phase 0
  double units_per_degree = 0;      // s: surface units per degree
  double step = 0;                  // 15 up to a range of 90 degrees, else 30
  std::vector<double> grid_phases;  // phases of the horizontal grid lines, 0 excluded
};

// The phase scale of the first result.count points on a surface of height h. Non-finite phases
// are left out of the extremes. `extra` widens the extremes (to hold reference curves); its
// default changes nothing, since the scale always holds 0.
PhaseScale ComputePhaseScale(const SweepResult& result, double h, PhaseExtent extra = {});

// Vertical placement of a phase in degrees on the phase graph.
std::optional<double> PhaseY(double phase, const PhaseScale& scale);

// One vertical line of the frequency grid.
struct FrequencyLine {
  double x = 0;
  bool major = false;  // major lines carry a label and use the foreground colour
  QString label;       // empty for minor lines
};

// The frequency grid of a surface of width w. Linear: major lines every 100 units from 100 while
// x <= w - 100, labelled with the frequency there. Logarithmic: a major labelled line at each
// decade below the last frequency that lies right of the left edge, and minor lines at 2 to 9
// times each decade wherever they fall. Lines whose position cannot be computed are left out.
std::vector<FrequencyLine> FrequencyGrid(double first_frequency, double last_frequency, bool log_x,
                                         double w);

// The cutoff frequency between two neighbouring points when their amplitudes lie on different
// sides of CutoffLevel (an amplitude exactly at the level counts as a side of its own), linearly
// interpolated in frequency; nullopt when there is no crossing.
std::optional<double> CutoffBetween(const ResponsePoint& previous, const ResponsePoint& current);

// Every cutoff frequency of the first result.count points, in sweep order.
std::vector<double> CutoffFrequencies(const SweepResult& result);

// Vertical placements that differ between the three graphs.
struct GraphLayout {
  double label_top = 0;  // top of the frequency labels
  std::optional<double> axis_y;
  std::vector<double> grid_ys;  // horizontal grid lines
  double frequency_line_from = 0;
  double frequency_line_to = 0;
  double marker_from = 0;
  double marker_to = 0;
  std::optional<double> cutoff_label_top;
  // Top of the margin band (kMargin high) that holds the reference legend: the one without the
  // frequency labels (the top band of the linear amplitude graph, else the bottom band).
  double legend_band_top = 0;
};

GraphLayout AmplitudeLinearLayout(double h);
GraphLayout AmplitudeLogLayout(double h, double log_floor);
GraphLayout PhaseLayout(const PhaseScale& scale, double h);

// Each procedure clears a surface of the given size (painter coordinates, about one unit per
// pixel) and draws one complete graph of the first result.count points on it.
void DrawAmplitudeLinear(const SweepResult& result, QPainter& surface, QSizeF size,
                         const GraphOptions& options);
void DrawAmplitudeLog(const SweepResult& result, QPainter& surface, QSizeF size,
                      const GraphOptions& options);
void DrawPhase(const SweepResult& result, QPainter& surface, QSizeF size,
               const GraphOptions& options);

// The filter text printed over both graphs, each copy at its own relative position (see
// filter_overlay.h). An empty text prints nothing.
struct GraphOverlay {
  double x1 = 0;  // amplitude graph
  double y1 = 0;
  double x2 = 0;  // phase graph
  double y2 = 0;
  QString text;
};

// Draws the amplitude graph (logarithmic or linear, as options.log_y says) and the phase graph,
// then prints the overlay on both in the foreground colour, with the lines spaced by the line
// height of the amplitude surface's font; on a graph with its frequency labels at the top (the
// phase graph, the logarithmic amplitude graph) a copy placed from the top edge starts below
// them. With no points it draws nothing, the surfaces keep
// what they show, and it returns false.
bool DrawGraphs(const SweepResult& result, QPainter& amplitude_surface, QSizeF amplitude_size,
                QPainter& phase_surface, QSizeF phase_size, const GraphOptions& options,
                const GraphOverlay& overlay = {});

// One of the two surfaces of DrawGraphs alone, as DrawGraphs draws it when both surfaces have
// the same font (the overlay at x1, y1 on the amplitude graph, x2, y2 on the phase graph, its
// lines spaced by this surface's line height), for saving one graph as an image.
// False, with nothing drawn, when there is no point.
bool DrawAmplitudeGraph(const SweepResult& result, QPainter& surface, QSizeF size,
                        const GraphOptions& options, const GraphOverlay& overlay = {});
bool DrawPhaseGraph(const SweepResult& result, QPainter& surface, QSizeF size,
                    const GraphOptions& options, const GraphOverlay& overlay = {});

}  // namespace quorvel
