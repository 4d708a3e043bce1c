// The oscilloscope window in test files, in the main window's closing, and its context help.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "documents/record_codec.h"
#include "oscilloscope_test_support.h"
#include "widgets/help_window.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

using testing::BoxAnswers;
using testing::Child;
using testing::Texts;

class OscilloscopeDocumentsTest : public testing::OscilloscopeWithMainTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    OscilloscopeWithMainTest::SetUp();
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  // A new main window in place of the old one (one script host at a time).
  void Reopen() {
    main_.reset();
    main_ = std::make_unique<Form1>();
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
  }
  static void AddParameter(Form2& osc, const char* name, const char* min, const char* max) {
    BoxAnswers answers(Texts({name, min, max}));
    QTest::mouseClick(C<QPushButton>(osc, "cmdAddP"), Qt::LeftButton);
  }
  static QStringList Items(Form2& osc) {
    QStringList items;
    auto* list = C<QListWidget>(osc, "lstPar");
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
  }
  static std::vector<Record> RecordsOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    auto records = DecodeRecords(file.readAll());
    EXPECT_TRUE(records.ok());
    return records.ok() ? records.value() : std::vector<Record>{};
  }

  QTemporaryDir dir_;
};

TEST_F(OscilloscopeDocumentsTest, AWholeTestWithTheOscilloscopeReadsBackAsItWasSaved) {
  Form2& osc = OpenAndRun();
  Child<QAction>(osc, "MenuToolsParF")->trigger();
  AddParameter(osc, "k", "0", "10");
  AddParameter(osc, "g", "1", "2");
  AddParameter(osc, "h", "0.5", "5");
  Child<QAction>(osc, "MenuShowSepSign")->trigger();
  ASSERT_EQ(Items(osc).size(), 3);
  const OscilloscopeSection saved = osc.CollectSection();
  ASSERT_TRUE(main().Documents().WriteTestFile(Path("osc.flt")));

  const std::vector<Record> records = RecordsOf(Path("osc.flt"));
  ASSERT_EQ(records.size(), 43u + 3u);
  EXPECT_EQ(records[22],
            (Record{QStringLiteral("-addin-"), TextValue(QStringLiteral("Oscilloscopio"))}));
  EXPECT_EQ(records[45].key, QStringLiteral("OscParS"));

  Reopen();
  ASSERT_TRUE(main().Documents().ReadTestFile(Path("osc.flt")));
  Form2* opened = main().oscilloscope();
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(opened->isVisible());
  EXPECT_EQ(Items(*opened), saved.parameter_items);
  EXPECT_TRUE(Child<QAction>(*opened, "MenuToolsParF")->isChecked());
  EXPECT_TRUE(Child<QWidget>(*opened, "Frame2")->isVisible());
  EXPECT_EQ(opened->CollectSection(), saved);
  EXPECT_FALSE(main().Documents().TestModified());
}

TEST_F(OscilloscopeDocumentsTest, OpeningAFileReplacesTheParameterList) {
  Form2& osc = OpenAndRun();
  AddParameter(osc, "old", "0", "1");
  QFile file(Path("params.flt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"-addin-\",\"Oscilloscopio\"\r\n"
      "\"OscParS\",\"a 0% [0;1]\"\r\n\"OscParS\",\"b 50% [0;2]\"\r\n");
  file.close();
  ASSERT_TRUE(main().Documents().ReadTestFile(Path("params.flt")));
  EXPECT_EQ(Items(osc), (QStringList{QStringLiteral("a 0% [0;1]"), QStringLiteral("b 50% [0;2]")}));
}

TEST_F(OscilloscopeDocumentsTest, MinimizedWindowKeepsItsStateAndSkipsTheSize) {
  Form2& osc = OpenAndRun();
  osc.showMinimized();
  ASSERT_TRUE(osc.isMinimized());
  ASSERT_TRUE(main().Documents().WriteTestFile(Path("min.flt")));
  const std::vector<Record> records = RecordsOf(Path("min.flt"));
  ASSERT_GT(records.size(), 23u);
  EXPECT_EQ(records[23], (Record{QStringLiteral("OscSt"), IntegerValue(1)}));

  Reopen();
  ASSERT_TRUE(main().Documents().ReadTestFile(Path("min.flt")));
  ASSERT_NE(main().oscilloscope(), nullptr);
  EXPECT_TRUE(main().oscilloscope()->isMinimized());
}

TEST_F(OscilloscopeDocumentsTest, OscilloscopeKeysWithoutAddinCreateTheWindowHidden) {
  Reopen();
  QFile file(Path("hidden.flt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\"Quorvel - Ombrat\",\"1.0.0\"\r\n\"OscCa\",500\r\n");
  file.close();
  ASSERT_TRUE(main().Documents().ReadTestFile(Path("hidden.flt")));
  Form2* osc = main().oscilloscope();
  ASSERT_NE(osc, nullptr);
  EXPECT_FALSE(osc->isVisible());
  EXPECT_EQ(GetReversedValue(*Child<QScrollBar>(*osc, "SCa")), 500);
  Child<QAction>(main(), "MenuToolsOsc")->trigger();
  EXPECT_TRUE(osc->isVisible());
  EXPECT_EQ(GetReversedValue(*Child<QScrollBar>(*osc, "SCa")), 500);
}

TEST_F(OscilloscopeDocumentsTest, ClosingTheMainWindowClosesTheOscilloscopeForGood) {
  Form2& osc = OpenAndRun();
  EXPECT_TRUE(main().close());  // an unchanged test: no question
  EXPECT_TRUE(main().MainClosing());
  EXPECT_FALSE(osc.isVisible());
}

TEST_F(OscilloscopeDocumentsTest, SalvaSavesTheWholeTest) {
  Form2& osc = OpenAndRun();
  testing::ModalAnswers answers({testing::ModalAnswers::Choose(Path("from-osc.flt"))});
  Child<QAction>(osc, "MenuFileSalva")->trigger();
  EXPECT_EQ(answers.answered(), 1u);
  EXPECT_EQ(RecordsOf(Path("from-osc.flt")).size(), 43u);
  EXPECT_EQ(main().Documents().TestPath(), Path("from-osc.flt"));
}

TEST_F(OscilloscopeDocumentsTest, ContextHelpOverTheParameterListAndSCaOpensTheDefaultTopic) {
  main().SetHelpFile(QStringLiteral(QUORVEL_HELP_SOURCE_DIR));
  Form2& osc = OpenAndRun();
  Child<QAction>(osc, "MenuToolsParF")->trigger();
  for (const char* control : {"lstPar", "SCa", "cmdHelp"}) {
    SCOPED_TRACE(control);
    QTest::mouseClick(Child<QWidget>(osc, "cmdHelp"), Qt::LeftButton);
    EXPECT_EQ(Child<StatusPanels>(osc, "SB1")->Text(2),
              QStringLiteral("Premere il tasto CTRL per visualizzare la guida contestuale"));
    QWidget* target = Child<QWidget>(osc, control);
    QCursor::setPos(target->mapToGlobal(target->rect().center()));
    QTest::keyRelease(&osc, Qt::Key_Control);
    auto* help = osc.findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->browser()->source().fileName(),
              QLatin1String(std::string_view(control) == "cmdHelp" ? "1024.html" : "index.html"));
    EXPECT_EQ(Child<StatusPanels>(osc, "SB1")->Text(2), QStringLiteral("Ombrat - Ferrolt"));
    help->close();
  }
}

}  // namespace
}  // namespace quorvel
