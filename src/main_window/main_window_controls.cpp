#include "main_window/main_window_controls.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include "widgets/client_area.h"
#include "widgets/context_help.h"
#include "widgets/count_control.h"
#include "widgets/frequency_range.h"
#include "widgets/graph_surface.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"
#include "widgets/window_support.h"

namespace quorvel {

namespace {

constexpr int kReadoutPanelWidth = 110;

QPlainTextEdit* NewFilterText(QWidget* parent, const char* name) {
  auto* text = Named(new QPlainTextEdit(parent), name);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return text;
}

void CreateTestFrame(MainWindowControls& c) {
  c.Frame1 = Named(new QGroupBox(QStringLiteral("Parametri del test"), c.client), "Frame1");
  c.range = new FrequencyRange(*c.Frame1, "Label1", "Label2");
  NewLabel(QStringLiteral("Scala logaritmica:"), c.Frame1, "Label3");
  c.chkLogX = Named(new QCheckBox(QStringLiteral("Freq"), c.Frame1), "chkLogX");
  c.chkLogY = Named(new QCheckBox(QStringLiteral("Vo/Vi"), c.Frame1), "chkLogY");
  c.SLog = Named(new QSlider(Qt::Horizontal, c.Frame1), "SLog");
  c.SLog->setRange(0, 100);
  c.SLog->setTickPosition(QSlider::TicksBelow);
  c.SLog->setTickInterval(10);
  NewLabel(QStringLiteral("Oscillazioni:"), c.Frame1, "Label5");
  c.oscillations = new CountControl(*c.Frame1, "lblOsc", "SOsc", 1, 100, 1, 10);
  NewLabel(QStringLiteral("Campioni:"), c.Frame1, "Label6");
  c.samples = new CountControl(*c.Frame1, "lblCa", "SCa", 5, 500, 5, 100);
  c.cmdStart = Named(new QPushButton(QStringLiteral("Avvia"), c.Frame1), "cmdStart");
  c.cmdStop = Named(new QPushButton(QStringLiteral("Ferma"), c.Frame1), "cmdStop");
}

void CreateControls(QMainWindow& window, MainWindowControls& c) {
  c.client = new ClientArea(window);
  CreateTestFrame(c);

  c.Frame3 = Named(new QGroupBox(QStringLiteral("Parametri del filtro"), c.client), "Frame3");
  c.txtPar = NewFilterText(c.Frame3, "txtPar");
  c.lblMX = NewLabel(QString(), c.client, "lblMX");
  c.lblMX->setCursor(Qt::SizeHorCursor);
  c.Frame2 = Named(new QGroupBox(QStringLiteral("Funzioni del filtro"), c.client), "Frame2");
  c.txtFil = NewFilterText(c.Frame2, "txtFil");
  c.txtFil->setPlainText(QStringLiteral("vo=vi\n"));
  c.lblMY = NewLabel(QString(), c.client, "lblMY");
  c.lblMY->setCursor(Qt::SizeVerCursor);

  c.TS1 = Named(new QTabBar(c.client), "TS1");
  c.TS1->setExpanding(false);
  c.TS1->setElideMode(Qt::ElideNone);  // "Affianca v" and "Affianca o" whole
  c.TS1->setDrawBase(false);
  const std::array<std::pair<QString, QString>, 4> tabs{{
      {QStringLiteral("Ampiezza"), QStringLiteral("Grafico della risposta in ampiezza")},
      {QStringLiteral("Fase"), QStringLiteral("Grafico della risposta in fase")},
      {QStringLiteral("Affianca v"), QStringLiteral("Affianca i grafici verticalmente")},
      {QStringLiteral("Affianca o"), QStringLiteral("Affianca i grafici orizzontalmente")},
  }};
  for (const auto& [caption, tip] : tabs) c.TS1->setTabToolTip(c.TS1->addTab(caption), tip);

  c.Grafico1 = Named(new GraphSurface(c.client), "Grafico1");
  c.Grafico2 = Named(new GraphSurface(c.client), "Grafico2");
  c.SB1 = new StatusPanels(5, kReadoutPanelWidth, c.client);
  c.cmdHelp = Named(new QToolButton(c.client), "cmdHelp");
  c.cmdHelp->setText(QStringLiteral("?"));
  c.cmdHelp->raise();

  // The report panel keeps the last run's report; it is shown from the graphs' report buttons.
  c.fReport = new ReportPanel(TwipRect{1200, 3600, 4800, 2400}, c.client);

  c.Timer1 = Named(new QTimer(&window), "Timer1");
  c.Timer1->setInterval(100);
}

// Two menu entries of which exactly one is marked.
void Exclusive(QMainWindow& window, QAction* first, QAction* second) {
  auto* group = new QActionGroup(&window);
  group->addAction(first);
  group->addAction(second);
}

void CreateMenus(QMainWindow& window, MainWindowControls& c) {
  QMenuBar* bar = window.menuBar();
  QMenu* file = NewMenu(bar, QStringLiteral("&File"), "MenuFile");
  c.MenuFileNuovo = NewAction(file, QStringLiteral("&Nuovo"), "MenuFileNuovo",
                              QKeySequence(Qt::CTRL | Qt::Key_N));
  c.MenuFileApri = NewAction(file, QStringLiteral("&Apri..."), "MenuFileApri",
                             QKeySequence(Qt::CTRL | Qt::Key_A));
  c.MenuFileSalva = NewAction(file, QStringLiteral("&Salva"), "MenuFileSalva",
                              QKeySequence(Qt::CTRL | Qt::Key_S));
  c.MenuFileSalvaNome = NewAction(file, QStringLiteral("S&alva con nome..."), "MenuFileSalvaNome");
  file->addSeparator();
  c.MenuFileSalvaGrafico =
      NewAction(file, QStringLiteral("Salva &grafico..."), "MenuFileSalvaGrafico");
  c.MenuFileEsportaDati =
      NewAction(file, QStringLiteral("Esporta &dati..."), "MenuFileEsportaDati");
  file->addSeparator();
  c.MenuFileEsci = NewAction(file, QStringLiteral("&Esci"), "MenuFileEsci");

  QMenu* edit = NewMenu(bar, QStringLiteral("&Modifica"), "MenuEdit");
  QMenu* copy = NewSubmenu(edit, QStringLiteral("&Copia"), "MenuEditCopia");
  c.MenuEditCopiaFiltro = NewAction(copy, QStringLiteral("&Filtro"), "MenuEditCopiaFiltro");
  c.MenuEditCopiaGrafico = NewAction(copy, QStringLiteral("&Grafico"), "MenuEditCopiaGrafico");
  c.MenuEditCopiaDati = NewAction(copy, QStringLiteral("&Dati"), "MenuEditCopiaDati");
  c.MenuEditIncolla = NewAction(edit, QStringLiteral("&Incolla"), "MenuEditIncolla");

  QMenu* show = NewMenu(bar, QStringLiteral("&Visualizza"), "MenuShow");
  QMenu* graph = NewSubmenu(show, QStringLiteral("&Grafico"), "MenuShowGraf");
  c.MenuShowCF = NewCheck(graph, QStringLiteral("Frequenza di &taglio"), "MenuShowCF", true);
  c.MenuShowTr = NewCheck(graph, QStringLiteral("&Valore traccia"), "MenuShowTr", true);
  c.MenuShowFil = NewCheck(graph, QStringLiteral("&Filtro"), "MenuShowFil", true);
  QMenu* unit = NewSubmenu(show, QStringLiteral("&Unità di misura"), "MenuShowUnit");
  c.MenuShowUnitPura = NewCheck(unit, QStringLiteral("&Pura (Vo/Vi)"), "MenuShowUnitPura", true);
  c.MenuShowUnitDB = NewCheck(unit, QStringLiteral("&deciBel"), "MenuShowUnitDB", false);
  unit->addSeparator();
  c.MenuShowUnitDeg = NewCheck(unit, QStringLiteral("&Gradi"), "MenuShowUnitDeg", true);
  c.MenuShowUnitRad = NewCheck(unit, QStringLiteral("&Radianti"), "MenuShowUnitRad", false);
  Exclusive(window, c.MenuShowUnitPura, c.MenuShowUnitDB);
  Exclusive(window, c.MenuShowUnitDeg, c.MenuShowUnitRad);
  c.MenuShowScale = NewCheck(show, QStringLiteral("&Scale numeriche"), "MenuShowScale", false);
  show->addSeparator();
  c.MenuShowReport = NewAction(show, QStringLiteral("&Report..."), "MenuShowReport");

  QMenu* tools = NewMenu(bar, QStringLiteral("&Strumenti"), "MenuTools");
  c.MenuToolsOsc = NewAction(tools, QStringLiteral("Oscilloscopio..."), "MenuToolsOsc");
  tools->addSeparator();
  c.MenuToolsPrecisa =
      NewCheck(tools, QStringLiteral("Misura &precisa"), "MenuToolsPrecisa", false);
  c.MenuToolsConfronta = NewAction(tools, QStringLiteral("&Confronta"), "MenuToolsConfronta");
  c.MenuToolsCancellaConfronti =
      NewAction(tools, QStringLiteral("Ca&ncella confronti"), "MenuToolsCancellaConfronti");

  QMenu* help = NewMenu(bar, QStringLiteral("&?"), "MenuHelp");
  NewAction(help, QStringLiteral("&Guida..."), "MenuHelpGuida", QKeySequence(Qt::Key_F1));
  c.MenuHelpEsempi = NewAction(help, QStringLiteral("&Esempi..."), "MenuHelpEsempi");
  help->addSeparator();
  NewAction(help, QStringLiteral("&Informazioni..."), "MenuHelpInfo", QKeySequence(Qt::Key_F2));
  NewAction(help, QStringLiteral("&Logo..."), "MenuHelpLogo");
}

// Controls that the layout never moves get their design rectangles once. The table is sized
// by its entries: an entry without a name would match any control.
void PlaceFixedControls(QMainWindow& window, MainWindowControls& c) {
  const std::pair<const char*, TwipRect> fixed[] = {
      {"Label1", {120, 240, 1455, 255}},
      {"txtStF", {1680, 240, 855, 285}},
      {"lblStFM", {2640, 240, 345, 255}},
      {"SStFM", {3000, 240, 255, 255}},
      {"Label2", {120, 600, 1455, 255}},
      {"txtEnF", {1680, 600, 855, 285}},
      {"lblEnFM", {2640, 600, 345, 255}},
      {"SEnFM", {3000, 600, 255, 255}},
      {"Label3", {120, 960, 1455, 255}},
      {"chkLogX", {1680, 960, 855, 255}},
      {"chkLogY", {2640, 960, 855, 255}},
      {"SLog", {3480, 960, 1815, 255}},
      // The value labels end a pixel before their arrows, their numbers clear of them.
      {"Label5", {3600, 240, 855, 255}},
      {"lblOsc", {4560, 240, 465, 255}},
      {"SOsc", {5040, 240, 255, 255}},
      {"Label6", {3600, 600, 855, 255}},
      {"lblCa", {4560, 600, 465, 255}},
      {"SCa", {5040, 600, 255, 255}},
  };
  PlaceByName(*c.Frame1, fixed, window);
}

void SetHelpContexts(QMainWindow& window) {
  SetHelpContext(window, QStringLiteral("1007"));
  const std::pair<const char*, const char*> tags[] = {
      {"cmdStart", "1006"}, {"cmdStop", "1006"},  {"SEnFM", "1008"},   {"txtEnF", "1008"},
      {"SStFM", "1009"},    {"txtStF", "1009"},   {"Frame2", "1010"},  {"txtFil", "1010"},
      {"Grafico1", "1011"}, {"Grafico2", "1011"}, {"chkLogX", "1014"}, {"chkLogY", "1015"},
      {"SOsc", "1020"},     {"Frame3", "1021"},   {"txtPar", "1021"},  {"Frame1", "1022"},
      {"SLog", "1023"},
  };
  for (const auto& [name, context] : tags) {
    if (auto* widget = window.findChild<QWidget*>(QLatin1String(name))) {
      SetHelpContext(*widget, QLatin1String(context));
    }
  }
}

}  // namespace

void SetupMainWindowControls(QMainWindow& window, MainWindowControls& c) {
  CreateControls(window, c);
  CreateMenus(window, c);
  PlaceFixedControls(window, c);
  SetHelpContexts(window);
}

}  // namespace quorvel
