#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QSizeF>

#include <functional>

#include "simulation/oscilloscope_run.h"

class QEvent;
class QFrame;
class QLabel;
class QMainWindow;
class QPainter;
class QToolButton;

namespace quorvel {

struct OscilloscopeControls;

// The oscilloscope's screen pane: the surface `Grafico1` with the trace it shows, the cursor
// line `ShCur1`, the overlay and its drag label `ShFil1`, the report icon `cmdRep`, the readout
// in status panels 3 to 5 with its time unit, and the screen's copy (its files are ScopeExport's).
class ScopePane : public QObject {
  Q_OBJECT

 public:
  // `overlay_text` gives the text printed on the screen (the filter and the input of the run).
  ScopePane(QMainWindow& window, const OscilloscopeControls& controls,
            std::function<QString()> overlay_text);

  // The trace on show; a finished run hands its own over.
  const TimeTrace& trace() const { return trace_; }
  void SetTrace(TimeTrace trace) { trace_ = std::move(trace); }

  // Overlay position, relative to the screen's size.
  float FilX() const { return fil_x_; }
  float FilY() const { return fil_y_; }
  void SetOverlay(float x, float y);

  void RedrawScope();
  // Draws the screen as RedrawScope does, on any surface (the graph files); false, with nothing
  // drawn, when there is no sample.
  bool DrawScreen(QPainter& painter, QSizeF size) const;
  // What the screen shows, at its current size.
  QImage ScreenImage() const;
  // A click on a status bar panel: panel 3 toggles the time unit.
  void SB1_PanelClick(int index);
  // Writes the screen's image as a bitmap file; a failure is shown in a message box titled
  // "Errore" and gives false.
  bool SaveScreenBitmap(const QString& path);

 signals:
  // Something the screen shows changed: the window redraws at its next tick.
  void RedrawWanted();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateOverlays();
  void ConnectMenus();
  void Grafico1_MouseDown(QPoint position);
  void Grafico1_MouseMove(QPoint position, Qt::MouseButtons buttons);
  void Grafico1_MouseUp(Qt::MouseButton button);
  void Grafico1_Resize();
  // The new unit shows at the next mouse move.
  void SetTimeUnit(const QString& tag);
  void cmdRep_Click();
  void MenuEditCopia_Click();

  QMainWindow& window_;
  const OscilloscopeControls& c_;
  std::function<QString()> overlay_text_;
  TimeTrace trace_;
  float fil_x_ = 0;
  float fil_y_ = 0;
  QFrame* ShCur1_ = nullptr;
  QLabel* ShFil1_ = nullptr;
  QToolButton* cmdRep_ = nullptr;
};

}  // namespace quorvel
