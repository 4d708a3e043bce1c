#include "oscilloscope/oscilloscope_controls.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "widgets/client_area.h"
#include "widgets/count_control.h"
#include "widgets/frequency_range.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "widgets/window_support.h"

namespace quorvel {

namespace {

constexpr int kReadoutPanelWidth = 110;
const QColor kScreenColour(0, 128, 128);

QSlider* NewSlider(QWidget* parent, const char* name) {
  auto* slider = Named(new QSlider(Qt::Horizontal, parent), name);
  slider->setRange(0, 100);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(10);
  return slider;
}

void CreateFrame1(OscilloscopeControls& c) {
  c.Frame1 = Named(new QGroupBox(QStringLiteral("Strumenti"), c.client), "Frame1");
  c.Frame1->setProperty(kFirstRowProperty, 210);  // the waveform box
  NewLabel(QStringLiteral("Forma d'onda:"), c.Frame1, "Label1");
  c.cmbWF = Named(new QComboBox(c.Frame1), "cmbWF");
  c.cmbWF->setEditable(true);
  c.cmbWF->setInsertPolicy(QComboBox::NoInsert);  // a typed statement is not a new entry
  NewLabel(QStringLiteral("Frequenza:"), c.Frame1, "Label2");
  c.SFF = NewSlider(c.Frame1, "SFF");
  c.range = new FrequencyRange(*c.Frame1, "Label3", "Label4");

  NewLabel(QStringLiteral("V/Div (in)"), c.Frame1, "Label5");
  c.txtVDivI = Named(new QLineEdit(c.Frame1), "txtVDivI");
  c.SVDivI = NewBar(Qt::Horizontal, 0, 12, c.Frame1, "SVDivI");
  NewLabel(QStringLiteral("V/Div (out)"), c.Frame1, "Label6");
  c.txtVDivO = Named(new QLineEdit(c.Frame1), "txtVDivO");
  c.SVDivO = NewBar(Qt::Horizontal, 0, 12, c.Frame1, "SVDivO");
  // Scroll bars invert their keys (Page Up scrolls up); a horizontal bar's Right key adds. A
  // click in the trough moves one position, as an arrow does: thirteen positions have no pages.
  // Tab reaches the bars, and the arrow keys set them.
  for (QScrollBar* bar : {c.SVDivI, c.SVDivO}) {
    bar->setInvertedControls(false);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
  }
  for (QLineEdit* box : {c.txtVDivI, c.txtVDivO}) {
    box->setReadOnly(true);  // set by its scroll bar
    box->setAlignment(Qt::AlignRight);
  }
  NewLabel(QStringLiteral("Oscillazioni:"), c.Frame1, "Label7");
  c.oscillations = new CountControl(*c.Frame1, "lblOsc", "SOsc", 1, 100, 1, 10);
  NewLabel(QStringLiteral("Campioni:"), c.Frame1, "Label8");
  c.samples = new CountControl(*c.Frame1, "lblCa", "SCa", 100, 2000, 100, 500);
  c.cmdAgg = Named(new QPushButton(QStringLiteral("Aggiorna"), c.Frame1), "cmdAgg");
  c.cmdStop = Named(new QPushButton(QStringLiteral("Ferma"), c.Frame1), "cmdStop");
}

void CreateFrame2(OscilloscopeControls& c) {
  c.Frame2 = Named(new QGroupBox(QStringLiteral("Parametri del filtro"), c.client), "Frame2");
  c.cmdAddP = Named(new QPushButton(QStringLiteral("Aggiungi"), c.Frame2), "cmdAddP");
  c.cmdRmvP = Named(new QPushButton(QStringLiteral("Rimuovi"), c.Frame2), "cmdRmvP");
  c.SPar = NewSlider(c.Frame2, "SPar");
  c.lstPar = Named(new QListWidget(c.Frame2), "lstPar");
  c.Frame2->hide();
}

void CreateControls(QMainWindow& window, OscilloscopeControls& c) {
  c.client = new ClientArea(window);
  c.Grafico1 = Named(new GraphSurface(c.client, kScreenColour), "Grafico1");
  c.Grafico1->setCursor(Qt::CrossCursor);
  CreateFrame1(c);
  CreateFrame2(c);
  // The report panel floats over the screen, hidden until asked for.
  c.fReport = new ReportPanel({1200, 600, 4800, 2400}, c.client);
  c.SB1 = new StatusPanels(5, kReadoutPanelWidth, c.client);
  c.cmdHelp = Named(new QToolButton(c.client), "cmdHelp");
  c.cmdHelp->setText(QStringLiteral("?"));
  c.Timer1 = Named(new QTimer(&window), "Timer1");
  c.Timer1->setInterval(100);
}

void CreateMenus(QMainWindow& window, OscilloscopeControls& c) {
  QMenuBar* bar = window.menuBar();
  QMenu* file = NewMenu(bar, QStringLiteral("&File"), "MenuFile");
  c.MenuFileSalva = NewAction(file, QStringLiteral("&Salva"), "MenuFileSalva");
  c.MenuFileSalvaGrafico =
      NewAction(file, QStringLiteral("Salva &grafico..."), "MenuFileSalvaGrafico");
  c.MenuFileEsportaDati =
      NewAction(file, QStringLiteral("Esporta &dati..."), "MenuFileEsportaDati");
  file->addSeparator();
  c.MenuFileChiudi = NewAction(file, QStringLiteral("&Chiudi"), "MenuFileChiudi");

  QMenu* edit = NewMenu(bar, QStringLiteral("&Modifica"), "MenuEdit");
  c.MenuEditCopia = NewAction(edit, QStringLiteral("&Copia"), "MenuEditCopia");
  c.MenuEditCopiaDati = NewAction(edit, QStringLiteral("Copia &dati"), "MenuEditCopiaDati");

  QMenu* show = NewMenu(bar, QStringLiteral("&Visualizza"), "MenuShow");
  QMenu* graph = NewSubmenu(show, QStringLiteral("&Grafico"), "MenuShowGraf");
  c.MenuShowSepSign = NewCheck(graph, QStringLiteral("&Separa segnali"), "MenuShowSepSign", false);
  c.MenuShowPD = NewCheck(graph, QStringLiteral("&Densità punti"), "MenuShowPD", false);
  c.MenuShowFil = NewCheck(graph, QStringLiteral("&Filtro"), "MenuShowFil", false);
  QMenu* unit = NewSubmenu(show, QStringLiteral("&Unità di misura"), "MenuShowUnit");
  c.MenuShowUnitS = NewCheck(unit, QStringLiteral("&Secondi"), "MenuShowUnitS", true);
  c.MenuShowUnitDeg = NewCheck(unit, QStringLiteral("&Gradi"), "MenuShowUnitDeg", false);
  auto* units = new QActionGroup(&window);
  units->addAction(c.MenuShowUnitS);
  units->addAction(c.MenuShowUnitDeg);
  show->addSeparator();
  c.MenuShowReport = NewAction(show, QStringLiteral("&Report..."), "MenuShowReport");

  QMenu* tools = NewMenu(bar, QStringLiteral("&Strumenti"), "MenuTools");
  c.MenuToolsParF = NewCheck(tools, QStringLiteral("Filtro &parametrico"), "MenuToolsParF", false);

  QMenu* help = NewMenu(bar, QStringLiteral("&?"), "MenuHelp");
  NewAction(help, QStringLiteral("&Guida..."), "MenuHelpGuida");
  help->addSeparator();
  NewAction(help, QStringLiteral("&Informazioni..."), "MenuHelpInfo");
  NewAction(help, QStringLiteral("&Logo..."), "MenuHelpLogo");
}

// Controls that the layout never moves get their design rectangles once.
void PlaceFixedControls(QMainWindow& window, OscilloscopeControls& c) {
  const std::pair<const char*, TwipRect> fixed[] = {
      {"Label1", {120, 240, 1455, 255}},
      {"cmbWF", {1620, 210, 1815, 315}},
      {"Label2", {120, 600, 1455, 255}},
      {"SFF", {1620, 570, 1815, 375}},
      // The frequency captions are longer than the others of the column: their rows start
      // 120 twips further right, as far as the next column allows.
      {"Label3", {120, 1020, 1575, 255}},
      {"txtStF", {1740, 1005, 855, 285}},
      {"lblStFM", {2640, 1020, 495, 255}},
      {"SStFM", {3120, 1020, 255, 255}},
      {"Label4", {120, 1380, 1575, 255}},
      {"txtEnF", {1740, 1365, 855, 285}},
      {"lblEnFM", {2640, 1380, 495, 255}},
      {"SEnFM", {3120, 1380, 255, 255}},
      {"Label5", {3480, 240, 1095, 255}},
      {"txtVDivI", {4620, 225, 615, 285}},
      {"SVDivI", {5280, 240, 1035, 255}},
      {"Label6", {3480, 600, 1095, 255}},
      {"txtVDivO", {4620, 585, 615, 285}},
      {"SVDivO", {5280, 600, 1035, 255}},
      {"Label7", {3480, 1020, 1095, 255}},
      {"lblOsc", {4620, 1020, 495, 255}},
      {"SOsc", {5160, 1020, 255, 255}},
      {"Label8", {3480, 1380, 1095, 255}},
      {"lblCa", {4620, 1380, 495, 255}},
      {"SCa", {5160, 1380, 255, 255}},
      {"cmdAddP", {120, 240, 1035, 375}},
      {"cmdRmvP", {1260, 240, 1035, 375}},
      {"SPar", {120, 675, 2175, 375}},
      {"lstPar", {120, 1110, 2175, 2670}},
  };
  PlaceByName(*c.client, fixed, window);
}

}  // namespace

void SetupOscilloscopeControls(QMainWindow& window, OscilloscopeControls& c) {
  CreateControls(window, c);
  CreateMenus(window, c);
  PlaceFixedControls(window, c);
}

}  // namespace quorvel
