#include "simulation/run_outcome.h"

namespace quorvel {

QString ErrorTallyText(const ErrorTally& tally) {
  const QString times =
      tally.count == 1 ? QStringLiteral("1 volta") : QStringLiteral("%1 volte").arg(tally.count);
  return tally.description + QStringLiteral(" (") + times + u')';
}

}  // namespace quorvel
