#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QEvent;
class QWidget;

namespace quorvel {

struct OscilloscopeControls;

// The parametric filter's panel `Frame2`: the parameter list `lstPar` of items
// "name percent% [minimum;maximum]", the slider `SPar` that sets the selected item's percent,
// "Aggiungi" (`cmdAddP`) and "Rimuovi" (`cmdRmvP`), and the right-click edit of an item. It asks
// for a run when a percent changes.
class ParameterList : public QObject {
  Q_OBJECT

 public:
  ParameterList(QWidget& window, const OscilloscopeControls& controls);

  QStringList Items() const;
  void Clear();
  // Appends the items beyond those the list already holds.
  void AppendFrom(const QStringList& items);

  void cmdAddP_Click();

 signals:
  void RunRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The three questions of a parameter definition; nullopt when one was left empty or
  // cancelled.
  struct ParameterAnswers {
    QString name;
    QString minimum;
    QString maximum;
  };
  std::optional<ParameterAnswers> AskParameter(const ParameterAnswers& offered);
  std::optional<QString> AskName(const QString& offered);
  std::optional<QString> AskText(const QString& prompt, const QString& offered);
  void ShowError(const QString& message);
  void cmdRmvP_Click();
  void lstPar_MouseUp(Qt::MouseButton button);
  void SPar_Change();

  QWidget& window_;
  const OscilloscopeControls& c_;
  QObject* list_viewport_ = nullptr;
};

}  // namespace quorvel
