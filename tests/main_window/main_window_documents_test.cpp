// Test files and document commands driven through the main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <sys/resource.h>

#include <csignal>

#include "documents/record_codec.h"
#include "documents/test_document.h"
#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window_fixture.h"
#include "numbers/reversed_value.h"
#include "widgets/graph_surface.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::ModalAnswers;

class DocumentsTest : public testing::MainWindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    MainWindowFixture::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  void Trigger(const char* action) { C<QAction>(action)->trigger(); }
  static QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  // A file of the header and the given records (CR LF line ends).
  static QByteArray TestFile(const char* records) {
    return QByteArray("\"Quorvel - Ombrat\",\"1.0.0\"\r\n") + QByteArray(records);
  }

  QTemporaryDir dir_;
};

TEST_F(DocumentsTest, WritesTheTwentyTwoRecordsOfANewTest) {
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("new.flt")));
  const auto records = DecodeRecords(Bytes(Path("new.flt")));
  ASSERT_TRUE(records.ok());
  ASSERT_EQ(records.value().size(), 22u);
  EXPECT_EQ(records.value()[10], (Record{QStringLiteral("Par"), TextValue(QString())}));
  EXPECT_EQ(records.value()[11],
            (Record{QStringLiteral("Fil"), TextValue(QStringLiteral("vo=vi\r\n"))}));
  EXPECT_TRUE(records.value()[19].value.IsEmpty());  // the amplitude unit was never set
  EXPECT_FALSE(w().Documents().TestModified());
}

TEST_F(DocumentsTest, ATestReadsBackAsItWasWritten) {
  TypeFilter("txtFil", QStringLiteral("a = 1"));
  QTest::keyClick(C<QPlainTextEdit>("txtFil"), Qt::Key_Return);
  QTest::keyClicks(C<QPlainTextEdit>("txtFil"), QStringLiteral("b = \"x\""));
  QTest::keyClick(C<QPlainTextEdit>("txtFil"), Qt::Key_Return);
  QTest::keyClicks(C<QPlainTextEdit>("txtFil"), QStringLiteral("vo = vi*a"));
  TypeFilter("txtPar", QStringLiteral("k = 2"));
  QTest::keyClick(C<QScrollBar>("SStFM"), Qt::Key_Up);
  QTest::mouseClick(C<QCheckBox>("chkLogX"), Qt::LeftButton);
  QTest::mouseClick(C<StatusPanels>("SB1")->Panel(4), Qt::LeftButton);
  QTest::mouseClick(C<StatusPanels>("SB1")->Panel(5), Qt::LeftButton);
  QTabBar* tabs = C<QTabBar>("TS1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
  C<QAction>("MenuShowCF")->trigger();
  ResponseGraphs::OverlayPositions overlay = w().Graphs().overlay();
  overlay.Fil2X = 0.75;
  w().Graphs().SetOverlay(overlay);
  const TestDocument written = w().Documents().CollectTestDocument();
  EXPECT_EQ(written.functions, QStringLiteral("a = 1\r\nb = \"x\"\r\nvo = vi*a"));
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("t.flt")));

  OpenWindow();
  ASSERT_TRUE(w().Documents().ReadTestFile(Path("t.flt")));
  EXPECT_EQ(w().Documents().CollectTestDocument(), written);
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("1"));
  EXPECT_EQ(Child<QLabel>(w(), "lblStFM")->text(), QStringLiteral("KHz"));
  EXPECT_TRUE(C<GraphSurface>("Grafico2")->isVisible());
  EXPECT_TRUE(C<QAction>("MenuShowUnitDB")->isChecked());
  EXPECT_TRUE(C<QAction>("MenuShowUnitRad")->isChecked());
  EXPECT_FALSE(w().Documents().TestModified());
}

