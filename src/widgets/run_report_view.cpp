#include "widgets/run_report_view.h"

#include "simulation/run_outcome.h"
#include "widgets/context_help.h"
#include "widgets/report_panel.h"
#include "widgets/status_panels.h"

namespace quorvel {

void ShowRunReport(const RunOutcome& outcome, ReportPanel& report, StatusPanels& status) {
  report.SetReport(ReportWithErrorList(outcome.report, outcome.errors));
  const QString error_status = RunErrorStatusText(outcome.errors);
  if (!error_status.isEmpty()) {
    status.SetText(2, error_status);
  } else if (IsRunErrorStatusText(status.Text(2))) {
    status.SetText(2, kCreditLine.toString());
  }
}

}  // namespace quorvel
