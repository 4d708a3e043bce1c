#include "widgets/run_launcher.h"

#include <QMessageBox>

#include <exception>
#include <new>

#include "widgets/progress_window.h"

namespace quorvel {

namespace {

QString FailureText(const char* what) {
  return QStringLiteral("L'operazione è stata interrotta da un errore interno: ") +
         QString::fromLocal8Bit(what);
}

}  // namespace

RunLauncher::RunLauncher(QObject* parent) : QObject(parent) {}

void RunLauncher::SetRunning(bool running) {
  running_ = running;
  emit RunningChanged(running);
}

std::optional<RunOutcome> RunLauncher::Launch(QWidget& owner, const Run& run) {
  if (running_) return std::nullopt;
  SetRunning(true);
  auto* status = new frmStatus(&owner);
  std::optional<RunOutcome> report;
  QString failure;
  try {
    report = run(*status);
  } catch (const std::bad_alloc&) {
    failure = FailureText("memoria insufficiente");
  } catch (const std::exception& error) {
    failure = FailureText(error.what());
  } catch (...) {
    failure = FailureText("errore sconosciuto");
  }
  // A run that ended early by an exception has not closed its progress window.
  status->Unload2();
  status->deleteLater();
  SetRunning(false);
  if (!failure.isEmpty()) {
    QMessageBox::critical(&owner, QStringLiteral("Errore"), failure);
    return std::nullopt;
  }
  if (report && report->status == RunStatus::kRefused) {
    QMessageBox::warning(&owner, QStringLiteral("Errore"), report->message);
    return std::nullopt;
  }
  if (!report || !report->started()) return std::nullopt;
  return report;
}

}  // namespace quorvel
