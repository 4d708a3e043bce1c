#include "widgets/window_help.h"

#include <QAction>
#include <QMainWindow>
#include <QToolButton>

#include "widgets/about_window.h"
#include "widgets/context_help.h"
#include "widgets/logo_window.h"
#include "widgets/status_panels.h"

namespace quorvel {

void ConnectWindowHelp(QMainWindow& window, QToolButton& cmdHelp, StatusPanels& SB1,
                       std::function<QString()> help_folder) {
  window.setWindowIcon(ProgramIcon());
  SetHelpContext(cmdHelp, QStringLiteral("1024"));
  SetHelpContext(SB1, QStringLiteral("1002"));
  cmdHelp.setEnabled(true);
  cmdHelp.setCheckable(false);
  QObject::connect(&cmdHelp, &QToolButton::clicked, &window,
                   [&window, &SB1] { SB1.SetText(2, ToggleHelpMode(window)); });

  auto action = [&window](const char* name) {
    QAction* found = window.findChild<QAction*>(QLatin1String(name));
    found->setEnabled(true);
    return found;
  };
  QObject::connect(action("MenuHelpGuida"), &QAction::triggered, &window,
                   [&window, help_folder] { ShowHelpContents(&window, help_folder()); });
  QObject::connect(action("MenuHelpInfo"), &QAction::triggered, &window, [&window] {
    frmAbout about(&window);
    about.exec();
  });
  QObject::connect(action("MenuHelpLogo"), &QAction::triggered, &window, [&window] {
    frmLogo logo(&window);
    logo.exec();
  });
  // Key releases reach the window before its controls, whichever has the focus.
  new HelpKeyWatcher(window, [&window, &SB1, help_folder](int key) {
    if (const auto status = HelpKeyReleased(window, key, help_folder())) SB1.SetText(2, *status);
  });
}

}  // namespace quorvel
