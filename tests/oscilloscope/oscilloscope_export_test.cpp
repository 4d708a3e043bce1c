// Data out of the oscilloscope, driven through its menus: the trace as CSV and on the clipboard,
// the screen as BMP, PNG or SVG.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "graphs/graph_image.h"
#include "oscilloscope_test_support.h"
#include "widgets/graph_surface.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::ModalAnswers;

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Example(const char* name) {
  return QStringLiteral(QUORVEL_EXAMPLES_DIR "/") + QLatin1String(name);
}

// What the built quorvel-cli writes on stdout for `args`.
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

// A save dialog step: the file type `filter` is chosen (none: the first), then the name typed.
ModalAnswers::Step ChooseAs(const QString& filter, const QString& path) {
  return [filter, path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << "expected a file dialog";
    if (!filter.isEmpty()) dialog->selectNameFilter(filter);
    ModalAnswers::Choose(path)(modal);
  };
}

class ScopeExportWithMainTest : public testing::OscilloscopeWithMainTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    OscilloscopeWithMainTest::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QTemporaryDir dir_;
};

// The example's oscilloscope section opened in the window, its run exported with "Esporta
// dati...": the bytes quorvel-cli's scope command writes for the same file.
TEST_F(ScopeExportWithMainTest, ExportedTraceIsWhatTheCommandLineToolWritesForTheSameTest) {
  ASSERT_TRUE(main().Documents().ReadTestFile(Example("parametric_lowpass.flt")));
  Form2* osc = main().oscilloscope();
  ASSERT_NE(osc, nullptr);
  ASSERT_TRUE(WaitForRuns(*osc, 1));
  ASSERT_GE(osc->trace().count, 1000);  // the file's 1000 samples after the start

  ModalAnswers answers({ModalAnswers::Choose(Path("traccia"))});
  Child<QAction>(*osc, "MenuFileEsportaDati")->trigger();
  EXPECT_EQ(answers.answered(), 1u);
  const QByteArray exported = Bytes(Path("traccia.csv"));
  const QByteArray cli = CliOutput({QStringLiteral("scope"), Example("parametric_lowpass.flt")});
  ASSERT_TRUE(cli.startsWith("time_s,vi,vo,frames\n"));
  EXPECT_EQ(cli.count('\n'), osc->trace().count + 1);
  EXPECT_EQ(exported, cli);

  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  Child<QAction>(*osc, "MenuEditCopiaDati")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(), QByteArray(cli).replace(',', '\t'));
}

class ScopeExportTest : public testing::OscilloscopeTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    OscilloscopeTest::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QTemporaryDir dir_;
};

struct ImageCase {
  const char* typed;
  const char* filter;  // the dialog's file type; empty: the first (the bitmap)
  const char* written;
  const char* signature;
};

TEST_F(ScopeExportTest, ScreenFilesHaveTheTypeOfTheirExtensionOrOfTheChosenFilter) {
  Form2& osc = OpenAndRun();
  Child<QAction>(osc, "MenuShowFil")->trigger();  // the overlay too
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RedrawRequested(); }));
  const QImage shown =
      Child<GraphSurface>(osc, "Grafico1")->image().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(shown.isNull());
  const ImageCase cases[] = {
      {"a.png", "", "a.png", "\x89PNG"},
      {"b.svg", "", "b.svg", "<?xml"},
      {"c", "", "c.bmp", "BM"},
      {"d", "Immagine PNG (*.png)", "d.png", "\x89PNG"},
      {"e.Bmp", "Disegno SVG (*.svg)", "e.Bmp", "BM"},
  };
  for (const ImageCase& c : cases) {
    SCOPED_TRACE(c.typed);
    ModalAnswers answers({ChooseAs(QString::fromUtf8(c.filter), Path(c.typed))});
    Child<QAction>(osc, "MenuFileSalvaGrafico")->trigger();
    EXPECT_EQ(answers.answered(), 1u);
    const QByteArray bytes = Bytes(Path(c.written));
    EXPECT_TRUE(bytes.startsWith(c.signature)) << bytes.left(8).toStdString();
    if (QByteArray(c.signature) != "<?xml") {
      EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32), shown);
    } else {
      EXPECT_TRUE(bytes.contains("<svg"));
      EXPECT_TRUE(bytes.contains("vo=vi")) << "the overlay's text is in the drawing";
    }
  }
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), static_cast<int>(std::size(cases)));
}

TEST_F(ScopeExportTest, WithoutSamplesNothingIsExported) {
  Form2& osc = Open([](Form2& o) { Child<QLineEdit>(o, "txtStF")->setText(QStringLiteral("x")); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !osc.RunRequested() && !osc.running(); }));
  ASSERT_EQ(osc.trace().count, 0);
  ModalAnswers answers(
      {ModalAnswers::Press(QMessageBox::Ok), ModalAnswers::Press(QMessageBox::Ok)});
  Child<QAction>(osc, "MenuFileEsportaDati")->trigger();
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  Child<QAction>(osc, "MenuEditCopiaDati")->trigger();
  ASSERT_EQ(answers.messages().size(), 2u);
  for (const testing::SeenMessage& message : answers.messages()) {
    EXPECT_EQ(message.icon, QMessageBox::Information);
  }
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_TRUE(QDir(dir_.path()).isEmpty());
}

}  // namespace
}  // namespace quorvel
