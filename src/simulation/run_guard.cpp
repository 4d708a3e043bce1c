#include "simulation/run_guard.h"

#include <atomic>

namespace quorvel {

namespace {

std::atomic<bool>& RunFlag() {
  static std::atomic<bool> running{false};
  return running;
}

}  // namespace

RunGuard::RunGuard() : acquired_(!RunFlag().exchange(true)) {}

RunGuard::~RunGuard() {
  if (acquired_) RunFlag().store(false);
}

bool RunGuard::RunInProgress() { return RunFlag().load(); }

}  // namespace quorvel
