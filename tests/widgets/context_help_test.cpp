#include "widgets/context_help.h"

#include <gtest/gtest.h>

#include "qstring_printer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>

#include "gui_test_support.h"
#include "widgets/graph_surface.h"
#include "widgets/help_window.h"
#include "widgets/status_panels.h"

namespace quorvel {
namespace {

template <typename T>
T* Place(T* widget, const char* name, QRect geometry, const char* context = nullptr) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(geometry);
  if (context) SetHelpContext(*widget, QLatin1String(context));
  return widget;
}

// A window with one control of each kind that matters, laid out by hand; the window's own tag
// is 1007 unless a test clears it.
class ContextHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->setObjectName(QStringLiteral("Form1"));
    window_->resize(640, 480);
    QWidget* w = window_.get();
    SetHelpContext(*w, QStringLiteral("1007"));

    auto* frame = Place(new QGroupBox(QStringLiteral("Parametri del test"), w), "Frame1",
                        {0, 0, 320, 120}, "1022");
    Place(new QLabel(QStringLiteral("Frequenza iniziale:"), frame), "Label1", {10, 30, 120, 20});
    Place(new QScrollBar(Qt::Vertical, frame), "SCa", {200, 30, 16, 60});
    Place(new QCheckBox(QStringLiteral("Freq"), frame), "chkLogX", {10, 60, 80, 20}, "1014");
    Place(new QSlider(Qt::Horizontal, frame), "SLog", {10, 90, 150, 20}, "1023");
    Place(new QListWidget(frame), "lstPar", {230, 30, 80, 80}, "1021");

    Place(new QLabel(QStringLiteral("Sul modulo"), w), "Label9", {340, 10, 100, 20});
    Place(new QScrollBar(Qt::Horizontal, w), "SVDivI", {340, 40, 120, 16}, "1020");
    Place(new QComboBox(w), "cmbWF", {340, 70, 120, 24}, "1021");
    auto* text = Place(new QPlainTextEdit(w), "txtFil", {0, 130, 300, 120}, "1010");
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Place(new QPushButton(QStringLiteral("Avvia"), w), "cmdStart", {340, 110, 100, 30}, "1006");
    Place(new GraphSurface(w), "Grafico1", {320, 150, 300, 150}, "1011");
    auto* tabs = Place(new QTabBar(w), "TS1", {0, 260, 300, 30}, "1011");
    tabs->addTab(QStringLiteral("Ampiezza"));
    tabs->addTab(QStringLiteral("Fase"));

    // A plain container (a window's client area) only groups: a label on it is on the window.
    auto* client = Place(new QWidget(w), "client", {0, 300, 300, 60});
    Place(new QLabel(QStringLiteral("Etichetta"), client), "Label5", {10, 10, 100, 20});

    auto* status = new StatusPanels(3, 60, w);
    status->setGeometry(0, 440, 640, 30);
    SetHelpContext(*status, QStringLiteral("1002"));
    status->SetText(2, QStringLiteral("Ombrat - Ferrolt"));

    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  QWidget& child(const char* name) { return *testing::Child<QWidget>(*window_, name); }
  QPoint Centre(const QWidget& widget) const { return widget.mapToGlobal(widget.rect().center()); }

  std::unique_ptr<QWidget> window_;
};

TEST_F(ContextHelpTest, FindsTheControlsOfTheHelpKindsAndTheirContainersForLabels) {
  QPlainTextEdit* text = testing::Child<QPlainTextEdit>(*window_, "txtFil");
  ASSERT_NE(text, nullptr);
  QScrollBar* text_bar = text->verticalScrollBar();
  auto* status = testing::Child<StatusPanels>(*window_, "SB1");
  ASSERT_NE(status, nullptr);

  struct Case {
    const char* name;
    QPoint where;
    const char* context;
  };
  const Case cases[] = {
      {"label inside a tagged frame answers with the frame", Centre(child("Label1")), "1022"},
      {"label directly on the window answers with the window", Centre(child("Label9")), "1007"},
      {"label in a plain container is on the window", Centre(child("Label5")), "1007"},
      {"list box gives the window's tag, not its own or its frame's", Centre(child("lstPar")),
       "1007"},
      {"vertical scroll bar without a tag gives the empty text", Centre(child("SCa")), ""},
      {"horizontal scroll bar is not found", Centre(child("SVDivI")), "1007"},
      {"combo box is not found", Centre(child("cmbWF")), "1007"},
      {"tab bar is not found", Centre(child("TS1")), "1007"},
      {"check box", Centre(child("chkLogX")), "1014"},
      {"slider", Centre(child("SLog")), "1023"},
      {"button", Centre(child("cmdStart")), "1006"},
      {"drawing surface", Centre(child("Grafico1")), "1011"},
      {"text box, inside its page", Centre(*text->viewport()), "1010"},
      {"text box's own scroll bar belongs to the text box", Centre(*text_bar), "1010"},
      {"status bar panel answers with the status bar", Centre(*status->Panel(2)), "1002"},
      {"frame's own area", window_->mapToGlobal(QPoint(315, 115)), "1022"},
      {"empty window area", window_->mapToGlobal(QPoint(600, 20)), "1007"},
      {"outside the window", window_->mapToGlobal(QPoint(-50, -50)), "1007"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HelpContextAt(window_.get(), c.where), QString::fromUtf8(c.context));
  }
}

