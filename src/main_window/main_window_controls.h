#pragma once

#include <array>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSlider;
class QTabBar;
class QTimer;
class QToolButton;

namespace quorvel {

class ClientArea;
class CountControl;
class FrequencyRange;
class GraphSurface;
class ReportPanel;
class StatusPanels;

// The main window's controls and menu entries, named as the window's design names them (each
// also carries its name as object name). Filled by SetupMainWindowControls; the window and the
// classes that share its work reach the controls through this.
struct MainWindowControls {
  ClientArea* client = nullptr;
  QGroupBox* Frame1 = nullptr;
  FrequencyRange* range = nullptr;  // txtStF, lblStFM, SStFM, txtEnF, lblEnFM, SEnFM
  QCheckBox* chkLogX = nullptr;
  QCheckBox* chkLogY = nullptr;
  QSlider* SLog = nullptr;
  CountControl* oscillations = nullptr;  // lblOsc, SOsc
  CountControl* samples = nullptr;       // lblCa, SCa
  QPushButton* cmdStart = nullptr;
  QPushButton* cmdStop = nullptr;
  QGroupBox* Frame3 = nullptr;
  QPlainTextEdit* txtPar = nullptr;
  QLabel* lblMX = nullptr;
  QGroupBox* Frame2 = nullptr;
  QPlainTextEdit* txtFil = nullptr;
  QLabel* lblMY = nullptr;
  QTabBar* TS1 = nullptr;
  GraphSurface* Grafico1 = nullptr;
  GraphSurface* Grafico2 = nullptr;
  StatusPanels* SB1 = nullptr;
  QToolButton* cmdHelp = nullptr;
  QTimer* Timer1 = nullptr;
  ReportPanel* fReport = nullptr;

  QAction* MenuFileNuovo = nullptr;
  QAction* MenuFileApri = nullptr;
  QAction* MenuFileSalva = nullptr;
  QAction* MenuFileSalvaNome = nullptr;
  QAction* MenuFileSalvaGrafico = nullptr;
  QAction* MenuFileEsportaDati = nullptr;
  QAction* MenuFileEsci = nullptr;
  QAction* MenuEditCopiaFiltro = nullptr;
  QAction* MenuEditCopiaGrafico = nullptr;
  QAction* MenuEditCopiaDati = nullptr;
  QAction* MenuEditIncolla = nullptr;
  QAction* MenuShowCF = nullptr;
  QAction* MenuShowTr = nullptr;
  QAction* MenuShowFil = nullptr;
  QAction* MenuShowUnitPura = nullptr;
  QAction* MenuShowUnitDB = nullptr;
  QAction* MenuShowUnitDeg = nullptr;
  QAction* MenuShowUnitRad = nullptr;
  QAction* MenuShowScale = nullptr;
  QAction* MenuShowReport = nullptr;
  QAction* MenuToolsOsc = nullptr;
  QAction* MenuToolsPrecisa = nullptr;  // "Misura precisa": sweeps use the precise method
  QAction* MenuToolsConfronta = nullptr;
  QAction* MenuToolsCancellaConfronti = nullptr;
  QAction* MenuHelpEsempi = nullptr;
};

// Creates the main window's controls, menus and timer with their captions, ranges and help
// context numbers, and gives the controls that the layout never moves their design rectangles.
void SetupMainWindowControls(QMainWindow& window, MainWindowControls& c);

}  // namespace quorvel
