// The help window, the about box and the splash window.
#include <gtest/gtest.h>

#include "qstring_printer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "gui_test_support.h"
#include "widgets/about_window.h"
#include "widgets/help_window.h"
#include "widgets/logo_window.h"
#include "window_core/help_book.h"

namespace quorvel {
namespace {

const QString kHelpFolder = QStringLiteral(QUORVEL_HELP_SOURCE_DIR);

TEST(HelpWindow, OpensTheTopicOfAContextNumberAndReusesOneWindow) {
  QWidget owner;
  struct Case {
    const char* topic;
    const char* page;
  };
  const Case cases[] = {
      {"1022", "1022.html"},  {"1002", "1002.html"}, {"", "index.html"},
      {"9999", "index.html"}, {"1024", "1024.html"},
  };
  HelpWindow* first = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.topic);
    HelpWindow* help = ShowHelpTopic(&owner, kHelpFolder, QString::fromLatin1(c.topic));
    ASSERT_NE(help, nullptr);
    if (!first) first = help;
    EXPECT_EQ(help, first) << "one help window serves every request";
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source().fileName(), QLatin1String(c.page));
    EXPECT_FALSE(help->browser()->toPlainText().isEmpty());
    EXPECT_TRUE(help->windowTitle().startsWith(QStringLiteral("Guida in linea")));
  }
  EXPECT_EQ(owner.findChildren<HelpWindow*>().size(), 1);
}

TEST(HelpWindow, ContentsGoesBackToTheDefaultTopicAndBackReturns) {
  QWidget owner;
  HelpWindow* help = ShowHelpTopic(&owner, kHelpFolder, QStringLiteral("1014"));
  ASSERT_NE(help, nullptr);
  QAction* contents = testing::Child<QAction>(*help, "HelpContents");
  QAction* back = testing::Child<QAction>(*help, "HelpBack");
  ASSERT_TRUE(contents && back);
  EXPECT_FALSE(back->isEnabled());
  contents->trigger();
  EXPECT_EQ(help->browser()->source().fileName(), QStringLiteral("index.html"));
  EXPECT_TRUE(back->isEnabled());
  back->trigger();
  EXPECT_EQ(help->browser()->source().fileName(), QStringLiteral("1014.html"));
}

TEST(HelpWindow, AFolderWithoutPagesOpensNothing) {
  QWidget owner;
  EXPECT_EQ(ShowHelpTopic(&owner, kHelpFolder + QStringLiteral("/missing"), QString()), nullptr);
  EXPECT_TRUE(owner.findChildren<HelpWindow*>().isEmpty());
}

TEST(AboutBox, ShowsTheVersionInformationAndClosesWithOk) {
  QWidget owner;
  frmAbout about(&owner);
  EXPECT_EQ(about.windowTitle(), QStringLiteral("Informazioni su Quorvel"));
  EXPECT_TRUE(about.isModal());
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"lblTitle", "Quorvel"},
      {"lblVersion", "1.0.0"},
      {"lblAutore", "Ombrat (Ferrolt)"},
      {"lblDescription", "Tester per filtri digitali"},
      {"Label4", "Applicazione:"},
      {"Label1", "Versione:"},
      {"Label3", "Autore:"},
      {"Label2", "Descrizione"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QLabel* label = testing::Child<QLabel>(about, c.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
  }
  ASSERT_FALSE(about.picIcon()->pixmap().isNull());
  EXPECT_EQ(about.cmdOK()->text(), QStringLiteral("OK"));

  QTimer::singleShot(50, about.cmdOK(),
                     [&about] { QTest::mouseClick(about.cmdOK(), Qt::LeftButton); });
  EXPECT_EQ(about.exec(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

TEST(AboutBox, ShowsTheOwnersIcon) {
  QWidget owner;
  QPixmap red(32, 32);
  red.fill(Qt::red);
  owner.setWindowIcon(QIcon(red));
  frmAbout about(&owner);
  const QImage shown = about.picIcon()->pixmap().toImage();
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
}

TEST(Splash, ShownModalItClosesItselfAfterTwoSeconds) {
  frmLogo logo;
  EXPECT_TRUE(logo.windowFlags() & Qt::FramelessWindowHint);
  ASSERT_NE(logo.picture(), nullptr);
  EXPECT_FALSE(logo.picture()->pixmap().isNull());
  QSignalSpy elapsed(&logo, &frmLogo::Elapsed);
  QElapsedTimer clock;
  clock.start();
  QTimer::singleShot(1500, &logo, [&logo] { EXPECT_TRUE(logo.isVisible()) << "still shown"; });
  EXPECT_EQ(logo.exec(), QDialog::Accepted);
  EXPECT_GE(clock.elapsed(), 1900);
  EXPECT_LE(clock.elapsed(), 2500);
  EXPECT_FALSE(logo.isVisible());
  EXPECT_EQ(elapsed.count(), 1);
}

TEST(Splash, ShownModelessItHidesItselfWithinTwoAndAHalfSeconds) {
  frmLogo logo;
  QSignalSpy elapsed(&logo, &frmLogo::Elapsed);
  logo.show();
  EXPECT_TRUE(logo.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&logo] { return !logo.isVisible(); }, 2500));
  EXPECT_EQ(elapsed.count(), 1);
}

}  // namespace
}  // namespace quorvel