TEST_F(DocumentsTest, ReadingStopsAtTheFirstBadRecordKeepingWhatCameBefore) {
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* message;  // start of the message; warning when it is the format message
    const char* start_frequency_after;
  };
  const Case cases[] = {
      {"wrong letter case", "\"quorvel - ombrat\",\"1.0.0\"\r\n\"StF\",\"5\"\r\n",
       "Il formato del file non è valido", "1"},
      {"tab out of range", TestFile("\"StF\",\"5\"\r\n\"Graphs\",5\r\n"), "Record 3 (\"Graphs\")",
       "5"},
      {"ends inside a record", TestFile("\"StF\",\"7\"\r\n\"Par\",\"k = 1\r\n"), "", "7"},
      {"not a number", TestFile("\"StF\",\"8\"\r\n\"Osc\",\"tre\"\r\n"), "Record 3 (\"Osc\")", "8"},
      {"empty file", QByteArray(), "", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    C<QLineEdit>("txtStF")->setText(QStringLiteral("1"));
    Write(Path("bad.flt"), c.bytes);
    ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
    EXPECT_FALSE(w().Documents().ReadTestFile(Path("bad.flt")));
    ASSERT_EQ(answers.messages().size(), 1u);
    const auto& seen = answers.messages()[0];
    EXPECT_EQ(seen.title, QStringLiteral("Errore"));
    EXPECT_TRUE(seen.text.startsWith(QString::fromUtf8(c.message))) << seen.text.toStdString();
    EXPECT_FALSE(seen.text.isEmpty());
    const bool format = QByteArray(c.message).startsWith("Il formato");
    EXPECT_EQ(seen.icon, format ? QMessageBox::Warning : QMessageBox::Critical);
    EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QLatin1String(c.start_frequency_after));
  }
}

TEST_F(DocumentsTest, UnknownKeysAreIgnoredAndUnitsSwitchOnlyWhenTheyDiffer) {
  Write(Path("units.flt"),
        TestFile("\"Zzz\",42\r\n\"UnitAmp\",\"\"\r\n\"UnitPh\",\"rad\"\r\n\"UnitPh\",\"rad\"\r\n"));
  ASSERT_TRUE(w().Documents().ReadTestFile(Path("units.flt")));
  EXPECT_EQ(C<StatusPanels>("SB1")->Tag(4), QString());
  EXPECT_TRUE(C<QAction>("MenuShowUnitPura")->isChecked());
  EXPECT_EQ(C<StatusPanels>("SB1")->Tag(5), QStringLiteral("rad"));
  EXPECT_TRUE(C<QAction>("MenuShowUnitRad")->isChecked());
  EXPECT_FALSE(C<QAction>("MenuShowUnitDeg")->isChecked());
}

TEST_F(DocumentsTest, AFailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("keep.flt")));
  const QByteArray before = Bytes(Path("keep.flt"));
  // An arrow has no place in Windows-1252 (QTest cannot type it: the text is pasted in).
  C<QPlainTextEdit>("txtFil")->setPlainText(QString::fromUtf8("vo = vi // \u2192"));
  ASSERT_TRUE(w().Documents().TestModified());
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
  EXPECT_FALSE(w().Documents().WriteTestFile(Path("keep.flt")));
  ASSERT_EQ(answers.messages().size(), 1u);
  EXPECT_EQ(answers.messages()[0].title, QStringLiteral("Errore"));
  EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Critical);
  EXPECT_EQ(Bytes(Path("keep.flt")), before);
  EXPECT_TRUE(w().Documents().TestModified());
}

// A disk that fills up during a save, as the file size limit of the process makes it look.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead
    const rlimit small{bytes, saved_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

 private:
  rlimit saved_{};
  void (*old_handler_)(int) = nullptr;
};

