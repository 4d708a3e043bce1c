#pragma once

#include <QString>

#include <functional>

class QMainWindow;
class QToolButton;

namespace quorvel {

class StatusPanels;

// The help wiring that both windows share: the help button `cmdHelp` toggles help mode (its hint
// in status panel 2), the CTRL key in help mode opens the topic of the control under the
// pointer, and the Help menu's "&Guida...", "&Informazioni..." and "&Logo..." (`MenuHelpGuida`,
// `MenuHelpInfo`, `MenuHelpLogo`) open the help, the about box and the splash. The window gets
// the program's icon. `help_folder` gives the folder of the help pages when they are needed.
void ConnectWindowHelp(QMainWindow& window, QToolButton& cmdHelp, StatusPanels& SB1,
                       std::function<QString()> help_folder);

}  // namespace quorvel
