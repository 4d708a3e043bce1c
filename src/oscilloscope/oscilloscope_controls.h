#pragma once

class QAction;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QToolButton;

namespace quorvel {

class ClientArea;
class CountControl;
class FrequencyRange;
class GraphSurface;
class ReportPanel;
class StatusPanels;

// The oscilloscope window's controls and menu entries, named as the window's design names them
// (each also carries its name as object name). Filled by SetupOscilloscopeControls.
struct OscilloscopeControls {
  ClientArea* client = nullptr;
  GraphSurface* Grafico1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QComboBox* cmbWF = nullptr;
  QSlider* SFF = nullptr;
  FrequencyRange* range = nullptr;  // txtStF, lblStFM, SStFM, txtEnF, lblEnFM, SEnFM
  QLineEdit* txtVDivI = nullptr;
  QScrollBar* SVDivI = nullptr;
  QLineEdit* txtVDivO = nullptr;
  QScrollBar* SVDivO = nullptr;
  CountControl* oscillations = nullptr;  // lblOsc, SOsc
  CountControl* samples = nullptr;       // lblCa, SCa
  QPushButton* cmdAgg = nullptr;
  QPushButton* cmdStop = nullptr;
  QGroupBox* Frame2 = nullptr;
  QPushButton* cmdAddP = nullptr;
  QPushButton* cmdRmvP = nullptr;
  QSlider* SPar = nullptr;
  QListWidget* lstPar = nullptr;
  ReportPanel* fReport = nullptr;
  StatusPanels* SB1 = nullptr;
  QToolButton* cmdHelp = nullptr;
  QTimer* Timer1 = nullptr;

  QAction* MenuFileSalva = nullptr;
  QAction* MenuFileSalvaGrafico = nullptr;
  QAction* MenuFileEsportaDati = nullptr;
  QAction* MenuFileChiudi = nullptr;
  QAction* MenuEditCopia = nullptr;
  QAction* MenuEditCopiaDati = nullptr;
  QAction* MenuShowSepSign = nullptr;
  QAction* MenuShowPD = nullptr;
  QAction* MenuShowFil = nullptr;
  QAction* MenuShowUnitS = nullptr;
  QAction* MenuShowUnitDeg = nullptr;
  QAction* MenuShowReport = nullptr;
  QAction* MenuToolsParF = nullptr;
};

// Creates the oscilloscope's controls, menus and timer with their captions and ranges, and gives
// the controls that the layout never moves their design rectangles.
void SetupOscilloscopeControls(QMainWindow& window, OscilloscopeControls& c);

}  // namespace quorvel