TEST_F(DocumentsTest, ASaveOntoAFullDiskLeavesThePreviousFile) {
  TypeFilter("txtPar", QStringLiteral("k = 1"));
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("full.flt")));
  const QByteArray before = Bytes(Path("full.flt"));
  ASSERT_GT(before.size(), 200);
  TypeFilter("txtPar", QStringLiteral("k = 2"));
  {
    FullDisk full(100);
    ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
    EXPECT_FALSE(w().Documents().WriteTestFile(Path("full.flt")));
    ASSERT_EQ(answers.messages().size(), 1u);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("Errore"));
    EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(answers.messages()[0].text.isEmpty());
  }
  EXPECT_EQ(Bytes(Path("full.flt")), before);
  EXPECT_TRUE(w().Documents().TestModified());
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("full.flt")});
}

TEST_F(DocumentsTest, OtherVersionsAndAHeaderAloneLoad) {
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"other version", "\"Quorvel - Ombrat\",\"0.9.2\"\r\n\"StF\",\"42\"\r\n"},
      {"header alone", "\"Quorvel - Ombrat\",\"1.0.0\"\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    w().Documents().ResetTest();
    C<QLineEdit>("txtStF")->setText(QStringLiteral("1"));
    Write(Path("v.flt"), c.bytes);
    ASSERT_TRUE(w().Documents().ReadTestFile(Path("v.flt")));
    EXPECT_EQ(C<QLineEdit>("txtStF")->text(),
              QLatin1String(QByteArray(c.name) == "other version" ? "42" : "1"));
    EXPECT_EQ(w().FunctionsText(), QString());  // as the reset left it
    EXPECT_FALSE(w().Documents().TestModified());
  }
}

TEST_F(DocumentsTest, NuovoAsksOnlyForAModifiedTest) {
  {
    ModalAnswers none({});
    Trigger("MenuFileNuovo");
    EXPECT_EQ(none.answered(), 0u);
    EXPECT_TRUE(C<QPlainTextEdit>("txtFil")->toPlainText().isEmpty());
  }
  TypeFilter("txtFil", QStringLiteral("vo = 2*vi"));
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Yes), ModalAnswers::Cancel()});
  Trigger("MenuFileNuovo");
  ASSERT_EQ(answers.answered(), 2u);
  EXPECT_EQ(answers.messages()[0].text, QStringLiteral("Salvare il test?"));
  EXPECT_EQ(answers.messages()[0].title, QStringLiteral("Quorvel"));
  EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Question);
  EXPECT_EQ(w().FunctionsText(), QStringLiteral("vo = 2*vi"));
  EXPECT_TRUE(w().Documents().TestModified());
}

TEST_F(DocumentsTest, SalvaWithoutAFileAsksForANameAndNamesTheWindow) {
  ModalAnswers answers({ModalAnswers::Choose(Path("filtro"))});
  Trigger("MenuFileSalva");
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_TRUE(QFile::exists(Path("filtro")));  // no extension added
  EXPECT_EQ(w().Documents().TestPath(), Path("filtro"));
  EXPECT_EQ(w().windowTitle(), QStringLiteral("Quorvel - filtro"));
}

TEST_F(DocumentsTest, ApriAsksAboutTheOldTestAfterTheChoiceAndPreviewsTheNewOne) {
  // The file to open: an RC low-pass from 10 Hz to 10 KHz.
  Write(Path("rc.flt"), TestFile("\"StF\",\"10\"\r\n\"EnF\",\"10\"\r\n\"EnFM\",1\r\n"
                                 "\"Par\",\"RC = 1/(2*3.14159265358979*1000)\r\n\"\r\n"
                                 "\"Fil\",\"vo = vo + (vi - vo) * dt / RC\r\n\"\r\n"));
  TypeFilter("txtFil", QStringLiteral("vo = 3*vi"));
  ModalAnswers answers({ModalAnswers::Choose(Path("rc.flt")), ModalAnswers::Press(QMessageBox::Yes),
                        ModalAnswers::Choose(Path("old.flt"))});
  Trigger("MenuFileApri");
  ASSERT_EQ(answers.answered(), 3u);
  // The old test was saved under the name given second; the file chosen first was opened.
  EXPECT_TRUE(Bytes(Path("old.flt")).contains("vo = 3*vi"));
  EXPECT_EQ(w().Documents().TestPath(), Path("rc.flt"));
  EXPECT_EQ(w().windowTitle(), QStringLiteral("Quorvel - rc.flt"));
  EXPECT_EQ(w().Graphs().result().count, 7);
  EXPECT_NEAR(w().Graphs().result().points[6].frequency, 10000, 1e-6);
  EXPECT_FALSE(w().Documents().TestModified());
}

