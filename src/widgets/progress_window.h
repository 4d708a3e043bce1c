#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

#include "simulation/run_observer.h"
#include "window_core/progress_state.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QFrame;

namespace quorvel {

// The small window shown while a run lasts: progress with a remaining-time estimate, moving dots
// while the simulated time advances, an error counter and a cancel button that calls the owner
// back by name. It stays above every window and refuses to be closed until the run ends or the
// user cancels. Each run creates its own; the run drives it as its observer.
class frmStatus : public QWidget, public RunObserver {
  Q_OBJECT

 public:
  // `owner` is the window that runs; it must have a public invokable operation for the callback.
  explicit frmStatus(QWidget* owner);

  void Show2(const QString& callback_name, const QString& title) override;
  void SetPB(int percent) override;
  void ShowAdv() override;
  void AddErr() override;
  void Unload2() override;
  void PumpEvents() override;

  // What the tests read.
  QProgressBar* PB1() const { return PB1_; }
  QLabel* lblTime() const { return lblTime_; }
  QLabel* lblErr() const { return lblErr_; }
  QLabel* imgErr() const { return imgErr_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }
  const std::array<QWidget*, 4>& Shape1() const { return Shape1_; }
  const ProgressState& state() const { return *state_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CentreOnOwner();
  void Timer1_Timer();
  void Timer2_Timer();
  void cmdCancel_Click();
  void PlaceDots();
  static std::int64_t TickMs();

  QPointer<QWidget> owner_;
  QString callback_name_;
  bool allow_close_ = false;
  std::optional<ProgressState> state_;

  QLabel* Label1_ = nullptr;
  QProgressBar* PB1_ = nullptr;
  QLabel* Label2_ = nullptr;
  QLabel* lblTime_ = nullptr;
  QFrame* fAdv_ = nullptr;
  std::array<QWidget*, 4> Shape1_{};
  QLabel* imgErr_ = nullptr;
  QLabel* lblErr_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QTimer* Timer1_ = nullptr;
  QTimer* Timer2_ = nullptr;
};

}  // namespace quorvel
