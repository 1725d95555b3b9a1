#include "app/vintrel_main.hpp"

#include <cstdio>
#include <exception>
#include <string>

#include "app/crash_handlers.hpp"
#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "support/granny_analyzer.hpp"
#include "ui/gui_controller.hpp"
#include "update/update_check.hpp"
#include "update/update_info.hpp"

namespace {

// True when a test script (test mode) failed.
bool RunGui() {
  LogLine("[STEP] Creating GUI controller");
  GuiController controller(GuiController::Hooks{CheckUpdateAsync, RunSelfUpdate});
  LogLine("[STEP] Running GUI controller");
  controller.Run();
  LogLine("[STEP] GUI controller exited normally");
  return controller.TestFailed();
}

void ShowCrash(const std::string& text) { platform::ShowMessageBox("Crash", text); }

}  // namespace

void CheckForUpdates() {
  if (DevModeEnabled()) {
    std::fputs("[CheckForUpdates] Dev mode - skipping update check\n", stderr);
    std::fflush(stderr);
  }
}

int VintrelMain() {
  LogLine(std::string("[START] VintrelMain starting - version:") + RunningVersion());
  InstallCrashHandlers();
#ifdef _WIN32
  LogLine("[STEP] CoInitializeEx start");
  const long hr = platform::InitializeCom();
  if (hr < 0) {
    LogLine("[ERROR] CoInitializeEx failed hr=" + std::to_string(hr));
    platform::ShowMessageBox("Critical Error", "Errore sistema (COM)!");
    // Nothing else ran: the writer is drained so that the failure is in debug.log.
    StopLogWriter();
    return 0;
  }
  LogLine("[STEP] CoInitializeEx OK");
#endif
  try {
    LogLine("[STEP] CheckForUpdates start");
    CheckForUpdates();
    LogLine("[STEP] CheckForUpdates done");
  } catch (...) {
    LogLine("[WARN] CheckForUpdates threw");
  }
  // Only a failed test script changes the exit code.
  int exitCode = 0;
  try {
    exitCode = RunGui() ? 1 : 0;
  } catch (const std::exception& e) {
    const std::string message = std::string("Errore GUI: ") + e.what();
    LogLine("[EXC] " + message);
    ShowCrash(message);
  } catch (...) {
    LogLine("[EXC] Unknown exception thrown from GUI");
    ShowCrash("Unknown crash in GUI");
  }

  LogLine("[STEP] Shutting down GrannyAnalyzer");
  if (GrannyAnalyzer::IsInitialized()) {
    GrannyAnalyzer::Shutdown();
    LogLine("[INFO] [GrannyAnalyzer] Shutdown: granny2.dll unloaded");
  }
  LogLine("[STEP] Stopping log thread");
  StopLogWriter();
#ifdef _WIN32
  platform::UninitializeCom();
#endif
  // Written by this thread once the writer is gone: the last line is in debug.log before exit.
  LogLine("[STOP] VintrelMain exiting");
  StopLogWriter();
  return exitCode;
}