TEST_F(DocumentsTest, AnInvalidFrequencyInAnOpenedFileSkipsThePreview) {
  Write(Path("bad-freq.flt"), TestFile("\"StF\",\"dieci\"\r\n"));
  ModalAnswers answers({ModalAnswers::Choose(Path("bad-freq.flt"))});
  Trigger("MenuFileApri");
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_EQ(w().windowTitle(), QStringLiteral("Quorvel - bad-freq.flt"));
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("dieci"));
  EXPECT_EQ(w().Graphs().result().count, 0);
}

TEST_F(DocumentsTest, FilterCopiesAndPastesThroughTheClipboard) {
  TypeFilter("txtPar", QStringLiteral("k = 3"));
  TypeFilter("txtFil", QStringLiteral("vo = k*vi"));
  Trigger("MenuEditCopiaFiltro");
  EXPECT_EQ(
      QApplication::clipboard()->text(),
      QStringLiteral("Parametri del filtro:\r\nk = 3\r\n\r\nFunzioni del filtro:\r\nvo = k*vi"));
  TypeFilter("txtPar", QStringLiteral("x"));
  TypeFilter("txtFil", QStringLiteral("y"));
  Trigger("MenuEditIncolla");
  EXPECT_EQ(w().ParametersText(), QStringLiteral("k = 3"));
  EXPECT_EQ(w().FunctionsText(), QStringLiteral("vo = k*vi"));

  QApplication::clipboard()->setText(QStringLiteral("vo = vi"));
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
  Trigger("MenuEditIncolla");
  ASSERT_EQ(answers.messages().size(), 1u);
  EXPECT_EQ(answers.messages()[0].text,
            QStringLiteral("Il testo copiato non è in un formato valido"));
  EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Warning);
  EXPECT_EQ(w().FunctionsText(), QStringLiteral("vo = k*vi"));
}

TEST_F(DocumentsTest, GraphExportWritesTheAmplitudeSurfaceAsABitmap) {
  QTabBar* tabs = C<QTabBar>("TS1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());  // phase tab
  ModalAnswers answers({ModalAnswers::Choose(Path("graph.bmp"))});
  Trigger("MenuFileSalvaGrafico");
  const QImage image(Path("graph.bmp"), "BMP");
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), C<GraphSurface>("Grafico1")->size());
  EXPECT_TRUE(Bytes(Path("graph.bmp")).startsWith("BM"));
}

TEST_F(DocumentsTest, ClosingAModifiedTestAndCancellingKeepsTheWindowOpen) {
  TypeFilter("txtFil", QStringLiteral("vo = -vi"));
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Cancel)});
  EXPECT_FALSE(w().close());
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_TRUE(w().isVisible());
  EXPECT_FALSE(w().MainClosing());
}

// Reading stops at the size limit of a test file, with a clear message; the test shown stays.
TEST_F(DocumentsTest, AFileOverTheSizeLimitIsRefusedWithoutReadingOn) {
  {
    QFile big(Path("big.flt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write("\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"StF\",\"5\"\r\n");
    ASSERT_TRUE(big.resize(qint64{17} << 20));
  }
  for (const QString& path : {Path("big.flt"), QStringLiteral("/dev/zero")}) {
    SCOPED_TRACE(path.toStdString());
    C<QLineEdit>("txtStF")->setText(QStringLiteral("1"));
    ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
    EXPECT_FALSE(w().Documents().ReadTestFile(path));
    ASSERT_EQ(answers.messages().size(), 1u);
    EXPECT_EQ(answers.messages()[0].text,
              QStringLiteral("Il file supera il limite di 16 MiB di un file di test"));
    EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("1"));
  }
}

