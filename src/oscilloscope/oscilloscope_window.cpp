#include "oscilloscope/oscilloscope_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <utility>

#include "numbers/reversed_value.h"
#include "shell/graph_surface.h"
#include "shell/main_window.h"
#include "shell/report_panel.h"
#include "shell/status_panels.h"
#include "shell/twips.h"
#include "shell/window_support.h"

namespace quorvel {

namespace {

constexpr double kMinimumOuterWidthTwips = 7800;
constexpr double kMinimumOuterHeightTwips = 6500;
constexpr int kReadoutPanelWidth = 110;
const QColor kScreenColour(0, 128, 128);

QSlider* NewSlider(QWidget* parent, const char* name) {
  auto* slider = Named(new QSlider(Qt::Horizontal, parent), name);
  slider->setRange(0, 100);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(10);
  return slider;
}

}  // namespace

Form2::Form2(Form1& main_window) : main_(main_window) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Oscilloscopio"));
  CreateControls();
  CreateMenus();
  ConnectControls();
  PlaceFixedControls();
  Form_Load();
  ConnectShellCommands();
  // A design size above the minimum; the layout takes over at the first resize.
  resize(TwipsToPixelsX(10200, *this), TwipsToPixelsY(8400, *this));
}

Form2::~Form2() = default;

void Form2::CreateControls() {
  client_ = NewClientArea(*this, *this);
  CreateScreen();
  CreateFrame1();
  CreateFrame2();

  // The report panel floats over the screen, hidden until asked for.
  fReport_ = new ReportPanel({1200, 600, 4800, 2400}, client_);

  SB1_ = new StatusPanels(5, kReadoutPanelWidth, client_);
  cmdHelp_ = Named(new QToolButton(client_), "cmdHelp");
  cmdHelp_->setText(QStringLiteral("?"));

  Timer1_ = Named(new QTimer(this), "Timer1");
  Timer1_->setInterval(100);
}

void Form2::CreateScreen() {
  Grafico1_ = Named(new GraphSurface(client_, kScreenColour), "Grafico1");
  Grafico1_->installEventFilter(this);
  Grafico1_->setCursor(Qt::CrossCursor);

  // The cursor line and the drag label sit over the screen without taking its mouse.
  ShCur1_ = Named(new QFrame(Grafico1_), "ShCur1");
  ShCur1_->setStyleSheet(QStringLiteral("background: white;"));
  ShCur1_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShCur1_->setGeometry(0, 0, 1, Grafico1_->height());
  ShFil1_ = NewLabel(QStringLiteral("Filtro"), Grafico1_, "ShFil1");
  ShFil1_->setStyleSheet(QStringLiteral("color: white; border: 1px dotted white;"));
  ShFil1_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShFil1_->hide();

  cmdRep_ = Named(new QToolButton(Grafico1_), "cmdRep");
  cmdRep_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  cmdRep_->setToolTip(QStringLiteral("Report"));
  cmdRep_->setAutoRaise(true);
  cmdRep_->resize(24, 24);
  cmdRep_->hide();
}

