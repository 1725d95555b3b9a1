#include "support/stop_check.hpp"

#include <atomic>

namespace {

std::atomic<bool (*)()> stopCheck{nullptr};

}  // namespace

bool StopRequested() {
  bool (*const check)() = stopCheck.load();
  return check != nullptr && check();
}

void SetStopCheck(bool (*check)()) { stopCheck.store(check); }
