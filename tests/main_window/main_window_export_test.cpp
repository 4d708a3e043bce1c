// Data out of the main window, driven through its menus: CSV and clipboard tables, graph images
// by type, reference curves ("Confronta"), numbered scales and the examples' open dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "graphs/graph_image.h"
#include "graphs/reference_curves.h"
#include "graphs/response_graph.h"
#include "graphs/trace_readout.h"
#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window/response_export.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "widgets/graph_surface.h"
#include "widgets/status_panels.h"
#include "window_core/data_folders.h"

namespace quorvel {
namespace {

using testing::ModalAnswers;

QString Example(const char* name) {
  return QStringLiteral(QUORVEL_EXAMPLES_DIR "/") + QLatin1String(name);
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The CSV that the built quorvel-cli writes for `args`.
QByteArray CliOutput(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(QUORVEL_CLI_PATH), args);
  if (!process.waitForStarted(20000) || !process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "quorvel-cli did not finish";
    return {};
  }
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return process.readAllStandardOutput();
}

// A save dialog step: the file type `filter` is chosen, then the name typed.
ModalAnswers::Step ChooseAs(const QString& filter, const QString& path) {
  return [filter, path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << "expected a file dialog";
    if (!filter.isEmpty()) dialog->selectNameFilter(filter);
    ModalAnswers::Choose(path)(modal);
  };
}

class ExportTest : public testing::MainWindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    MainWindowFixture::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  void Trigger(const char* action) { C<QAction>(action)->trigger(); }
  GraphSurface* G(int graph) { return C<GraphSurface>(graph == 1 ? "Grafico1" : "Grafico2"); }
  // A sweep between two frequencies in hertz (both below 100 kHz), 20 points.
  void Sweep(const QString& start, const QString& end, const QString& functions) {
    SetReversedValue(*C<QScrollBar>("SEnFM"), 0);
    Type("txtStF", start);
    Type("txtEnF", end);
    TypeFilter("txtFil", functions);
    QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
    ASSERT_GT(w().Graphs().result().count, 0);
    WaitForRedraw();
  }
  // Waits until the redraw that a change asked for has been drawn.
  void WaitForRedraw() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return w().Graphs().RedrawPending() == 0; }));
  }
  // Sizes the window so that the amplitude graph alone (tab 1) is 600 x 400.
  void AmplitudeGraph600x400() {
    w().resize(600, 640 + w().height() - C<QWidget>("client")->height());
    ASSERT_TRUE(QTest::qWaitFor([this] { return G(1)->size() == QSize(600, 400); }));
  }
  // The amplitude graph as the core draws it with `options` and the window's overlay.
  QImage CoreAmplitudeImage(const GraphOptions& options) {
    QImage image = G(1)->NewImage();
    QPainter painter(&image);
    EXPECT_TRUE(DrawAmplitudeGraph(w().Graphs().result(), painter, QSizeF(image.size()), options,
                                   w().Graphs().Overlay()));
    return image;
  }
  // Pixels of exactly `colour` within two rows of y in column x.
  static int PixelsNear(const QImage& image, int x, double y, const QColor& colour) {
    int found = 0;
    for (int row = static_cast<int>(y) - 2; row <= static_cast<int>(y) + 2; ++row) {
      if (row >= 0 && row < image.height() && image.pixelColor(x, row) == colour) ++found;
    }
    return found;
  }

  QTemporaryDir dir_;
};

// The window's "Esporta dati..." after "Avvia" on an example writes the bytes that quorvel-cli
// prints for the same file; "Copia" > "Dati" puts the same table with tabs on the clipboard.
TEST_F(ExportTest, ExportedCsvIsWhatTheCommandLineToolWritesForTheSameTest) {
  ModalAnswers open({ModalAnswers::Choose(Example("rc_lowpass.flt"))});
  Trigger("MenuFileApri");
  ASSERT_EQ(w().Documents().TestPath(), Example("rc_lowpass.flt"));
  QTest::mouseClick(C<QPushButton>("cmdStart"), Qt::LeftButton);
  ASSERT_EQ(w().Graphs().result().count, 40);

  ModalAnswers save({ModalAnswers::Choose(Path("misure"))});
  Trigger("MenuFileEsportaDati");
  EXPECT_EQ(save.answered(), 1u);
  EXPECT_FALSE(QFile::exists(Path("misure")));
  const QByteArray exported = Bytes(Path("misure.csv"));  // the extension is added
  const QByteArray cli = CliOutput({QStringLiteral("sweep"), Example("rc_lowpass.flt")});
  ASSERT_TRUE(cli.startsWith("frequency_hz,amplitude,phase_deg\n"));
  EXPECT_EQ(cli.count('\n'), 41);
  EXPECT_EQ(exported, cli);

  QApplication::clipboard()->setText(QStringLiteral("before"));
  Trigger("MenuEditCopiaDati");
  EXPECT_EQ(QApplication::clipboard()->text().toUtf8(), QByteArray(cli).replace(',', '\t'));
}

