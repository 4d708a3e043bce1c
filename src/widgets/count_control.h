#pragma once

#include <QObject>

class QLabel;
class QScrollBar;
class QWidget;

namespace quorvel {

// A count set with a reversed vertical scroll bar and shown in a label beside it ("Oscillazioni"
// `lblOsc` with `SOsc`, "Campioni" `lblCa` with `SCa`): the bar's changes write the label;
// releasing the left mouse button over the label adds `click_step`, the right button subtracts
// it, clamped to the bar's range.
class CountControl : public QObject {
  Q_OBJECT

 public:
  CountControl(QWidget& parent, const char* label_name, const char* bar_name, int minimum,
               int maximum, int step, int click_step);

  QLabel* label() const { return label_; }
  QScrollBar* bar() const { return bar_; }
  int Value() const;
  // Moves the bar (its change writes the label); the label is written even when it stays.
  void SetValue(int value);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Bar_Change();
  void Label_MouseUp(Qt::MouseButton button);

  QLabel* label_ = nullptr;
  QScrollBar* bar_ = nullptr;
  int click_step_ = 0;
};

}  // namespace quorvel
