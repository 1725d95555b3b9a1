#include "app/crash_handlers.hpp"

#include <cstdlib>
#include <exception>

#include "log/debug_log.hpp"
#include "platform/crash_handlers.hpp"

void OnTerminate() {
  platform::WriteCrashLog("std::terminate called");
  try {
    LogLine("[CRASH] std::terminate called");
  } catch (...) {
    // crash.log holds the record.
  }
  std::abort();
}

void InstallCrashHandlers() {
  platform::InstallFaultHandlers([](const std::string& line) { LogLine(line); });
  std::set_terminate(OnTerminate);
}