TEST_F(ExportTest, WithoutMeasurementsNothingIsExported) {
  ModalAnswers answers(
      {ModalAnswers::Press(QMessageBox::Ok), ModalAnswers::Press(QMessageBox::Ok)});
  Trigger("MenuFileEsportaDati");
  QApplication::clipboard()->setText(QStringLiteral("before"));
  Trigger("MenuEditCopiaDati");
  ASSERT_EQ(answers.messages().size(), 2u);
  for (const testing::SeenMessage& message : answers.messages()) {
    EXPECT_EQ(message.icon, QMessageBox::Information);
    EXPECT_TRUE(message.text.startsWith(QStringLiteral("Non ci sono misure da esportare")));
  }
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_TRUE(QDir(dir_.path()).isEmpty());
}

// Files that cannot be written: below a path that is a file, the folder cannot exist.
TEST_F(ExportTest, FilesThatCannotBeWrittenAreReportedAsErrors) {
  Sweep(QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("vo=vi"));
  QFile blocker(Path("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  auto* exporter = w().findChild<ResponseExport*>();
  ASSERT_NE(exporter, nullptr);
  ModalAnswers answers(
      {ModalAnswers::Press(QMessageBox::Ok), ModalAnswers::Press(QMessageBox::Ok)});
  EXPECT_EQ(exporter->SaveGraphImage(Path("file/graph.png"), GraphImageFilters()[0]), QString());
  EXPECT_EQ(exporter->ExportData(Path("file/misure")), QString());
  ASSERT_EQ(answers.messages().size(), 2u);
  for (const testing::SeenMessage& message : answers.messages()) {
    EXPECT_EQ(message.title, QStringLiteral("Errore"));
    EXPECT_EQ(message.icon, QMessageBox::Critical);
    EXPECT_FALSE(message.text.isEmpty());
  }
  EXPECT_EQ(Bytes(Path("file")), QByteArray());
}

struct ImageCase {
  const char* typed;
  const char* filter;  // the dialog's file type; empty: the first (the bitmap)
  const char* written;
  const char* signature;
};

// "Salva grafico..." writes the type that a known extension names, else the chosen type with its
// extension added; the raster files hold exactly what the window shows.
TEST_F(ExportTest, GraphFilesHaveTheTypeOfTheirExtensionOrOfTheChosenFilter) {
  AmplitudeGraph600x400();
  Sweep(QStringLiteral("10"), QStringLiteral("1010"), QStringLiteral("vo=vi*0.5"));
  ClickTab(1);  // the phase tab: the amplitude graph is saved whatever tab is selected
  const QStringList filters = GraphImageFilters();
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], QStringLiteral("Immagine bitmap (*.bmp)"));
  const ImageCase cases[] = {
      {"a.png", "", "a.png", "\x89PNG"},
      {"b.svg", "", "b.svg", "<?xml"},
      {"c.BMP", "Disegno SVG (*.svg)", "c.BMP", "BM"},
      {"d", "", "d.bmp", "BM"},
      {"e", "Immagine PNG (*.png)", "e.png", "\x89PNG"},
      {"f", "Disegno SVG (*.svg)", "f.svg", "<?xml"},
      {"g.jpg", "Immagine PNG (*.png)", "g.jpg.png", "\x89PNG"},
  };
  const QImage shown = G(1)->image().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(600, 400));
  for (const ImageCase& c : cases) {
    SCOPED_TRACE(c.typed);
    ModalAnswers answers({ChooseAs(QString::fromUtf8(c.filter), Path(c.typed))});
    Trigger("MenuFileSalvaGrafico");
    EXPECT_EQ(answers.answered(), 1u);
    const QByteArray bytes = Bytes(Path(c.written));
    EXPECT_TRUE(bytes.startsWith(c.signature)) << bytes.left(8).toStdString();
    if (QByteArray(c.signature) != "<?xml") {
      const QImage saved = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
      EXPECT_EQ(saved, shown);
    } else {
      EXPECT_TRUE(bytes.contains("<svg"));
      EXPECT_TRUE(bytes.contains("vo=vi*0.5")) << "the filter text overlay is in the drawing";
    }
  }
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), static_cast<int>(std::size(cases)));
}