void Form2::CreateFrame1() {
  Frame1_ = Named(new QGroupBox(QStringLiteral("Strumenti"), client_), "Frame1");
  NewLabel(QStringLiteral("Forma d'onda:"), Frame1_, "Label1");
  cmbWF_ = Named(new QComboBox(Frame1_), "cmbWF");
  cmbWF_->setEditable(true);
  cmbWF_->setInsertPolicy(QComboBox::NoInsert);  // a typed statement is not a new entry
  cmbWF_->installEventFilter(this);
  cmbWF_->lineEdit()->installEventFilter(this);
  NewLabel(QStringLiteral("Frequenza:"), Frame1_, "Label2");
  SFF_ = NewSlider(Frame1_, "SFF");
  NewLabel(QStringLiteral("Frequenza iniziale:"), Frame1_, "Label3");
  txtStF_ = Named(new QLineEdit(QStringLiteral("1"), Frame1_), "txtStF");
  lblStFM_ = NewLabel(QStringLiteral("Hz"), Frame1_, "lblStFM");
  SStFM_ = NewBar(Qt::Vertical, 0, 3, Frame1_, "SStFM");
  NewLabel(QStringLiteral("Frequenza finale:"), Frame1_, "Label4");
  txtEnF_ = Named(new QLineEdit(QStringLiteral("1"), Frame1_), "txtEnF");
  lblEnFM_ = NewLabel(QStringLiteral("Hz"), Frame1_, "lblEnFM");
  SEnFM_ = NewBar(Qt::Vertical, 0, 3, Frame1_, "SEnFM");

  NewLabel(QStringLiteral("V/Div (in)"), Frame1_, "Label5");
  txtVDivI_ = Named(new QLineEdit(Frame1_), "txtVDivI");
  SVDivI_ = NewBar(Qt::Horizontal, 0, 12, Frame1_, "SVDivI");
  NewLabel(QStringLiteral("V/Div (out)"), Frame1_, "Label6");
  txtVDivO_ = Named(new QLineEdit(Frame1_), "txtVDivO");
  SVDivO_ = NewBar(Qt::Horizontal, 0, 12, Frame1_, "SVDivO");
  // Scroll bars invert their keys (Page Up scrolls up); a horizontal bar's Right key adds.
  for (QScrollBar* bar : {SVDivI_, SVDivO_}) bar->setInvertedControls(false);
  for (QLineEdit* box : {txtVDivI_, txtVDivO_}) {
    box->setReadOnly(true);  // set by its scroll bar
    box->setAlignment(Qt::AlignRight);
  }
  NewLabel(QStringLiteral("Oscillazioni:"), Frame1_, "Label7");
  lblOsc_ = NewLabel(QStringLiteral("1"), Frame1_, "lblOsc");
  SOsc_ = NewBar(Qt::Vertical, 1, 100, Frame1_, "SOsc");
  NewLabel(QStringLiteral("Campioni:"), Frame1_, "Label8");
  lblCa_ = NewLabel(QStringLiteral("100"), Frame1_, "lblCa");
  SCa_ = NewBar(Qt::Vertical, 100, 2000, Frame1_, "SCa");
  SCa_->setSingleStep(100);
  SCa_->setPageStep(100);
  for (QLabel* label : {lblOsc_, lblCa_}) {
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
  }
  cmdAgg_ = Named(new QPushButton(QStringLiteral("Aggiorna"), Frame1_), "cmdAgg");
  cmdStop_ = Named(new QPushButton(QStringLiteral("Ferma"), Frame1_), "cmdStop");
}

void Form2::CreateFrame2() {
  Frame2_ = Named(new QGroupBox(QStringLiteral("Parametri del filtro"), client_), "Frame2");
  cmdAddP_ = Named(new QPushButton(QStringLiteral("Aggiungi"), Frame2_), "cmdAddP");
  cmdRmvP_ = Named(new QPushButton(QStringLiteral("Rimuovi"), Frame2_), "cmdRmvP");
  SPar_ = NewSlider(Frame2_, "SPar");
  lstPar_ = Named(new QListWidget(Frame2_), "lstPar");
  lstPar_->viewport()->installEventFilter(this);
  Frame2_->hide();
}

