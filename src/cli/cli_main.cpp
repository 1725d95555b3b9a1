// vintrel-cli entry point: parses the command line and runs one subcommand.

#include <CLI/CLI.hpp>
#include <string>

#include "app/crash_handlers.hpp"
#include "cli/commands.hpp"
#include "cli/export_command.hpp"
#include "log/debug_log.hpp"
#include "pipeline/core_initialization.hpp"

namespace {

constexpr int kExitBadArguments = 2;

}  // namespace

void InitializeCommandLineCore() {
  SetEmbeddedResources(VintrelEmbeddedResources());
  InitializeCore();
}

static int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Vintrel: extracts model bundles from an unpacked game client."};
  app.name("vintrel-cli");
  app.set_version_flag("--version", std::string("vintrel-cli ") + VINTREL_VERSION);
  app.require_subcommand(1);

  int exitCode = 0;
  AddGr2InfoCommand(app, exitCode);
  AddExportCommand(app, exitCode);
  AddMakeFiltersCommand(app, exitCode);
#ifdef VINTREL_CONVERT
  AddConvertCommand(app, exitCode);
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitBadArguments;
  }
  return exitCode;
}

// The same start and end as the window's: fault handlers first, and a drained debug.log whose
// last line is the "[STOP]" line. No update check.
int main(int argc, char** argv) {
  InstallCrashHandlers();
  LogLine(std::string("[START] vintrel-cli starting - version:") + VINTREL_VERSION);
  const int exitCode = RunCommandLine(argc, argv);
  LogLine("[STEP] Stopping log thread");
  StopLogWriter();
  LogLine("[STOP] vintrel-cli exiting");
  StopLogWriter();
  return exitCode;
}