TEST_F(ContextHelpTest, AWindowWithoutATagGivesTheDefaultTopicOverAListBox) {
  SetHelpContext(*window_, QString());
  EXPECT_EQ(HelpContextAt(window_.get(), Centre(child("lstPar"))), QString());
  EXPECT_EQ(HelpContextAt(window_.get(), Centre(child("chkLogX"))), QStringLiteral("1014"));
}

TEST_F(ContextHelpTest, TheHelpButtonTogglesHelpModeAndTheStatusText) {
  EXPECT_FALSE(HelpModeOn(*window_));
  EXPECT_EQ(ToggleHelpMode(*window_), kHelpModeHint.toString());
  EXPECT_TRUE(HelpModeOn(*window_));
  EXPECT_EQ(window_->cursor().shape(), Qt::WhatsThisCursor);
  EXPECT_EQ(ToggleHelpMode(*window_), QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_FALSE(HelpModeOn(*window_));
}

TEST_F(ContextHelpTest, ReleasingCtrlOutsideHelpModeOrAnotherKeyDoesNothing) {
  QTemporaryDir dir;
  EXPECT_EQ(HelpKeyReleased(*window_, Qt::Key_Control, dir.path()), std::nullopt);
  SetHelpMode(*window_, true);
  EXPECT_EQ(HelpKeyReleased(*window_, Qt::Key_Shift, dir.path()), std::nullopt);
  EXPECT_TRUE(HelpModeOn(*window_));
}

TEST_F(ContextHelpTest, CtrlWithoutTheHelpEndsHelpModeAndSaysSo) {
  QTemporaryDir dir;
  SetHelpMode(*window_, true);
  EXPECT_EQ(HelpKeyReleased(*window_, Qt::Key_Control, dir.path()),
            QStringLiteral("Guida non disponibile"));
  EXPECT_FALSE(HelpModeOn(*window_));
}

TEST_F(ContextHelpTest, CtrlOpensTheTopicOfTheControlUnderTheCursor) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* page : {"index.html", "1022.html", "1014.html"}) {
    QFile file(dir.filePath(QLatin1String(page)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("<html><head><title>") + page + "</title></head></html>");
  }
  QCursor::setPos(Centre(child("Label1")));
  ASSERT_EQ(QCursor::pos(), Centre(child("Label1")));
  SetHelpMode(*window_, true);
  EXPECT_EQ(HelpKeyReleased(*window_, Qt::Key_Control, dir.path()),
            QStringLiteral("Ombrat - Ferrolt"));
  EXPECT_FALSE(HelpModeOn(*window_));
  auto* help = window_->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->browser()->source().fileName(), QStringLiteral("1022.html"));
  EXPECT_TRUE(help->isVisible());
}

TEST_F(ContextHelpTest, TheHelpMenuWithoutTheHelpShowsTheInformationBox) {
  QTemporaryDir dir;
  testing::MessageBoxAnswer answer;
  ShowHelpContents(window_.get(), dir.path());
  EXPECT_TRUE(answer.seen().shown);
  EXPECT_EQ(answer.seen().title, QStringLiteral("Guida in linea"));
  EXPECT_EQ(answer.seen().text, QStringLiteral("La guida in linea non è disponibile"));
  EXPECT_EQ(answer.seen().icon, QMessageBox::Information);
  EXPECT_EQ(window_->findChild<HelpWindow*>(), nullptr);
}

TEST_F(ContextHelpTest, TheHelpMenuOpensTheDefaultTopic) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* page : {"index.html", "1022.html"}) {
    QFile file(dir.filePath(QLatin1String(page)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html><body>pagina</body></html>");
  }
  ShowHelpContents(window_.get(), dir.path());
  auto* help = window_->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->browser()->source().fileName(), QStringLiteral("index.html"));
}

}  // namespace
}  // namespace quorvel