void Form2::CreateMenus() {
  QMenu* file = NewMenu(menuBar(), QStringLiteral("&File"), "MenuFile");
  NewAction(file, QStringLiteral("&Salva"), "MenuFileSalva");
  QAction* save_graph =
      NewAction(file, QStringLiteral("Salva &grafico..."), "MenuFileSalvaGrafico");
  file->addSeparator();
  QAction* close_window = NewAction(file, QStringLiteral("&Chiudi"), "MenuFileChiudi");

  QMenu* edit = NewMenu(menuBar(), QStringLiteral("&Modifica"), "MenuEdit");
  QAction* copy = NewAction(edit, QStringLiteral("&Copia"), "MenuEditCopia");

  QMenu* show = NewMenu(menuBar(), QStringLiteral("&Visualizza"), "MenuShow");
  QMenu* graph = NewSubmenu(show, QStringLiteral("&Grafico"), "MenuShowGraf");
  MenuShowSepSign_ = NewCheck(graph, QStringLiteral("&Separa segnali"), "MenuShowSepSign", false);
  MenuShowPD_ = NewCheck(graph, QStringLiteral("&Densità punti"), "MenuShowPD", false);
  MenuShowFil_ = NewCheck(graph, QStringLiteral("&Filtro"), "MenuShowFil", false);
  QMenu* unit = NewSubmenu(show, QStringLiteral("&Unità di misura"), "MenuShowUnit");
  MenuShowUnitS_ = NewCheck(unit, QStringLiteral("&Secondi"), "MenuShowUnitS", true);
  MenuShowUnitDeg_ = NewCheck(unit, QStringLiteral("&Gradi"), "MenuShowUnitDeg", false);
  auto* units = new QActionGroup(this);
  units->addAction(MenuShowUnitS_);
  units->addAction(MenuShowUnitDeg_);
  show->addSeparator();
  QAction* report = NewAction(show, QStringLiteral("&Report..."), "MenuShowReport");

  QMenu* tools = NewMenu(menuBar(), QStringLiteral("&Strumenti"), "MenuTools");
  MenuToolsParF_ = NewCheck(tools, QStringLiteral("Filtro &parametrico"), "MenuToolsParF", false);

  QMenu* help = NewMenu(menuBar(), QStringLiteral("&?"), "MenuHelp");
  // Help, about box and logo are not wired yet.
  NewAction(help, QStringLiteral("&Guida..."), "MenuHelpGuida");
  help->addSeparator();
  NewAction(help, QStringLiteral("&Informazioni..."), "MenuHelpInfo");
  NewAction(help, QStringLiteral("&Logo..."), "MenuHelpLogo");

  connect(save_graph, &QAction::triggered, this, &Form2::MenuFileSalvaGrafico_Click);
  connect(close_window, &QAction::triggered, this, &QWidget::close);
  connect(copy, &QAction::triggered, this, &Form2::MenuEditCopia_Click);
  for (QAction* toggle : {MenuShowSepSign_, MenuShowPD_, MenuShowFil_}) {
    connect(toggle, &QAction::triggered, this, &Form2::ToggleDisplay);
  }
  connect(MenuShowUnitS_, &QAction::triggered, this, [this] { SetTimeUnit(QStringLiteral("s")); });
  connect(MenuShowUnitDeg_, &QAction::triggered, this,
          [this] { SetTimeUnit(QStringLiteral("deg")); });
  connect(report, &QAction::triggered, this, &Form2::cmdRep_Click);
  // Choosing the entry has already inverted its check mark.
  connect(MenuToolsParF_, &QAction::triggered, this, &Form2::ShowParameterPanel);
}

void Form2::ConnectControls() {
  connect(Timer1_, &QTimer::timeout, this, &Form2::Timer1_Timer);
  connect(cmbWF_, &QComboBox::activated, this, &Form2::cmbWF_Click);
  connect(SFF_, &QSlider::valueChanged, this, &Form2::SFF_Change);
  connect(SStFM_, &QScrollBar::valueChanged, this, &Form2::SStFM_Change);
  connect(SEnFM_, &QScrollBar::valueChanged, this, &Form2::SEnFM_Change);
  connect(SOsc_, &QScrollBar::valueChanged, this, &Form2::SOsc_Change);
  connect(SCa_, &QScrollBar::valueChanged, this, &Form2::SCa_Change);
  connect(SVDivI_, &QScrollBar::valueChanged, this, &Form2::SVDivI_Change);
  connect(SVDivO_, &QScrollBar::valueChanged, this, &Form2::SVDivO_Change);
  connect(cmdAgg_, &QPushButton::clicked, this, &Form2::cmdAgg_Click);
  connect(cmdStop_, &QPushButton::clicked, this, &Form2::cmdStop_Click);
  connect(cmdAddP_, &QPushButton::clicked, this, &Form2::cmdAddP_Click);
  connect(cmdRmvP_, &QPushButton::clicked, this, &Form2::cmdRmvP_Click);
  connect(SPar_, &QSlider::valueChanged, this, &Form2::SPar_Change);
  connect(cmdRep_, &QToolButton::clicked, this, &Form2::cmdRep_Click);
  connect(SB1_, &StatusPanels::PanelClick, this, &Form2::SB1_PanelClick);
}

