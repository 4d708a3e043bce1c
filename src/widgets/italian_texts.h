#pragma once

class QCoreApplication;

namespace quorvel {

// Loads Qt's own texts in Italian (the buttons of message boxes, the file dialogs, the text boxes'
// context menus) whatever the system's language: the whole program speaks Italian. Gives false
// when the translations are not installed (Debian: qt6-translations-l10n); Qt's English texts
// then stay.
bool LoadItalianQtTexts(QCoreApplication& application);

}  // namespace quorvel
