#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include "oscilloscope/oscilloscope_window.h"
#include "scripting/filter_program.h"
#include "scripting/script_host.h"
#include "shell/graph_surface.h"
#include "shell/report_panel.h"
#include "shell/run_launcher.h"
#include "shell/status_panels.h"
#include "shell/twips.h"
#include "shell/window_support.h"

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

}  // namespace

Form1::Form1() : Script1_(std::make_unique<ScriptHost>()), launcher_(new RunLauncher(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Quorvel"));
  CreateControls();
  CreateMenus();
  ConnectControls();
  PlaceFixedControls();
  CreateGraphOverlays();
  ConnectGraphMenus();
  ConnectDocumentMenus();
  ConnectHelp();
  dialog_folder_ = QCoreApplication::applicationDirPath();

  // Start: the prelude, the sliders, the first tab.
  (void)Script1_->LoadCode(PreludeText());
  ApplyDefaultSliders();
  TS1_->setCurrentIndex(0);
  TS1_Click(0);
  SB1_->SetText(2, QStringLiteral("Ombrat - Ferrolt"));
  for (int panel = 3; panel <= 5; ++panel) SB1_->SetText(panel, QStringLiteral("/"));
  SB1_->SetTag(5, QStringLiteral("deg"));
  SB1_->Panel(3)->setToolTip(QStringLiteral("Frequenza"));
  SB1_->Panel(4)->setToolTip(QStringLiteral("Vo/Vi"));
  SB1_->Panel(5)->setToolTip(QStringLiteral("Fase"));
  TestModified = false;
  TestPath.clear();

  // A design size close to the layout's own minimum; the layout takes over at the first resize.
  resize(TwipsToPixelsX(9600, *this), TwipsToPixelsY(7800, *this));
}

Form1::~Form1() = default;

void Form1::CreateControls() {
  client_ = NewClientArea(*this, *this);

  Frame1_ = Named(new QGroupBox(QStringLiteral("Parametri del test"), client_), "Frame1");
  NewLabel(QStringLiteral("Frequenza iniziale:"), Frame1_, "Label1");
  txtStF_ = Named(new QLineEdit(QStringLiteral("1"), Frame1_), "txtStF");
  lblStFM_ = NewLabel(QStringLiteral("Hz"), Frame1_, "lblStFM");
  SStFM_ = NewBar(Qt::Vertical, 0, 3, Frame1_, "SStFM");
  NewLabel(QStringLiteral("Frequenza finale:"), Frame1_, "Label2");
  txtEnF_ = Named(new QLineEdit(QStringLiteral("1"), Frame1_), "txtEnF");
  lblEnFM_ = NewLabel(QStringLiteral("Hz"), Frame1_, "lblEnFM");
  SEnFM_ = NewBar(Qt::Vertical, 0, 3, Frame1_, "SEnFM");
  NewLabel(QStringLiteral("Scala logaritmica:"), Frame1_, "Label3");
  chkLogX_ = Named(new QCheckBox(QStringLiteral("Freq"), Frame1_), "chkLogX");
  chkLogY_ = Named(new QCheckBox(QStringLiteral("Vo/Vi"), Frame1_), "chkLogY");
  SLog_ = Named(new QSlider(Qt::Horizontal, Frame1_), "SLog");
  SLog_->setRange(0, 100);
  SLog_->setTickPosition(QSlider::TicksBelow);
  SLog_->setTickInterval(10);
  NewLabel(QStringLiteral("Oscillazioni:"), Frame1_, "Label5");
  lblOsc_ = NewLabel(QStringLiteral("1"), Frame1_, "lblOsc");
  SOsc_ = NewBar(Qt::Vertical, 1, 100, Frame1_, "SOsc");
  NewLabel(QStringLiteral("Campioni:"), Frame1_, "Label6");
  lblCa_ = NewLabel(QStringLiteral("100"), Frame1_, "lblCa");
  SCa_ = NewBar(Qt::Vertical, 5, 500, Frame1_, "SCa");
  SCa_->setSingleStep(5);
  SCa_->setPageStep(5);
  cmdStart_ = Named(new QPushButton(QStringLiteral("Avvia"), Frame1_), "cmdStart");
  cmdStop_ = Named(new QPushButton(QStringLiteral("Ferma"), Frame1_), "cmdStop");
  for (QLabel* label : {lblOsc_, lblCa_}) {
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
  }
  SLog_->installEventFilter(this);

  Frame3_ = Named(new QGroupBox(QStringLiteral("Parametri del filtro"), client_), "Frame3");
  txtPar_ = NewFilterText(Frame3_, "txtPar");
  lblMX_ = NewLabel(QString(), client_, "lblMX");
  lblMX_->setCursor(Qt::SizeHorCursor);
  Frame2_ = Named(new QGroupBox(QStringLiteral("Funzioni del filtro"), client_), "Frame2");
  txtFil_ = NewFilterText(Frame2_, "txtFil");
  txtFil_->setPlainText(QStringLiteral("vo=vi\n"));
  lblMY_ = NewLabel(QString(), client_, "lblMY");
  lblMY_->setCursor(Qt::SizeVerCursor);
  for (QLabel* splitter : {lblMX_, lblMY_}) splitter->installEventFilter(this);

  TS1_ = Named(new QTabBar(client_), "TS1");
  TS1_->setExpanding(false);
  TS1_->setDrawBase(false);
  const std::array<std::pair<QString, QString>, 4> tabs{{
      {QStringLiteral("Ampiezza"), QStringLiteral("Grafico della risposta in ampiezza")},
      {QStringLiteral("Fase"), QStringLiteral("Grafico della risposta in fase")},
      {QStringLiteral("Affianca v"), QStringLiteral("Affianca i grafici verticalmente")},
      {QStringLiteral("Affianca o"), QStringLiteral("Affianca i grafici orizzontalmente")},
  }};
  for (const auto& [caption, tip] : tabs) TS1_->setTabToolTip(TS1_->addTab(caption), tip);

  Grafico1_ = Named(new GraphSurface(client_), "Grafico1");
  Grafico2_ = Named(new GraphSurface(client_), "Grafico2");
  SB1_ = new StatusPanels(5, kReadoutPanelWidth, client_);
  cmdHelp_ = Named(new QToolButton(client_), "cmdHelp");
  cmdHelp_->setText(QStringLiteral("?"));
  cmdHelp_->raise();

  // The report panel keeps the last run's report; it is shown from the graphs' report buttons.
  fReport_ = new ReportPanel(TwipRect{1200, 3600, 4800, 2400}, client_);

  Timer1_ = Named(new QTimer(this), "Timer1");
  Timer1_->setInterval(100);
  Timer1_->start();
}

void Form1::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("MenuFile"));
  NewAction(file, QStringLiteral("&Nuovo"), "MenuFileNuovo", QKeySequence(Qt::CTRL | Qt::Key_N));
  NewAction(file, QStringLiteral("&Apri..."), "MenuFileApri", QKeySequence(Qt::CTRL | Qt::Key_A));
  NewAction(file, QStringLiteral("&Salva"), "MenuFileSalva", QKeySequence(Qt::CTRL | Qt::Key_S));
  NewAction(file, QStringLiteral("S&alva con nome..."), "MenuFileSalvaNome");
  file->addSeparator();
  NewAction(file, QStringLiteral("Salva &grafico..."), "MenuFileSalvaGrafico");
  file->addSeparator();
  QAction* exit = NewAction(file, QStringLiteral("&Esci"), "MenuFileEsci");
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Modifica"));
  edit->setObjectName(QStringLiteral("MenuEdit"));
  QMenu* copy = edit->addMenu(QStringLiteral("&Copia"));
  copy->setObjectName(QStringLiteral("MenuEditCopia"));
  NewAction(copy, QStringLiteral("&Filtro"), "MenuEditCopiaFiltro");
  NewAction(copy, QStringLiteral("&Grafico"), "MenuEditCopiaGrafico");
  NewAction(edit, QStringLiteral("&Incolla"), "MenuEditIncolla");

  QMenu* show = menuBar()->addMenu(QStringLiteral("&Visualizza"));
  show->setObjectName(QStringLiteral("MenuShow"));
  QMenu* graph = show->addMenu(QStringLiteral("&Grafico"));
  graph->setObjectName(QStringLiteral("MenuShowGraf"));
  MenuShowCF_ = NewCheck(graph, QStringLiteral("Frequenza di &taglio"), "MenuShowCF", true);
  MenuShowTr_ = NewCheck(graph, QStringLiteral("&Valore traccia"), "MenuShowTr", true);
  MenuShowFil_ = NewCheck(graph, QStringLiteral("&Filtro"), "MenuShowFil", true);
  QMenu* unit = show->addMenu(QStringLiteral("&Unità di misura"));
  unit->setObjectName(QStringLiteral("MenuShowUnit"));
  MenuShowUnitPura_ = NewCheck(unit, QStringLiteral("&Pura (Vo/Vi)"), "MenuShowUnitPura", true);
  MenuShowUnitDB_ = NewCheck(unit, QStringLiteral("&deciBel"), "MenuShowUnitDB", false);
  unit->addSeparator();
  MenuShowUnitDeg_ = NewCheck(unit, QStringLiteral("&Gradi"), "MenuShowUnitDeg", true);
  MenuShowUnitRad_ = NewCheck(unit, QStringLiteral("&Radianti"), "MenuShowUnitRad", false);
  show->addSeparator();
  MenuShowReport_ = NewAction(show, QStringLiteral("&Report..."), "MenuShowReport");

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Strumenti"));
  tools->setObjectName(QStringLiteral("MenuTools"));
  QAction* osc = NewAction(tools, QStringLiteral("Oscilloscopio..."), "MenuToolsOsc");
  connect(osc, &QAction::triggered, this, &Form1::MenuToolsOsc_Click);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
  help->setObjectName(QStringLiteral("MenuHelp"));
  NewAction(help, QStringLiteral("&Guida..."), "MenuHelpGuida", QKeySequence(Qt::Key_F1));
  help->addSeparator();
  NewAction(help, QStringLiteral("&Informazioni..."), "MenuHelpInfo", QKeySequence(Qt::Key_F2));
  NewAction(help, QStringLiteral("&Logo..."), "MenuHelpLogo");
}

