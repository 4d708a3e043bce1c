#pragma once

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "documents/test_document.h"
#include "shell/drag.h"
#include "shell/main_window_layout.h"
#include "simulation/frequency_sweep.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSlider;
class QTabBar;
class QTimer;
class QToolButton;

namespace quorvel {

class Form2;
class GraphSurface;
class ReportPanel;
class RunLauncher;
class ScriptHost;
class StatusPanels;

// The program's first window: the test being edited (filter texts and sweep settings), the
// amplitude and phase graphs, the status bar, and the commands that run a sweep. Controls carry
// their names as object names.
class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  Form1();
  ~Form1() override;

  // Called by the progress window, by name, when the user cancels a run.
  Q_INVOKABLE void AsyncCallback(qint16& res);

  // Window state that other windows and commands read.
  bool TestModified = false;
  QString TestPath;
  bool MainClosing = false;
  QString HelpFile;  // the help folder
  double RedrawPending = 0;
  double LogFloor = 0.1;

  ScriptHost& Script1() { return *Script1_; }
  // Starts the runs of this window and of the oscilloscope, one at a time.
  RunLauncher& Launcher() { return *launcher_; }
  // The oscilloscope window, once "Oscilloscopio..." has created it.
  Form2* oscilloscope() const { return oscilloscope_.get(); }
  const SweepResult& result() const { return result_; }
  const MainWindowGeometry& geometry_twips() const { return geometry_; }
  double start_multiplier() const { return start_multiplier_; }
  double end_multiplier() const { return end_multiplier_; }
  // True while a sweep of this window runs.
  bool running() const { return running_; }
  // Number of redraws so far (how the tests see that several requests gave one).
  int redraw_count() const { return redraw_count_; }

  // Overlay positions of the filter text, relative to each graph's size (amplitude, phase).
  double Fil1X = 0;
  double Fil1Y = 0;
  double Fil2X = 0;
  double Fil2Y = 0;

  // The readout for a pointer move over graph 1 (amplitude) or 2 (phase), buttons 1 left,
  // 2 right, 4 middle, position in the surface's units.
  void UpdateTrace(int graph, std::int16_t buttons, double X, double Y);
  // A click on a status bar panel: panels 4 and 5 toggle the amplitude and phase units.
  void SB1_PanelClick(int panel);
  void ShowReportPanel();

  // Test files and the document commands.
  bool WriteTestFile(const QString& path);
  bool ReadTestFile(const QString& path);
  bool SaveTest(const QString& path);
  bool SaveTestAs(QString& path);
  bool OpenTest(QString& path);
  // Opens a test as "Apri..." does once a file is chosen (a file given on the command line);
  // while a run lasts, the file is opened once it has ended.
  void OpenFile(const QString& path);
  bool ConfirmDiscard();
  void ResetTest();
  TestDocument CollectTestDocument() const;

  void ApplyDefaultSliders();
  void LayoutMainWindow();
  void RedrawGraphs();

  // The filter texts with CR LF line ends, as the scripts, reports and files take them.
  QString ParametersText() const;
  QString FunctionsText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreateMenus();
  void ConnectControls();
  void PlaceFixedControls();

  void cmdStart_Click();
  void cmdStop_Click();
  void TS1_Click(int index);
  void SStFM_Change();
  void SEnFM_Change();
  void SOsc_Change();
  void SCa_Change();
  void SLog_Change();
  void lblOsc_MouseUp(Qt::MouseButton button);
  void lblCa_MouseUp(Qt::MouseButton button);
  void Splitter_MouseDown(QWidget* splitter, QPointF global_position);
  void Splitter_MouseMove(QWidget* splitter, QPointF global_position);
  void Timer1_Timer();
  void MenuToolsOsc_Click();
  // While a run lasts, the commands that would change the test or start another run are
  // unavailable; a close or a file open asked for meanwhile is carried out once it has ended.
  void RunningChanged(bool running);
  void StopRuns();

