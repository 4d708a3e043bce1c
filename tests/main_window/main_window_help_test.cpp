// Context help, about box and splash as the main window offers them.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "widgets/help_window.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

using testing::Child;
using testing::ModalAnswers;

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Form1>();
    // The test binary does not sit beside the program: read the pages from the sources.
    window_->SetHelpFile(QStringLiteral(QUORVEL_HELP_SOURCE_DIR));
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  Form1& w() { return *window_; }
  QString Panel2() { return Child<StatusPanels>(w(), "SB1")->Text(2); }
  void ToggleHelpMode() { QTest::mouseClick(Child<QToolButton>(w(), "cmdHelp"), Qt::LeftButton); }
  // Releases CTRL with the cursor over the middle of `control`.
  void CtrlOver(QWidget* control) {
    QCursor::setPos(control->mapToGlobal(control->rect().center()));
    QTest::keyRelease(&w(), Qt::Key_Control);
  }
  QString OpenTopic() {
    auto* help = w().findChild<HelpWindow*>();
    return help && help->isVisible() ? help->browser()->source().fileName() : QString();
  }

  std::unique_ptr<Form1> window_;
};

TEST_F(HelpTest, HelpButtonTogglesHelpModeAndItsTexts) {
  ToggleHelpMode();
  EXPECT_EQ(Panel2(),
            QStringLiteral("Premere il tasto CTRL per visualizzare la guida contestuale"));
  EXPECT_EQ(w().cursor().shape(), Qt::WhatsThisCursor);
  ToggleHelpMode();
  EXPECT_EQ(Panel2(), QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_EQ(w().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(HelpTest, CtrlOpensTheTopicOfTheControlUnderTheMouse) {
  ASSERT_FALSE(w().HelpFile().isEmpty());
  const struct {
    const char* control;
    const char* page;
  } cases[] = {
      {"Label1", "1022.html"},    // a label inside the test-parameters frame: the frame's topic
      {"lblMY", "1007.html"},     // a label directly on the window: the window's topic
      {"txtFil", "1010.html"},    // a text box with its own topic
      {"Grafico1", "1011.html"},  // a drawing surface
      {"SCa", "index.html"},      // found, but without a topic: the default one
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    ToggleHelpMode();
    CtrlOver(Child<QWidget>(w(), c.control));
    EXPECT_EQ(OpenTopic(), QLatin1String(c.page));
    EXPECT_EQ(Panel2(), QStringLiteral("Ombrat - Ferrolt"));
    EXPECT_EQ(w().cursor().shape(), Qt::ArrowCursor);              // help mode has ended
    if (auto* help = w().findChild<HelpWindow*>()) help->close();  // it may cover the next one
  }
}

TEST_F(HelpTest, CtrlOutsideHelpModeDoesNothing) {
  CtrlOver(Child<QWidget>(w(), "txtFil"));
  EXPECT_EQ(OpenTopic(), QString());
  EXPECT_EQ(Panel2(), QStringLiteral("Ombrat - Ferrolt"));
}

TEST_F(HelpTest, MissingHelpGivesItsMessages) {
  w().SetHelpFile(QStringLiteral("/nonexistent/help"));
  ToggleHelpMode();
  CtrlOver(Child<QWidget>(w(), "txtFil"));
  EXPECT_EQ(Panel2(), QStringLiteral("Guida non disponibile"));
  EXPECT_EQ(OpenTopic(), QString());

  ModalAnswers answers({ModalAnswers::Press(QMessageBox::Ok)});
  Child<QAction>(w(), "MenuHelpGuida")->trigger();
  ASSERT_EQ(answers.messages().size(), 1u);
  EXPECT_EQ(answers.messages()[0].title, QStringLiteral("Guida in linea"));
  EXPECT_EQ(answers.messages()[0].text, QStringLiteral("La guida in linea non è disponibile"));
  EXPECT_EQ(answers.messages()[0].icon, QMessageBox::Information);
}

TEST_F(HelpTest, GuidaOpensTheDefaultTopicAndAboutAndLogoShowTheirWindows) {
  Child<QAction>(w(), "MenuHelpGuida")->trigger();
  EXPECT_EQ(OpenTopic(), QStringLiteral("index.html"));

  QString about_title;
  ModalAnswers answers({[&](QWidget* modal) {
    about_title = modal->windowTitle();
    static_cast<QDialog*>(modal)->accept();
  }});
  Child<QAction>(w(), "MenuHelpInfo")->trigger();
  EXPECT_EQ(about_title, QStringLiteral("Informazioni su Quorvel"));

  QElapsedTimer shown;
  shown.start();
  Child<QAction>(w(), "MenuHelpLogo")->trigger();  // closes itself
  EXPECT_GE(shown.elapsed(), 1900);
  EXPECT_LT(shown.elapsed(), 3000);
}

// A minimized help window comes back when the help is asked for again.
TEST_F(HelpTest, AMinimizedHelpWindowIsRestoredByTheNextRequest) {
  Child<QAction>(w(), "MenuHelpGuida")->trigger();
  auto* help = w().findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  help->move(3000, 0);  // out of the way of the pointer over the main window
  help->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([help] { return help->isMinimized(); }));
  ToggleHelpMode();
  CtrlOver(Child<QWidget>(w(), "txtFil"));
  EXPECT_TRUE(QTest::qWaitFor([help] { return !help->isMinimized() && help->isVisible(); }));
  EXPECT_EQ(OpenTopic(), QStringLiteral("1010.html"));
}

}  // namespace
}  // namespace quorvel