// Controls that the layout never moves get their design rectangles once.
void Form2::PlaceFixedControls() {
  const std::array<std::pair<const char*, TwipRect>, 28> fixed{{
      {"Label1", {120, 240, 1455, 255}},   {"cmbWF", {1620, 210, 1815, 315}},
      {"Label2", {120, 600, 1455, 255}},   {"SFF", {1620, 570, 1815, 375}},
      {"Label3", {120, 1020, 1455, 255}},  {"txtStF", {1620, 1005, 855, 285}},
      {"lblStFM", {2520, 1020, 495, 255}}, {"SStFM", {3060, 1020, 255, 255}},
      {"Label4", {120, 1380, 1455, 255}},  {"txtEnF", {1620, 1365, 855, 285}},
      {"lblEnFM", {2520, 1380, 495, 255}}, {"SEnFM", {3060, 1380, 255, 255}},
      {"Label5", {3480, 240, 1095, 255}},  {"txtVDivI", {4620, 225, 615, 285}},
      {"SVDivI", {5280, 240, 1035, 255}},  {"Label6", {3480, 600, 1095, 255}},
      {"txtVDivO", {4620, 585, 615, 285}}, {"SVDivO", {5280, 600, 1035, 255}},
      {"Label7", {3480, 1020, 1095, 255}}, {"lblOsc", {4620, 1020, 495, 255}},
      {"SOsc", {5160, 1020, 255, 255}},    {"Label8", {3480, 1380, 1095, 255}},
      {"lblCa", {4620, 1380, 495, 255}},   {"SCa", {5160, 1380, 255, 255}},
      {"cmdAddP", {120, 240, 1035, 375}},  {"cmdRmvP", {1260, 240, 1035, 375}},
      {"SPar", {120, 675, 2175, 375}},     {"lstPar", {120, 1110, 2175, 2670}},
  }};
  for (const auto& [name, rect] : fixed) {
    if (auto* widget = client_->findChild<QWidget*>(QLatin1String(name))) {
      widget->setGeometry(TwipRectToPixels(rect, *this));
    }
  }
  ApplyGeometry();
}

void Form2::Form_Load() {
  cmbWF_->addItems(WaveformNames());
  cmbWF_->setCurrentIndex(0);
  SetReversedValue(*SStFM_, 0);
  SetReversedValue(*SEnFM_, 1);
  SVDivI_->setValue(6);
  SVDivO_->setValue(6);
  SetReversedValue(*SOsc_, 2);
  SetReversedValue(*SCa_, 1000);
  // Bars already at their value announce no change: write every label once.
  SStFM_Change();
  SEnFM_Change();
  SVDivI_Change();
  SVDivO_Change();
  SOsc_Change();
  SCa_Change();
  SB1_->SetText(2, QStringLiteral("Ombrat - Ferrolt"));
  for (int panel = 3; panel <= 5; ++panel) SB1_->SetText(panel, QStringLiteral("/"));
  SB1_->SetTag(3, QStringLiteral("s"));
  SB1_->Panel(3)->setToolTip(QStringLiteral("Tempo"));
  SB1_->Panel(4)->setToolTip(QStringLiteral("vi"));
  SB1_->Panel(5)->setToolTip(QStringLiteral("vo"));
  StopRequested = true;
  RunRequested = true;  // the first tick runs the filter
  RedrawRequested = false;
  Timer1_->start();
}

