#pragma once

#include <QMainWindow>

#include <cstdint>

#include "documents/test_document.h"
#include "oscilloscope/oscilloscope_controls.h"
#include "simulation/oscilloscope_run.h"
#include "window_core/oscilloscope_layout.h"

namespace quorvel {

class OscilloscopeHost;
class ParameterList;
class ScopePane;

// The oscilloscope window: runs its host's filter in the time domain with a chosen input
// waveform and shows the trace like an oscilloscope screen. Its controls only ask for runs and
// redraws; the 100 ms timer `Timer1` serves the requests, a run waiting while another run of
// the host lasts. Closing it only hides it while the host stays open. The screen and the
// parameter panel are classes of their own (ScopePane, ParameterList).
class Form2 : public QMainWindow {
  Q_OBJECT

 public:
  explicit Form2(OscilloscopeHost& host);
  ~Form2() override;

  // Called by the progress window, by name, when the user cancels a run.
  Q_INVOKABLE void AsyncCallback(qint16& res);

  // "Aggiorna": asks for a run.
  void cmdAgg_Click();
  // Stops a run in progress, as "Ferma" does.
  void StopRun();
  void MenuToolsParF_Click();
  // The main window's frequency settings: scroll bar positions and frequency texts.
  void TakeFrequencySettings(int start_unit_position, int end_unit_position,
                             int oscillations_position, const QString& start_text,
                             const QString& end_text);

  // What the controls asked of the timer, not served yet.
  bool RunRequested() const { return run_requested_; }
  bool RedrawRequested() const { return redraw_requested_; }
  bool StopRequested() const { return stop_requested_; }
  // Forgets the requests not served yet (a quiet window to start from).
  void DropRequests();

  // The settings of the last run (its frequency, the filter texts it ran, ...).
  const ScopeSettings& last_run() const { return last_run_; }
  double StartMultiplier() const;
  double EndMultiplier() const;

  ScopePane& Screen() { return *screen_; }
  const TimeTrace& trace() const;
  const OscilloscopeGeometry& geometry_twips() const { return geometry_; }
  bool running() const { return running_; }
  // Number of runs that produced a report so far (how the tests wait for a run).
  int run_count() const { return run_count_; }

  // Test files: the window's settings as a section, and one record's section applied to the
  // controls.
  OscilloscopeSection CollectSection() const;
  void ApplySection(const OscilloscopeSection& section, const QString& key);
  void ClearParameters();

  void LayoutOscilloscope();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectControls();
  void Form_Load();
  void ApplyGeometry();
  void ShowParameterPanel();
  double InnerWidthTwips() const;
  double InnerHeightTwips() const;
  QString CurrentOverlayText() const;

  void Timer1_Timer();
  void StartRun();
  void cmdStop_Click();
  void SVDivI_Change();
  void SVDivO_Change();
  void StopRunningCall();

  OscilloscopeHost& host_;
  OscilloscopeControls c_;
  ScopePane* screen_ = nullptr;
  ParameterList* parameters_ = nullptr;
  OscilloscopeGeometry geometry_;
  ScopeSettings last_run_;
  bool run_requested_ = true;
  bool redraw_requested_ = false;
  bool stop_requested_ = true;
  bool running_ = false;
  bool in_tick_ = false;
  int run_count_ = 0;
};

}  // namespace quorvel
