#include "simulation/run_errors.h"

#include <limits>

namespace quorvel {

namespace {

void Saturating(std::int32_t& counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

}  // namespace

void RunErrors::Count(int number) {
  Saturating(counts_.total);
  if (number == run_errors::kOverflow) Saturating(counts_.overflow);
  if (number == run_errors::kTimestepTooSmall) Saturating(counts_.timestep);
  observer_.AddErr();
}

bool RunErrors::Increment(std::int32_t& counter) {
  if (counter == std::numeric_limits<std::int32_t>::max()) {
    Count(run_errors::kOverflow);
    return false;
  }
  ++counter;
  return true;
}

}  // namespace quorvel
