#include "simulation/run_outcome.h"

#include <QStringView>

#include "simulation/guarded_math.h"

namespace quorvel {

namespace {

constexpr QStringView kErrorStatusPrefix = u"Errore: ";
constexpr QStringView kLineEnd = u"\r\n";

}  // namespace

QString ErrorTallyText(const ErrorTally& tally) {
  const QString times =
      tally.count == 1 ? QStringLiteral("1 volta") : QStringLiteral("%1 volte").arg(tally.count);
  return tally.description + QStringLiteral(" (") + times + u')';
}

QString RunErrorStatusText(const std::vector<ErrorTally>& errors) {
  std::vector<const ErrorTally*> faults;
  for (const ErrorTally& tally : errors) {
    if (tally.number != script_errors::kCancelled &&
        tally.number != run_errors::kTimestepTooSmall) {
      faults.push_back(&tally);
    }
  }
  if (faults.empty()) return {};
  QString text = kErrorStatusPrefix.toString() + ErrorTallyText(*faults.front());
  const std::size_t others = faults.size() - 1;
  if (others == 1) {
    text += QStringLiteral("; un altro errore diverso nel report");
  } else if (others > 1) {
    text += QStringLiteral("; altri %1 errori diversi nel report").arg(others);
  }
  return text;
}

bool IsRunErrorStatusText(const QString& text) { return text.startsWith(kErrorStatusPrefix); }

QString ReportWithErrorList(const QString& report, const std::vector<ErrorTally>& errors) {
  if (errors.empty()) return report;
  QString text = report;
  if (!text.isEmpty() && !text.endsWith(kLineEnd)) text += kLineEnd;
  text += kLineEnd;
  text += QStringLiteral("Elenco degli errori:");
  text += kLineEnd;
  for (const ErrorTally& tally : errors) {
    text += ErrorTallyText(tally);
    text += kLineEnd;
  }
  return text;
}

}  // namespace quorvel