void Form1::ConnectControls() {
  connect(cmdStart_, &QPushButton::clicked, this, &Form1::cmdStart_Click);
  connect(cmdStop_, &QPushButton::clicked, this, &Form1::cmdStop_Click);
  connect(TS1_, &QTabBar::currentChanged, this, &Form1::TS1_Click);
  connect(SStFM_, &QScrollBar::valueChanged, this, &Form1::SStFM_Change);
  connect(SEnFM_, &QScrollBar::valueChanged, this, &Form1::SEnFM_Change);
  connect(SOsc_, &QScrollBar::valueChanged, this, &Form1::SOsc_Change);
  connect(SCa_, &QScrollBar::valueChanged, this, &Form1::SCa_Change);
  connect(SLog_, &QSlider::valueChanged, this, &Form1::SLog_Change);
  connect(chkLogX_, &QCheckBox::clicked, this, &Form1::RedrawGraphs);
  connect(chkLogY_, &QCheckBox::clicked, this, &Form1::RedrawGraphs);
  connect(txtPar_, &QPlainTextEdit::textChanged, this, [this] { TestModified = true; });
  connect(txtFil_, &QPlainTextEdit::textChanged, this, [this] { TestModified = true; });
  connect(Timer1_, &QTimer::timeout, this, &Form1::Timer1_Timer);
  connect(launcher_, &RunLauncher::RunningChanged, this, &Form1::RunningChanged);
  // Long script calls deliver events, so the window answers while a filter spins; a cancel
  // also stops the call that is running.
  Script1_->SetBusyHook([this] {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (cancel_) Script1_->CancelRunningCall();
  });
}

