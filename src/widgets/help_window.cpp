#include "widgets/help_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/window_support.h"
#include "window_core/help_book.h"

namespace quorvel {
namespace {

const QString kWindowTitle = QStringLiteral("Guida in linea");

HelpWindow* OpenHelpWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* help = qobject_cast<HelpWindow*>(widget)) return help;
  }
  return nullptr;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kWindowTitle);
  resize(720, 560);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* tools = new QToolBar(this);
  layout->addWidget(tools);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("txtHelp"));
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_);

  QAction* back = tools->addAction(QStringLiteral("Indietro"), browser_, &QTextBrowser::backward);
  back->setObjectName(QStringLiteral("HelpBack"));
  back->setShortcut(QKeySequence::Back);
  back->setEnabled(false);
  QAction* forward = tools->addAction(QStringLiteral("Avanti"), browser_, &QTextBrowser::forward);
  forward->setObjectName(QStringLiteral("HelpForward"));
  forward->setShortcut(QKeySequence::Forward);
  forward->setEnabled(false);
  QAction* contents = tools->addAction(QStringLiteral("Sommario"), this, [this] {
    if (!index_path_.isEmpty()) ShowPage(index_path_);
  });
  contents->setObjectName(QStringLiteral("HelpContents"));
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::UpdateTitle);
}

void HelpWindow::ShowPage(const QString& path) {
  index_path_ = HelpBook(QFileInfo(path).absolutePath()).IndexPath();
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  UpdateTitle();
}

void HelpWindow::UpdateTitle() {
  const QString page = browser_->documentTitle();
  setWindowTitle(page.isEmpty() ? kWindowTitle : kWindowTitle + QStringLiteral(" - ") + page);
}

HelpWindow* ShowHelpTopic(QWidget* owner, const QString& help_folder, const QString& topic_text) {
  const HelpBook book(help_folder);
  const QString path = book.TopicPath(ContextOfTag(topic_text));
  if (!QFileInfo(path).isFile()) return nullptr;
  HelpWindow* help = OpenHelpWindow();
  if (!help) help = new HelpWindow(owner ? owner->window() : nullptr);
  help->ShowPage(path);
  BringForward(*help);
  return help;
}

}  // namespace quorvel
