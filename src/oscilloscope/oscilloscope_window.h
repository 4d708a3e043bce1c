#pragma once

#include <QMainWindow>

#include "documents/test_document.h"

#include <cstdint>
#include <optional>

#include "shell/drag.h"
#include "shell/main_window_layout.h"
#include "simulation/oscilloscope_run.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QToolButton;

namespace quorvel {

class Form1;
class GraphSurface;
class ReportPanel;
class StatusPanels;

// The rectangles that the oscilloscope's layout moves, in twips; controls inside a frame are
// relative to it. Start values are the design rectangles.
struct OscilloscopeGeometry {
  TwipRect Grafico1{0, 0, 7800, 3900};
  TwipRect Frame1{0, 3900, 7800, 1770};
  TwipRect cmdAgg{6465, 240, 1215, 495};
  TwipRect cmdStop{6465, 840, 1215, 375};
  TwipRect Frame2{0, 0, 2415, 3900};
  TwipRect lstPar{120, 1110, 2175, 2670};
  TwipRect cmdHelp{0, 5633, 360, 360};
  double SB1Height = 375;
};

// The oscilloscope window: runs the main window's filter in the time domain with a chosen input
// waveform and shows the trace like an oscilloscope screen. Its controls only ask for runs and
// redraws; the 100 ms timer serves the requests. Closing it only hides it while the main window
// stays open. Controls carry their names as object names.
class Form2 : public QMainWindow {
  Q_OBJECT

 public:
  explicit Form2(Form1& main_window);
  ~Form2() override;

  // Called by the progress window, by name, when the user cancels a run.
  Q_INVOKABLE void AsyncCallback(qint16& res);

  // Operations that other windows and the test file call.
  void cmdAgg_Click();
  // Stops a run in progress, as "Ferma" does.
  void StopRun();
  void MenuToolsParF_Click();
  // The main window's frequency settings: scroll bar positions and frequency texts.
  void TakeFrequencySettings(int start_unit_position, int end_unit_position,
                             int oscillations_position, const QString& start_text,
                             const QString& end_text);

  // Overlay position, relative to the screen's size.
  float FilX = 0;
  float FilY = 0;

  // Run state.
  bool StopRequested = true;
  bool RunRequested = true;
  bool RedrawRequested = false;
  double StartMultiplier = 1;
  double EndMultiplier = 1;
  double RunFrequency = 0;
  std::int32_t RunOscillations = 0;
  std::int32_t RunSamples = 0;
  QString ParText;
  QString FilText;

  const TimeTrace& trace() const { return trace_; }
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
  void RedrawScope();
  // Writes the screen's image as a bitmap file; a failure is shown in a message box titled
  // "Errore" and gives false.
  bool SaveScreenBitmap(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Construction (oscilloscope_window.cpp).
  void ConnectShellCommands();
  void CreateControls();
  void CreateFrame1();
  void CreateFrame2();
  void CreateScreen();
  void CreateMenus();
  void ConnectControls();
  void PlaceFixedControls();
  void Form_Load();
  void ApplyGeometry();
  void ShowParameterPanel();
  double InnerWidthTwips() const;
  double InnerHeightTwips() const;

  // Runs, settings and parameters (oscilloscope_commands.cpp).
  void Timer1_Timer();
  void StartRun();
  void cmdStop_Click();
  void cmbWF_Click();
  void SFF_Change();
  void SStFM_Change();
  void SEnFM_Change();
  void SOsc_Change();
  void SCa_Change();
  void SVDivI_Change();
  void SVDivO_Change();
  void lblOsc_MouseUp(Qt::MouseButton button);
  void lblCa_MouseUp(Qt::MouseButton button);
  void cmdAddP_Click();
  void cmdRmvP_Click();
  void lstPar_MouseUp(Qt::MouseButton button);
  void SPar_Change();
  void StopRunningCall();

  // The three questions of a parameter definition; nullopt when one was left empty or cancelled.
  struct ParameterAnswers {
    QString name;
    QString minimum;
    QString maximum;
  };
  std::optional<ParameterAnswers> AskParameter(const ParameterAnswers& offered);
  std::optional<QString> AskText(const QString& prompt, const QString& offered);
  void ShowError(const QString& message);

  // The screen (oscilloscope_screen.cpp).
  void Grafico1_MouseDown(QPoint position);
  void Grafico1_MouseMove(QPoint position, Qt::MouseButtons buttons);
  void Grafico1_MouseUp(QPoint position, Qt::MouseButton button);
  void Grafico1_Resize();
  void SB1_PanelClick(int index);
  void SetTimeUnit(const QString& tag);
  void cmdRep_Click();
  void ToggleDisplay();
  void MenuFileSalvaGrafico_Click();
  void MenuEditCopia_Click();
  QString CurrentOverlayText() const;
  QImage ScreenImage() const;

  Form1& main_;
  TimeTrace trace_;
  OscilloscopeGeometry geometry_;
  bool running_ = false;
  bool in_tick_ = false;
  int run_count_ = 0;

  QWidget* client_ = nullptr;
  GraphSurface* Grafico1_ = nullptr;
  QFrame* ShCur1_ = nullptr;
  QLabel* ShFil1_ = nullptr;
  QToolButton* cmdRep_ = nullptr;
  QGroupBox* Frame1_ = nullptr;
  QComboBox* cmbWF_ = nullptr;
  QLineEdit* txtVDivI_ = nullptr;
  QScrollBar* SVDivI_ = nullptr;
  QLineEdit* txtVDivO_ = nullptr;
  QScrollBar* SVDivO_ = nullptr;
  QSlider* SFF_ = nullptr;
  QLineEdit* txtStF_ = nullptr;
  QLabel* lblStFM_ = nullptr;
  QScrollBar* SStFM_ = nullptr;
  QLineEdit* txtEnF_ = nullptr;
  QLabel* lblEnFM_ = nullptr;
  QScrollBar* SEnFM_ = nullptr;
  QLabel* lblOsc_ = nullptr;
  QScrollBar* SOsc_ = nullptr;
  QLabel* lblCa_ = nullptr;
  QScrollBar* SCa_ = nullptr;
  QPushButton* cmdAgg_ = nullptr;
  QPushButton* cmdStop_ = nullptr;
  QGroupBox* Frame2_ = nullptr;
  QListWidget* lstPar_ = nullptr;
  QSlider* SPar_ = nullptr;
  QPushButton* cmdAddP_ = nullptr;
  QPushButton* cmdRmvP_ = nullptr;
  ReportPanel* fReport_ = nullptr;
  QToolButton* cmdHelp_ = nullptr;
  StatusPanels* SB1_ = nullptr;
  QTimer* Timer1_ = nullptr;

  QAction* MenuShowSepSign_ = nullptr;
  QAction* MenuShowPD_ = nullptr;
  QAction* MenuShowFil_ = nullptr;
  QAction* MenuShowUnitS_ = nullptr;
  QAction* MenuShowUnitDeg_ = nullptr;
  QAction* MenuToolsParF_ = nullptr;
};

}  // namespace quorvel