  void ConnectDocumentMenus();
  void ConnectHelp();
  void ApplyMainDocument(const TestDocument& document, const QString& key);
  QString AskFileName(bool save, const QString& filter, const QString& proposed);
  void ShowFileError(const QString& description);
  void MenuFileApri_Click();
  bool OpenChosenTest(const QString& chosen, QString& path);
  void PreviewOpenedTest();
  void MenuFileSalvaGrafico_Click();
  void MenuEditCopiaFiltro_Click();
  void MenuEditCopiaGrafico_Click();
  void MenuEditIncolla_Click();
  void RunSweep(double start_frequency, double end_frequency, std::int32_t samples,
                std::int16_t oscillations);

  // The oscilloscope window's part in documents.
  std::optional<OscilloscopeSection> CollectOscilloscopeSection() const;
  void ClearOscilloscopeParameters();
  void PrepareOscilloscopeFor(const Record& record);
  void ApplyOscilloscopeRecord(const TestDocument& document, const Record& record);
  void HideOscilloscope();
  void CloseOscilloscopeForGood();

  void CreateGraphOverlays();
  void ConnectGraphMenus();
  bool GraphEvent(int graph, QEvent* event);
  void Grafico_Resize(int graph);
  void MenuShowUnit_Click(QAction* chosen);

  QPointF CursorTwips(QPointF global_position) const;
  void ApplyGeometry();

  std::unique_ptr<ScriptHost> Script1_;
  RunLauncher* launcher_ = nullptr;
  // Created on first opening and kept, hidden in between, until this window goes.
  std::unique_ptr<Form2> oscilloscope_;
  SweepResult result_;
  MainWindowGeometry geometry_;
  DragOffsets drag_offsets_;
  double start_multiplier_ = 1;
  double end_multiplier_ = 1;
  bool cancel_ = false;
  bool unit_amplitude_set_ = false;
  QString dialog_folder_;
  bool running_ = false;
  bool close_after_run_ = false;
  QString open_after_run_;
  int redraw_count_ = 0;

  QWidget* client_ = nullptr;
  QGroupBox* Frame1_ = nullptr;
  QLineEdit* txtStF_ = nullptr;
  QLabel* lblStFM_ = nullptr;
  QScrollBar* SStFM_ = nullptr;
  QLineEdit* txtEnF_ = nullptr;
  QLabel* lblEnFM_ = nullptr;
  QScrollBar* SEnFM_ = nullptr;
  QCheckBox* chkLogX_ = nullptr;
  QCheckBox* chkLogY_ = nullptr;
  QSlider* SLog_ = nullptr;
  QLabel* lblOsc_ = nullptr;
  QScrollBar* SOsc_ = nullptr;
  QLabel* lblCa_ = nullptr;
  QScrollBar* SCa_ = nullptr;
  QPushButton* cmdStart_ = nullptr;
  QPushButton* cmdStop_ = nullptr;
  QGroupBox* Frame3_ = nullptr;
  QPlainTextEdit* txtPar_ = nullptr;
  QLabel* lblMX_ = nullptr;
  QGroupBox* Frame2_ = nullptr;
  QPlainTextEdit* txtFil_ = nullptr;
  QLabel* lblMY_ = nullptr;
  QTabBar* TS1_ = nullptr;
  GraphSurface* Grafico1_ = nullptr;
  GraphSurface* Grafico2_ = nullptr;
  StatusPanels* SB1_ = nullptr;
  QToolButton* cmdHelp_ = nullptr;
  QTimer* Timer1_ = nullptr;
  ReportPanel* fReport_ = nullptr;

  QAction* MenuShowCF_ = nullptr;
  QAction* MenuShowFil_ = nullptr;
  QAction* MenuShowTr_ = nullptr;
  QAction* MenuShowUnitPura_ = nullptr;
  QAction* MenuShowUnitDB_ = nullptr;
  QAction* MenuShowUnitDeg_ = nullptr;
  QAction* MenuShowUnitRad_ = nullptr;
  QAction* MenuShowReport_ = nullptr;
  // Per graph (0 amplitude, 1 phase): cursor line, overlay drag label, report button.
  std::array<QFrame*, 2> ShCur_{};
  std::array<QLabel*, 2> ShFil_{};
  std::array<QToolButton*, 2> cmdRep_{};
};

// True when a window of that form name ("Form1", "Form2") exists, shown or hidden.
bool IsFormLoaded(const QString& form_name);

}  // namespace quorvel