void Form2::TakeFrequencySettings(int start_unit_position, int end_unit_position,
                                  int oscillations_position, const QString& start_text,
                                  const QString& end_text) {
  SStFM_->setValue(start_unit_position);
  SEnFM_->setValue(end_unit_position);
  SOsc_->setValue(oscillations_position);
  txtStF_->setText(start_text);
  txtEnF_->setText(end_text);
}

double Form2::InnerWidthTwips() const { return client_->width() * TwipsPerPixelX(*this); }
double Form2::InnerHeightTwips() const { return client_->height() * TwipsPerPixelY(*this); }

void Form2::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  LayoutOscilloscope();
}

void Form2::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) LayoutOscilloscope();
}

void Form2::LayoutOscilloscope() {
  // Before the window is shown its client area has no real size yet.
  if (!client_ || !isVisible() || isMinimized()) return;
  const double tx = TwipsPerPixelX(*this);
  const double ty = TwipsPerPixelY(*this);
  const double outer_width = frameGeometry().width() * tx;
  const double outer_height = frameGeometry().height() * ty;
  if (outer_width < kMinimumOuterWidthTwips || outer_height < kMinimumOuterHeightTwips) {
    // Below the minimum: grow to it; the resize lays the window out again.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(
        TwipsToPixelsX(std::max(outer_width, kMinimumOuterWidthTwips), *this) - frame.width(),
        TwipsToPixelsY(std::max(outer_height, kMinimumOuterHeightTwips), *this) - frame.height());
  }
  const double W = InnerWidthTwips();
  const double H = InnerHeightTwips();
  OscilloscopeGeometry& g = geometry_;
  // A size the window system would refuse (zero or negative) is skipped; the rest still runs.
  auto set_size = [](double& target, double value) {
    if (value > 0) target = value;
  };
  g.Grafico1.left = MenuToolsParF_->isChecked() ? g.Frame2.width : 0;
  set_size(g.Grafico1.width, W - g.Grafico1.left);
  set_size(g.Grafico1.height, H - g.Frame1.height - g.SB1Height);
  set_size(g.Frame1.width, W);
  g.Frame1.top = g.Grafico1.height;
  g.cmdAgg.left = g.Frame1.width - g.cmdAgg.width - 120;
  g.cmdStop.left = g.cmdAgg.left;
  set_size(g.Frame2.height, g.Grafico1.height);
  set_size(g.lstPar.height, g.Frame2.height - g.lstPar.top - 120);
  g.cmdHelp.top = H - g.cmdHelp.height + 8;
  ApplyGeometry();
  RedrawRequested = true;
}

void Form2::ApplyGeometry() {
  const OscilloscopeGeometry& g = geometry_;
  auto place = [this](QWidget* widget, const TwipRect& rect) {
    widget->setGeometry(TwipRectToPixels(rect, *this));
  };
  place(Grafico1_, g.Grafico1);
  place(Frame1_, g.Frame1);
  place(cmdAgg_, g.cmdAgg);
  place(cmdStop_, g.cmdStop);
  place(Frame2_, g.Frame2);
  place(lstPar_, g.lstPar);
  place(SB1_, {0, InnerHeightTwips() - g.SB1Height, InnerWidthTwips(), g.SB1Height});
  place(cmdHelp_, g.cmdHelp);
  cmdHelp_->raise();
  if (fReport_->isVisible()) fReport_->raise();
}

void Form2::closeEvent(QCloseEvent* event) {
  StopRequested = true;
  StopRunningCall();
  if (!main_.MainClosing) {
    // While the main window stays open, closing only hides: trace, report and settings stay.
    event->ignore();
    hide();
    return;
  }
  event->accept();
}

}  // namespace quorvel
