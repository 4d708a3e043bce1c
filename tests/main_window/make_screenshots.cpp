// Writes the README's screenshots of the windows, drawn offscreen as a new user would see them:
//   make_screenshots <folder>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>

#include <cstdio>

#include "main_window/main_window.h"
#include "main_window/response_graphs.h"
#include "main_window/test_documents.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "scripting/script_host.h"
#include "widgets/graph_surface.h"
#include "widgets/help_window.h"
#include "widgets/italian_texts.h"

namespace {

template <typename T>
T* Child(const QObject& parent, const char* name) {
  return parent.findChild<T*>(QLatin1String(name));
}

void Type(QWidget* box, const QString& text) {
  if (auto* line = qobject_cast<QLineEdit*>(box)) line->selectAll();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) plain->selectAll();
  QTest::keyClicks(box, text);
}

bool Save(QWidget& window, const QDir& folder, const char* name) {
  const QString path = folder.filePath(QLatin1String(name));
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  (void)quorvel::LoadItalianQtTexts(app);  // as the program does
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_screenshots <folder>\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  quorvel::ScriptEngineInit engine;

  quorvel::Form1 window;
  window.resize(900, 680);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  auto* tabs = Child<QTabBar>(window, "TS1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
  Type(Child<QLineEdit>(window, "txtStF"), QStringLiteral("10"));
  Type(Child<QLineEdit>(window, "txtEnF"), QStringLiteral("100"));
  quorvel::SetReversedValue(*Child<QScrollBar>(window, "SCa"), 60);
  Type(Child<QPlainTextEdit>(window, "txtPar"), QStringLiteral("RC = 1/(2*3.14159265358979*1000)"));
  Type(Child<QPlainTextEdit>(window, "txtFil"), QStringLiteral("vo = vo + (vi - vo) * dt / RC"));
  QTest::mouseClick(Child<QCheckBox>(window, "chkLogX"), Qt::LeftButton);
  QTest::mouseClick(Child<QPushButton>(window, "cmdStart"), Qt::LeftButton);
  QTest::qWait(300);
  if (!Save(window, folder, "main-window.png")) return 1;

  // The filter text dragged onto each graph, where a low-pass leaves it clear of the curves
  // (bottom left), and the pointer at the cutoff frequency.
  auto* amplitude = Child<quorvel::GraphSurface>(window, "Grafico1");
  const QPoint overlay(40, amplitude->height() - 70);
  QTest::mousePress(amplitude, Qt::LeftButton, {}, overlay);
  QTest::mouseRelease(amplitude, Qt::LeftButton, {}, overlay);
  auto* phase = Child<quorvel::GraphSurface>(window, "Grafico2");
  const QPoint phase_overlay(40, phase->height() - 70);
  QTest::mousePress(phase, Qt::LeftButton, {}, phase_overlay);
  QTest::mouseRelease(phase, Qt::LeftButton, {}, phase_overlay);
  QTest::qWait(300);
  QTest::mouseMove(amplitude, {amplitude->width() / 2, amplitude->height() / 3});
  QTest::qWait(50);
  if (!Save(window, folder, "readout.png")) return 1;

  // Two filters compared: the RC low-pass kept with "Confronta", one five times faster run over
  // it, numbered scales, and the pointer at 2 kHz reading both.
  Child<QAction>(window, "MenuToolsConfronta")->trigger();
  Child<QPlainTextEdit>(window, "txtFil")
      ->setPlainText(QStringLiteral("vo = vo + (vi - vo) * dt / (RC / 5)"));
  QTest::mouseClick(Child<QPushButton>(window, "cmdStart"), Qt::LeftButton);
  Child<QAction>(window, "MenuShowScale")->trigger();
  if (!QTest::qWaitFor([&] { return window.Graphs().RedrawPending() == 0; })) return 1;
  // log10(2000 / 10) / log10(100000 / 10) of the width: 2 kHz on the logarithmic axis.
  QTest::mouseMove(amplitude, {static_cast<int>(amplitude->width() * 0.5753), 40});
  if (!Save(window, folder, "compare.png")) return 1;
  Child<QAction>(window, "MenuToolsCancellaConfronti")->trigger();
  Child<QAction>(window, "MenuShowScale")->trigger();

  // The help at the topic of the test parameters.
  window.SetHelpFile(QStringLiteral(QUORVEL_HELP_SOURCE_DIR));
  quorvel::HelpWindow* help =
      quorvel::ShowHelpTopic(&window, window.HelpFile(), QStringLiteral("1022"));
  if (!help) return 1;
  help->resize(760, 560);
  QTest::qWait(100);
  if (!Save(*help, folder, "help.png")) return 1;
  help->close();

  // The oscilloscope on the parametric low-pass example, its parameter panel open.
  if (!window.Documents().ReadTestFile(
          QStringLiteral(QUORVEL_EXAMPLES_DIR "/parametric_lowpass.flt"))) {
    return 1;
  }
  QAction* tools = Child<QAction>(window, "MenuToolsOsc");
  tools->trigger();
  quorvel::Form2* scope = window.oscilloscope();
  if (!scope) return 1;
  scope->resize(860, 620);
  QTest::qWait(3000);
  return Save(*scope, folder, "oscilloscope.png") ? 0 : 1;
}