// Controls that the layout never moves get their design rectangles once.
void Form1::PlaceFixedControls() {
  // Sized by its entries: an entry without a name would match any control.
  const std::pair<const char*, TwipRect> fixed[] = {
      {"Label1", {120, 240, 1455, 255}},  {"txtStF", {1680, 240, 855, 285}},
      {"lblStFM", {2640, 240, 375, 255}}, {"SStFM", {3000, 240, 255, 255}},
      {"Label2", {120, 600, 1455, 255}},  {"txtEnF", {1680, 600, 855, 285}},
      {"lblEnFM", {2640, 600, 375, 255}}, {"SEnFM", {3000, 600, 255, 255}},
      {"Label3", {120, 960, 1455, 255}},  {"chkLogX", {1680, 960, 855, 255}},
      {"chkLogY", {2640, 960, 855, 255}}, {"SLog", {3480, 960, 1815, 255}},
      {"Label5", {3600, 240, 855, 255}},  {"lblOsc", {4560, 240, 495, 255}},
      {"SOsc", {5040, 240, 255, 255}},    {"Label6", {3600, 600, 855, 255}},
      {"lblCa", {4560, 600, 495, 255}},   {"SCa", {5040, 600, 255, 255}},
  };
  for (const auto& [name, rect] : fixed) {
    if (auto* widget = Frame1_->findChild<QWidget*>(QLatin1String(name))) {
      QRect pixels = TwipRectToPixels(rect, *this);
      // Captions wider than their design room (another font than the design's) are not cut.
      if (qobject_cast<QLabel*>(widget)) {
        pixels.setWidth(std::max(pixels.width(), widget->sizeHint().width()));
      }
      widget->setGeometry(pixels);
    }
  }
  ApplyGeometry();
}

bool IsFormLoaded(const QString& form_name) {
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == form_name) return true;
  }
  return false;
}

}  // namespace quorvel
