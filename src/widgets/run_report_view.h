#pragma once

namespace quorvel {

class ReportPanel;
class StatusPanels;
struct RunOutcome;

// Shows a run that started, in either window: its report in the report panel, with the list of
// its distinct errors after the report's own lines, and its first error in panel 2 of the status
// bar. After a run without errors, an error status left by an earlier run goes back to the credit
// line; any other status ("Operazione annullata", a help hint) stays.
void ShowRunReport(const RunOutcome& outcome, ReportPanel& report, StatusPanels& status);

}  // namespace quorvel
