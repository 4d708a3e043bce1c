#pragma once

#include <QPoint>
#include <QString>
#include <QStringView>

#include <optional>

#include <QObject>

#include <functional>

class QWidget;

namespace quorvel {

// Texts of the context help. The status texts go into panel 2 of a window's status bar; the
// information box is the Help menu's answer when the help is missing.
inline constexpr QStringView kHelpModeHint =
    u"Premere il tasto CTRL per visualizzare la guida contestuale";
inline constexpr QStringView kHelpNotAvailableStatus = u"Guida non disponibile";
inline constexpr QStringView kHelpNotAvailableTitle = u"Guida in linea";
inline constexpr QStringView kHelpNotAvailableText = u"La guida in linea non è disponibile";
inline constexpr QStringView kCreditLine = u"Ombrat - Ferrolt";

// The dynamic property that carries a widget's help context number as text; a window's own
// property serves when no control is found.
inline constexpr char kHelpContextProperty[] = "helpContext";

// Gives a widget (control or window) its help context number; an empty text means no topic.
void SetHelpContext(QWidget& widget, const QString& context);
QString HelpContextOf(const QWidget& widget);

// The control of `window` that context help finds at a point on the screen, or `window` itself.
// Only the kinds that own a window of their own in the help's sense are found: frames (group
// boxes, plain frames), vertical scroll bars, sliders, check boxes, push and tool buttons, text
// boxes, drawing surfaces, progress bars and status bars. Labels and lines are never found: the
// control that contains them answers. Over any other kind (list, combo box, tab bar, horizontal
// scroll bar, menu bar) and outside the window's controls the window itself answers.
const QWidget* ControlAtPoint(const QWidget* window, QPoint global_pos);

// The help context text of `ControlAtPoint`: the found control's own tag, even when it is empty
// (the default topic), or the window's tag when no control is found.
QString HelpContextAt(const QWidget* window, QPoint global_pos);
// The same at the mouse cursor.
QString HelpContextUnderCursor(const QWidget* window);

// Help mode is on while the window shows the question-mark pointer.
bool HelpModeOn(const QWidget& window);
void SetHelpMode(QWidget& window, bool on);

// The help button: toggles help mode and gives the new text of status panel 2 (the hint, or the
// credit line when help mode ends).
QString ToggleHelpMode(QWidget& window);

// A key release on a window. Only CTRL while help mode is on acts: help mode ends and the help
// opens at the topic of the control under the cursor when the help is available. Gives the new
// text of status panel 2 (the credit line, or "Guida non disponibile"), or nothing when the key
// had no effect.
std::optional<QString> HelpKeyReleased(QWidget& window, int key, const QString& help_folder);

// The Help menu's "Guida...": the help at its default topic, or, when the help is not available,
// the information box "La guida in linea non è disponibile".
void ShowHelpContents(QWidget* parent, const QString& help_folder);

// Watches the whole application for key releases in one window, before its controls see them,
// and hands each to the window's help handling. A child of the window: it ends with it.
class HelpKeyWatcher : public QObject {
  Q_OBJECT

 public:
  HelpKeyWatcher(QWidget& window, std::function<void(int key)> released);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  std::function<void(int key)> released_;
};

}  // namespace quorvel
