// The main window's context help, about box and splash.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

#include "shell/about_window.h"
#include "shell/context_help.h"
#include "shell/help_book.h"
#include "shell/logo_window.h"
#include "shell/main_window.h"
#include "shell/status_panels.h"

namespace quorvel {

void Form1::ConnectHelp() {
  HelpFile = HelpFolderFor(QApplication::applicationDirPath());
  setWindowIcon(ProgramIcon());

  SetHelpContext(*this, QStringLiteral("1007"));
  const std::pair<const char*, const char*> tags[] = {
      {"SB1", "1002"},     {"cmdStart", "1006"}, {"cmdStop", "1006"},  {"SEnFM", "1008"},
      {"txtEnF", "1008"},  {"SStFM", "1009"},    {"txtStF", "1009"},   {"Frame2", "1010"},
      {"txtFil", "1010"},  {"Grafico1", "1011"}, {"Grafico2", "1011"}, {"chkLogX", "1014"},
      {"chkLogY", "1015"}, {"SOsc", "1020"},     {"Frame3", "1021"},   {"txtPar", "1021"},
      {"Frame1", "1022"},  {"SLog", "1023"},     {"cmdHelp", "1024"},
  };
  for (const auto& [name, context] : tags) {
    if (auto* widget = findChild<QWidget*>(QLatin1String(name))) {
      SetHelpContext(*widget, QLatin1String(context));
    }
  }
  // The report buttons are pictures on the graphs: the graph's topic answers for them.
  for (QToolButton* report : cmdRep_) SetHelpContext(*report, QStringLiteral("1011"));

  cmdHelp_->setEnabled(true);
  cmdHelp_->setCheckable(false);
  connect(cmdHelp_, &QToolButton::clicked, this,
          [this] { SB1_->SetText(2, ToggleHelpMode(*this)); });

  auto enable = [this](const char* name) {
    QAction* action = findChild<QAction*>(QLatin1String(name));
    action->setEnabled(true);
    return action;
  };
  connect(enable("MenuHelpGuida"), &QAction::triggered, this,
          [this] { ShowHelpContents(this, HelpFile); });
  connect(enable("MenuHelpInfo"), &QAction::triggered, this, [this] {
    frmAbout about(this);
    about.exec();
  });
  connect(enable("MenuHelpLogo"), &QAction::triggered, this, [this] {
    frmLogo logo(this);
    logo.exec();
  });
  // Key releases reach the window before its controls, whichever has the focus.
  new HelpKeyWatcher(*this, [this](int key) {
    if (const auto status = HelpKeyReleased(*this, key, HelpFile)) SB1_->SetText(2, *status);
  });
}

}  // namespace quorvel
