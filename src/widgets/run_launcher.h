#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

#include "simulation/run_outcome.h"

class QWidget;

namespace quorvel {

class RunObserver;

// Starts the runs of both windows on their one script host, one at a time, each with a progress
// window of its own owned by the window that asked (its "Annulla" calls that window's
// AsyncCallback). A run that throws ends with a message box instead of taking the program down:
// no exception leaves Launch. Windows follow RunningChanged to make unavailable, while a run
// lasts, the commands that would change the test or start another run.
class RunLauncher : public QObject {
  Q_OBJECT

 public:
  // A run: drives its observer and gives its outcome.
  using Run = std::function<RunOutcome(RunObserver& observer)>;

  explicit RunLauncher(QObject* parent = nullptr);

  // Runs `run` unless a run is already in progress. Gives the outcome when the run started
  // (completed or cancelled); nothing when it did not start or failed. A run that refused its
  // settings, or failed, is explained in a message box on `owner`.
  std::optional<RunOutcome> Launch(QWidget& owner, const Run& run);
  bool running() const { return running_; }

 signals:
  void RunningChanged(bool running);

 private:
  void SetRunning(bool running);

  bool running_ = false;
};

}  // namespace quorvel