// Qt's own texts speak Italian: the buttons of the question about unsaved changes, and the
// labels, buttons and column captions of the file dialogs (whole, not cut by their columns).
TEST_F(DocumentsTest, QtsOwnTextsAreItalian) {
  TypeFilter("txtFil", QStringLiteral("vo = 2*vi"));
  QStringList question_buttons;
  ModalAnswers question({[&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) {
      question_buttons << button->text().remove(QLatin1Char('&'));
    }
    box->button(QMessageBox::Cancel)->click();
  }});
  Trigger("MenuFileNuovo");
  question_buttons.sort();
  EXPECT_EQ(question_buttons, (QStringList{QStringLiteral("Annulla"), QStringLiteral("No"),
                                           QString::fromUtf8("S\u00ec")}));

  for (const char* command : {"MenuFileApri", "MenuFileSalvaNome"}) {
    SCOPED_TRACE(command);
    QString title;
    QStringList texts;
    QStringList columns;
    ModalAnswers dialog({[&](QWidget* modal) {
      auto* file_dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(file_dialog, nullptr);
      title = file_dialog->windowTitle();
      for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        texts << Child<QLabel>(*file_dialog, label)->text().remove(QLatin1Char('&'));
      }
      auto* buttons = Child<QDialogButtonBox>(*file_dialog, "buttonBox");
      for (QAbstractButton* button : buttons->buttons()) {
        texts << button->text().remove(QLatin1Char('&'));
      }
      // The detail view's column captions, each whole within its column, the columns within
      // the view.
      const auto* view = Child<QTreeView>(*file_dialog, "treeView");
      const QHeaderView* header = view->header();
      EXPECT_LE(header->length(), view->viewport()->width());
      const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
      for (int column = 0; column < header->count(); ++column) {
        const QString caption = header->model()->headerData(column, Qt::Horizontal).toString();
        columns << caption;
        EXPECT_GE(header->sectionSize(column),
                  header->fontMetrics().horizontalAdvance(caption) + 2 * margin)
            << caption.toStdString();
      }
      file_dialog->reject();
    }});
    Trigger(command);
    const bool save = QByteArray(command) == "MenuFileSalvaNome";
    EXPECT_EQ(title, save ? QStringLiteral("Salva") : QStringLiteral("Apri"));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Cerca in:"), QStringLiteral("Nome del file:"),
                                  QStringLiteral("File di tipo:"),
                                  save ? QStringLiteral("Salva") : QStringLiteral("Apri"),
                                  QStringLiteral("Annulla")}));
    EXPECT_EQ(columns, (QStringList{QStringLiteral("Nome"), QStringLiteral("Dimensione"),
                                    QStringLiteral("Tipo"), QStringLiteral("Data di modifica")}));
  }
}

// The first file dialog opens in the user's documents folder (or the open test's), never in
// the program's folder; each later one where the last one was left.
TEST_F(DocumentsTest, FileDialogsStartInTheDocumentsFolderThenWhereTheLastOneWas) {
  // A session whose documents folder is a folder of the test's own.
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  const QString documents = config.filePath(QStringLiteral("Documenti"));
  ASSERT_TRUE(QDir().mkpath(documents));
  Write(config.filePath(QStringLiteral("user-dirs.dirs")),
        QByteArray("XDG_DOCUMENTS_DIR=\"") + QFile::encodeName(documents) + "\"\n");
  const QByteArray saved_config = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  OpenWindow();  // a window that has opened no dialog yet

  QStringList folders;
  auto note_folder = [&folders](ModalAnswers::Step then) {
    return [&folders, then](QWidget* modal) {
      if (auto* file_dialog = qobject_cast<QFileDialog*>(modal)) {
        folders << file_dialog->directory().absolutePath();
      }
      then(modal);
    };
  };
  {
    ModalAnswers answers(
        {note_folder(ModalAnswers::Choose(Path("test.flt"))), note_folder(ModalAnswers::Cancel())});
    Trigger("MenuFileSalvaNome");
    Trigger("MenuFileSalvaGrafico");
    EXPECT_EQ(answers.answered(), 2u);
  }
  // A new window with a test open starts in the test's folder.
  OpenWindow();
  w().OpenFile(Path("test.flt"));
  {
    ModalAnswers answers({note_folder(ModalAnswers::Cancel())});
    Trigger("MenuFileSalvaGrafico");
  }
  if (saved_config.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", saved_config);
  }
  EXPECT_EQ(folders, (QStringList{documents, dir_.path(), dir_.path()}));
  EXPECT_FALSE(folders.contains(QCoreApplication::applicationDirPath()));
}