// "Confronta" keeps the run on show; the next run's curve is drawn over it, the readout gives both
// values under the pointer (panel 2), and "Cancella confronti" takes the references away.
TEST_F(ExportTest, ReferenceCurvesAreDrawnUnderTheNextRunAndReadBackByTheCursor) {
  AmplitudeGraph600x400();
  const QString panel2 = Panel(2);
  Sweep(QStringLiteral("10"), QStringLiteral("1010"), QStringLiteral("vo=vi*0.5"));
  const QColor first = ReferenceColour(0);
  const double half_y = AmplitudeLinearY(0.5, 400).value();
  EXPECT_EQ(PixelsNear(G(1)->image(), 100, half_y, first), 0);

  Trigger("MenuToolsConfronta");
  ASSERT_EQ(w().Graphs().references().size(), 1u);
  EXPECT_EQ(w().Graphs().references()[0].label, QStringLiteral("vo=vi*0.5"));
  EXPECT_EQ(w().Graphs().references()[0].result.count, w().Graphs().result().count);

  // The second filter on a wider range: the reference lies on the left part of its axis.
  Sweep(QStringLiteral("10"), QStringLiteral("2010"), QStringLiteral("vo=vi*0.25"));
  const QImage drawn = G(1)->image();
  EXPECT_GT(PixelsNear(drawn, 100, half_y, first), 0) << "the reference at ratio 0,5";
  EXPECT_GT(PixelsNear(drawn, 100, AmplitudeLinearY(0.25, 400).value(), QColor(255, 0, 0)), 0)
      << "the current curve at ratio 0,25";
  EXPECT_EQ(PixelsNear(drawn, 500, half_y, first), 0) << "beyond the reference's frequencies";

  QTest::mouseMove(G(1), {100, 100});
  EXPECT_EQ(Panel(4), QStringLiteral("25%"));
  EXPECT_EQ(Panel(2), QStringLiteral("Rif. 1: 50% ") + Panel(5));  // the same phase, no delay
  ClickPanel(4);  // decibels, for the current curve and the references alike
  QTest::mouseMove(G(1), {101, 100});
  EXPECT_EQ(Panel(4), QStringLiteral("-12 db"));
  EXPECT_EQ(Panel(2), QStringLiteral("Rif. 1: -6 db ") + Panel(5));
  QTest::mouseMove(G(1), {590, 100});  // about 1980 Hz: outside the reference
  EXPECT_EQ(Panel(2), QStringLiteral("Rif. 1: / /"));

  // A second reference; then both go with one command.
  Trigger("MenuToolsConfronta");
  ASSERT_EQ(w().Graphs().references().size(), 2u);
  QTest::mouseMove(G(1), {100, 100});
  EXPECT_EQ(Panel(2), QStringLiteral("Rif. 1: -6 db %1  Rif. 2: -12 db %1").arg(Panel(5)));
  Trigger("MenuToolsCancellaConfronti");
  EXPECT_TRUE(w().Graphs().references().empty());
  EXPECT_EQ(Panel(2), panel2);
  WaitForRedraw();
  EXPECT_EQ(PixelsNear(G(1)->image(), 100, half_y, first), 0);
}

TEST_F(ExportTest, ConfrontaWithoutAMeasurementKeepsNothing) {
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
  Trigger("MenuToolsConfronta");
  ASSERT_EQ(answers.messages().size(), 1u);
  EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Information);
  EXPECT_TRUE(w().Graphs().references().empty());
}

