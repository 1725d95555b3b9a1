// `vintrel-cli export`: one task run through the pipeline runner on a worker thread, as the window
// runs it, with the window's questions answered from the command line.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct ExportOptions {
  std::string client;  // native paths as typed; relative ones are taken from the current folder
  std::string output;
  std::string task = "hair-body";
  std::string select = "all";  // "all", "none" or zero-based indices "0,2"
  std::string mirrorRoot;
  bool hasMirrorRoot = false;
  bool noMirror = false;
  std::string filters;  // reference lists to use instead of the bundled ones; empty: the bundled ones
  bool dryRun = false;
  bool convert = false;
  std::string report;  // also write the report's JSON here
};

// --task all: the four tasks one after another, in this order.
constexpr const char* kAllTasks = "all";

// Exit codes of a run; of several runs, the worst: failed over stopped over completed.
constexpr int kExportCompleted = 0;  // "OK: Task Completed."
constexpr int kExportFailed = 1;     // "ERROR: ..."
constexpr int kExportBadArguments = 2;
constexpr int kExportStopped = 3;  // "INFO: Process Stopped."

// Parses a --select value; false when it is none of the three forms.
bool ParseSelection(const std::string& text, bool& all, std::vector<int>& indices);

// Runs the export and returns its exit code.
int RunExportCommand(const ExportOptions& options);

// Adds the "export" subcommand; its callback stores the run's exit code in `exitCode`.
void AddExportCommand(CLI::App& app, int& exitCode);
