#pragma once

#include <QObject>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "graphs/response_graph.h"
#include "simulation/frequency_sweep.h"

class QAction;
class QEvent;
class QFrame;
class QLabel;
class QToolButton;
class QWidget;

namespace quorvel {

class GraphSurface;
struct MainWindowControls;

// The main window's graph pane: the amplitude and phase surfaces `Grafico1` and `Grafico2` with
// the result they show, their cursor lines `ShCur1`/`ShCur2`, the filter text overlay and its
// drag labels `ShFil1`/`ShFil2`, the report buttons `cmdRep0`/`cmdRep1`, the readout in status
// panels 3 to 5, the units, the View menu's switches, the reference curves of "Confronta" and
// the deferred redraw that `Timer1` serves.
class ResponseGraphs : public QObject {
  Q_OBJECT

 public:
  // Overlay positions of the filter text, relative to each graph's size.
  struct OverlayPositions {
    double Fil1X = 0;  // amplitude graph
    double Fil1Y = 0;
    double Fil2X = 0;  // phase graph
    double Fil2Y = 0;
  };

  ResponseGraphs(QWidget& window, const MainWindowControls& controls);

  // The result on show; a finished run hands its own over, with the functions text it was
  // measured with (the name of its reference curve).
  const SweepResult& result() const { return result_; }
  void SetResult(SweepResult result, const QString& functions_text = QString());
  // No result: the surfaces go blank.
  void Clear();

  // Nonzero while a redraw is wanted; Timer1 serves it, so that several changes within one tick
  // give one redraw.
  double RedrawPending() const { return redraw_pending_; }
  void RequestRedraw() { redraw_pending_ = -1; }
  void RedrawGraphs();
  // Number of redraws so far (how the tests see that several requests gave one).
  int redraw_count() const { return redraw_count_; }
  // What the window draws: the options of its switches and the filter text overlay. The graph
  // images that the window saves are drawn with these.
  GraphOptions Options() const;
  GraphOverlay Overlay() const;

  // "Confronta": keeps the result on show as a reference curve, drawn under the next runs'
  // curves; false, with a message, when there is no measured point.
  bool KeepReference();
  // "Cancella confronti".
  void ClearReferences();
  const std::vector<ReferenceCurve>& references() const { return references_; }

  // The ratio at the bottom of a logarithmic amplitude axis, from the slider SLog.
  double LogFloor() const { return log_floor_; }
  void SLog_Change();

  const OverlayPositions& overlay() const { return overlay_; }
  void SetOverlay(const OverlayPositions& overlay) { overlay_ = overlay; }

  // True once the amplitude unit has been chosen (a test file then stores it).
  bool amplitude_unit_chosen() const { return amplitude_unit_chosen_; }
  void SetAmplitudeUnitChosen(bool chosen) { amplitude_unit_chosen_ = chosen; }

  // The readout for a pointer move over graph 1 (amplitude) or 2 (phase), buttons 1 left,
  // 2 right, 4 middle, position in the surface's units.
  void UpdateTrace(int graph, std::int16_t buttons, double X, double Y);
  // A click on a status bar panel: panels 4 and 5 toggle the amplitude and phase units.
  void SB1_PanelClick(int panel);
  void ShowReportPanel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateOverlays();
  void ConnectControls();
  void Timer1_Timer();
  bool GraphEvent(int graph, QEvent* event);
  void Grafico_Resize(int graph);
  void Grafico_MouseDown(int graph, QPointF at);
  void Grafico_MouseUp(int graph);
  // The unit entries work in pairs; the panels' texts change at the next pointer move.
  void MenuShowUnit_Click(QAction* chosen);
  GraphSurface* Surface(int graph) const;
  // Status panel 2 gives the references' values under the pointer while there are any.
  void ShowReferenceReadout(std::optional<double> frequency);

  QWidget& window_;
  const MainWindowControls& c_;
  SweepResult result_;
  QString result_functions_;
  std::vector<ReferenceCurve> references_;
  // What panel 2 showed before the references' readout took it, given back when they go.
  std::optional<QString> panel2_before_readout_;
  double redraw_pending_ = 0;
  double log_floor_ = 0.1;
  OverlayPositions overlay_;
  bool amplitude_unit_chosen_ = false;
  int redraw_count_ = 0;

  // Per graph (0 amplitude, 1 phase): cursor line, overlay drag label, report button.
  std::array<QFrame*, 2> ShCur_{};
  std::array<QLabel*, 2> ShFil_{};
  std::array<QToolButton*, 2> cmdRep_{};
};

}  // namespace quorvel
