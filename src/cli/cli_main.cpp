// vintrel-cli entry point: parses the command line and runs one subcommand.

#include <CLI/CLI.hpp>
#include <string>

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

int main(int argc, char** argv) {
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
  StopLogWriter();
  return exitCode;
}