// "Scale numeriche" is off at start (the plain drawing); on, the window draws what the core draws
// with the values, in the amplitude unit of the readout.
TEST_F(ExportTest, NumberedScalesAreOffUntilChosenAndFollowTheAmplitudeUnit) {
  AmplitudeGraph600x400();
  QAction* scales = C<QAction>("MenuShowScale");
  EXPECT_EQ(scales->text(), QStringLiteral("&Scale numeriche"));
  EXPECT_TRUE(scales->isCheckable());
  EXPECT_FALSE(scales->isChecked());
  Sweep(QStringLiteral("10"), QStringLiteral("1010"), QStringLiteral("vo=vi*0.5"));
  GraphOptions options = w().Graphs().Options();
  EXPECT_FALSE(options.numbered_scales);
  const QImage plain = G(1)->image();
  EXPECT_EQ(plain, CoreAmplitudeImage(GraphOptions{}));
  // Ink in the left margin, beside the horizontal lines.
  auto margin_ink = [](const QImage& image) {
    int dark = 0;
    for (int y = 30; y < 370; ++y) {
      for (int x = 0; x < 40; ++x) dark += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
    }
    return dark;
  };

  scales->trigger();
  EXPECT_TRUE(scales->isChecked());
  WaitForRedraw();
  options.numbered_scales = true;
  EXPECT_EQ(G(1)->image(), CoreAmplitudeImage(options));
  EXPECT_GT(margin_ink(G(1)->image()), margin_ink(plain) + 20);

  ClickPanel(4);  // decibels: the values follow
  WaitForRedraw();
  const QImage ratio_values = CoreAmplitudeImage(options);
  options.amplitude_unit = QStringLiteral("db");
  EXPECT_EQ(w().Graphs().Options().amplitude_unit, QStringLiteral("db"));
  EXPECT_EQ(G(1)->image(), CoreAmplitudeImage(options));
  EXPECT_NE(G(1)->image(), ratio_values);

  scales->trigger();
  WaitForRedraw();
  EXPECT_FALSE(w().Graphs().Options().numbered_scales);
  EXPECT_EQ(G(1)->image(), plain);
}

// References and numbered scales belong to the session: a saved test is the same file.
TEST_F(ExportTest, ReferencesAndNumberedScalesLeaveTestFilesAsTheyWere) {
  Sweep(QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("vo=vi"));
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("before.flt")));
  Trigger("MenuToolsConfronta");
  Trigger("MenuShowScale");
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("after.flt")));
  EXPECT_FALSE(Bytes(Path("before.flt")).isEmpty());
  EXPECT_EQ(Bytes(Path("before.flt")), Bytes(Path("after.flt")));
}

// "?" > "Esempi..." is "Apri..." starting in the examples' folder (the build copies them beside
// the test program, as beside the program).
TEST_F(ExportTest, EsempiOpensAnExampleFromItsFolder) {
  EXPECT_EQ(C<QAction>("MenuHelpEsempi")->text(), QStringLiteral("&Esempi..."));
  const QString folder = ExamplesFolderFor(QCoreApplication::applicationDirPath());
  ASSERT_TRUE(ExamplesAvailable(folder));
  const QString example = QDir(folder).filePath(QStringLiteral("rc_lowpass.flt"));
  auto started_in = std::make_shared<QString>();
  ModalAnswers answers({[started_in, example](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    if (started_in->isEmpty()) *started_in = dialog->directory().absolutePath();
    ModalAnswers::Choose(example)(modal);
  }});
  Trigger("MenuHelpEsempi");
  EXPECT_EQ(*started_in, QDir(folder).absolutePath());
  EXPECT_EQ(w().Documents().TestPath(), example);
  EXPECT_TRUE(w().windowTitle().endsWith(QStringLiteral("rc_lowpass.flt")));
  EXPECT_EQ(w().Graphs().result().count, 7);  // the preview of an opened test
}

// The entries added to the designed menus take access keys that no sibling uses (the design's
// own "&Apri..." and "S&alva con nome..." share theirs).
TEST_F(ExportTest, AddedEntriesHaveAccessKeysOfTheirOwn) {
  const QStringList added = {QStringLiteral("MenuFileEsportaDati"),
                             QStringLiteral("MenuEditCopiaDati"),
                             QStringLiteral("MenuShowScale"),
                             QStringLiteral("MenuToolsConfronta"),
                             QStringLiteral("MenuToolsCancellaConfronti"),
                             QStringLiteral("MenuHelpEsempi")};
  auto key_of = [](const QAction* action) {
    const QString text = action->text();
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    return amp < 0 || amp + 1 >= text.size() ? QChar() : text[amp + 1].toLower();
  };
  int checked = 0;
  for (const QMenu* menu : w().findChildren<QMenu*>()) {
    for (const QAction* action : menu->actions()) {
      if (!added.contains(action->objectName())) continue;
      SCOPED_TRACE(action->objectName().toStdString());
      ++checked;
      const QChar key = key_of(action);
      ASSERT_FALSE(key.isNull());
      for (const QAction* sibling : menu->actions()) {
        if (sibling != action && !sibling->isSeparator()) {
          EXPECT_NE(key_of(sibling), key) << sibling->text().toStdString();
        }
      }
    }
  }
  EXPECT_EQ(checked, added.size());
}

}  // namespace
}  // namespace quorvel
