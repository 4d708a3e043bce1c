#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

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
  // A run: drives its observer and gives the report, or nothing when it refused to start.
  using Run = std::function<std::optional<QString>(RunObserver& observer)>;

  explicit RunLauncher(QObject* parent = nullptr);

  // Runs `run` unless a run is already in progress. Gives the report, or nothing when the run
  // did not start, refused to start or failed (the failure is shown in a message box on `owner`).
  std::optional<QString> Launch(QWidget& owner, const Run& run);
  bool running() const { return running_; }

 signals:
  void RunningChanged(bool running);

 private:
  void SetRunning(bool running);

  bool running_ = false;
};

}  // namespace quorvel