// An unknown record whose key starts with "Osc" is ignored like any unknown key: no oscilloscope
// is created, and a save writes the main window's 22 records.
TEST_F(DocumentsTest, AnUnknownOscKeyCreatesNoOscilloscope) {
  Write(Path("unknown.flt"),
        TestFile("\"OscFoo\",1\r\n\"Oscillatore\",\"x\"\r\n\"StF\",\"3\"\r\n"));
  ASSERT_TRUE(w().Documents().ReadTestFile(Path("unknown.flt")));
  EXPECT_EQ(w().oscilloscope(), nullptr);
  EXPECT_FALSE(IsFormLoaded(QStringLiteral("Form2")));
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("3"));
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("again.flt")));
  const auto records = DecodeRecords(Bytes(Path("again.flt")));
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(records.value().size(), 22u);
}

// A greyed check box (value 2 in a file) has three states only until "Nuovo" or a click.
TEST_F(DocumentsTest, AGreyedCheckBoxGoesBackToTwoStates) {
  Write(Path("grey.flt"), TestFile("\"logX\",2\r\n\"logY\",2\r\n"));
  ASSERT_TRUE(w().Documents().ReadTestFile(Path("grey.flt")));
  auto* x = C<QCheckBox>("chkLogX");
  auto* y = C<QCheckBox>("chkLogY");
  ASSERT_EQ(x->checkState(), Qt::PartiallyChecked);
  // A click: checked, then two states only.
  QTest::mouseClick(x, Qt::LeftButton);
  EXPECT_EQ(x->checkState(), Qt::Checked);
  QTest::mouseClick(x, Qt::LeftButton);
  EXPECT_EQ(x->checkState(), Qt::Unchecked);
  QTest::mouseClick(x, Qt::LeftButton);
  EXPECT_EQ(x->checkState(), Qt::Checked);
  EXPECT_FALSE(x->isTristate());
  // "Nuovo": the other box is two-state again, and not greyed.
  ASSERT_EQ(y->checkState(), Qt::PartiallyChecked);
  ModalAnswers answers({ModalAnswers::Press(QMessageBox::No)});
  Trigger("MenuFileNuovo");
  EXPECT_FALSE(y->isTristate());
  EXPECT_NE(y->checkState(), Qt::PartiallyChecked);
  QTest::mouseClick(y, Qt::LeftButton);
  QTest::mouseClick(y, Qt::LeftButton);
  EXPECT_NE(y->checkState(), Qt::PartiallyChecked);
}

// "Incolla" takes the clipboard layout with LF line ends (text copied on Linux) as with CR LF;
// the boxes keep their own line ends and the texts read back with CR LF.
TEST_F(DocumentsTest, IncollaTakesLfAndCrLfAlike) {
  for (const char* line_end : {"\n", "\r\n"}) {
    SCOPED_TRACE(line_end[0] == '\n' ? "LF" : "CR LF");
    TypeFilter("txtPar", QStringLiteral("x"));
    TypeFilter("txtFil", QStringLiteral("y"));
    const QString end = QLatin1String(line_end);
    QApplication::clipboard()->setText(QStringLiteral("Parametri del filtro:") + end +
                                       QStringLiteral("k = 3") + end + end +
                                       QStringLiteral("Funzioni del filtro:") + end +
                                       QStringLiteral("a = k") + end + QStringLiteral("vo = a*vi"));
    ModalAnswers none({});
    Trigger("MenuEditIncolla");
    EXPECT_EQ(none.answered(), 0u);
    EXPECT_EQ(w().ParametersText(), QStringLiteral("k = 3"));
    EXPECT_EQ(w().FunctionsText(), QStringLiteral("a = k\r\nvo = a*vi"));
    EXPECT_EQ(C<QPlainTextEdit>("txtFil")->toPlainText(), QStringLiteral("a = k\nvo = a*vi"));
  }
}

