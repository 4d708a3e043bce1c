#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace quorvel {

// The splash window: a borderless picture that closes itself 2000 ms after it is shown. Shown
// modal from the Help menu ("Logo...") or, at start, before the main window.
class frmLogo : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kShowMs = 2000;

  explicit frmLogo(QWidget* parent = nullptr);

  QLabel* picture() const { return picture_; }
  QTimer* Timer1() const { return Timer1_; }

 signals:
  // The picture's time is over: the window has hidden itself and is about to close. A splash
  // shown at start opens the main window here.
  void Elapsed();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1_Timer();

  QLabel* picture_ = nullptr;
  QTimer* Timer1_ = nullptr;
};

}  // namespace quorvel