// Opening a file and saving it without a change gives the same bytes, whatever its amplitude
// unit record holds (empty: never chosen; "": chosen pure; "db").
TEST_F(DocumentsTest, OpenAndSaveUnchangedGivesTheSameBytes) {
  ASSERT_TRUE(w().Documents().WriteTestFile(Path("fresh.flt")));
  const QByteArray fresh = Bytes(Path("fresh.flt"));
  ASSERT_TRUE(fresh.contains("\"UnitAmp\",\r\n"));
  for (const QByteArray& unit : {QByteArray("\"UnitAmp\",\r\n"), QByteArray("\"UnitAmp\",\"\"\r\n"),
                                 QByteArray("\"UnitAmp\",\"db\"\r\n")}) {
    SCOPED_TRACE(unit.toStdString());
    QByteArray bytes = fresh;
    bytes.replace("\"UnitAmp\",\r\n", unit);
    Write(Path("in.flt"), bytes);
    OpenWindow();
    ASSERT_TRUE(w().Documents().ReadTestFile(Path("in.flt")));
    ASSERT_TRUE(w().Documents().WriteTestFile(Path("out.flt")));
    EXPECT_EQ(Bytes(Path("out.flt")), bytes);
  }
}

// A test file dropped on a text box or elsewhere on the window opens as "Apri..." would (asking
// about unsaved changes first); dropped text still goes into a text box as text.
TEST_F(DocumentsTest, ADroppedTestFileOpensAndDroppedTextStaysText) {
  Write(Path("drop.flt"), TestFile("\"StF\",\"7\"\r\n\"Fil\",\"vo = vi/3\r\n\"\r\n"));
  Write(Path("other.flt"), TestFile("\"StF\",\"9\"\r\n"));
  // What the window system delivers: the drag entering the widget under the pointer that takes
  // drops, then the drop.
  auto drop = [](QWidget* target, const QMimeData& data) {
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
  };
  TypeFilter("txtFil", QStringLiteral("vo = 2*vi"));  // unsaved: the drop asks first
  {
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(Path("drop.flt"))});
    ModalAnswers answers({ModalAnswers::Press(QMessageBox::No)});
    EXPECT_TRUE(drop(C<QPlainTextEdit>("txtFil")->viewport(), file));
    ASSERT_TRUE(QTest::qWaitFor([this] { return w().Documents().TestPath() == Path("drop.flt"); }));
    ASSERT_EQ(answers.messages().size(), 1u);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("Salvare il test?"));
  }
  EXPECT_EQ(w().FunctionsText(), QStringLiteral("vo = vi/3\r\n"));
  EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("7"));
  {
    // Over a graph, which takes no drops of its own: the window takes it.
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(Path("other.flt"))});
    EXPECT_TRUE(drop(&w(), file));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return w().Documents().TestPath() == Path("other.flt"); }));
    EXPECT_EQ(C<QLineEdit>("txtStF")->text(), QStringLiteral("9"));
  }
  {
    QMimeData text;
    text.setText(QStringLiteral("k = 5"));
    EXPECT_TRUE(drop(C<QPlainTextEdit>("txtPar")->viewport(), text));
    EXPECT_TRUE(w().ParametersText().contains(QStringLiteral("k = 5")));
  }
}

}  // namespace
}  // namespace quorvel
