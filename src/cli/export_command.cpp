#include "cli/export_command.hpp"

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/commands.hpp"
#ifdef VINTREL_CONVERT
#include "convert/model_converter.hpp"
#endif
#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "pipeline/core_initialization.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"
#include "platform/interrupt.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/granny_analyzer.hpp"

namespace {

// How the run ended, as its last status line in the window log said.
std::atomic<int> g_outcome{kExportFailed};

void PrintLine(const std::string& raw) {
  const std::string text = platform::StandardOutputIsTerminal() ? TerminalSafeText(raw) : raw;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ShowLogEntry(const GuiLogEntry& entry) {
  PrintLine("[" + entry.time + "] " + entry.text);
  if (entry.text == "OK: Task Completed.") {
    g_outcome.store(kExportCompleted);
  } else if (entry.text == "INFO: Process Stopped.") {
    g_outcome.store(kExportStopped);
  } else if (entry.text.compare(0, 7, "ERROR: ") == 0) {
    g_outcome.store(kExportFailed);
  }
}

// "Map Objects" counts, read as the options panel reads them: on a terminal one line redrawn in
// place below the log, elsewhere plain lines (a "Processed" line at most once a second, and the last).
std::mutex g_countsMutex;
bool g_countsOnScreen = false;
int g_plainFound = 0;
int g_plainProcessed = 0;
std::chrono::steady_clock::time_point g_plainProcessedAt;

void ShowPrbCounts(int taskKind, bool finished) {
  if (taskKind != TaskMapObjects) return;
  const int found = GetPipelineState().prbFound.load();
  const int processed = GetPipelineState().prbProcessed.load();
  // The empty client says so in the log; before the scan there is nothing to count.
  if (found == 0) return;
  const std::string total = std::to_string(found);
  std::lock_guard<std::mutex> lock(g_countsMutex);
  if (platform::StandardOutputIsTerminal()) {
    const std::string line = "\rFound: " + total + " PRB files | Processed: " + std::to_string(processed) +
                             " / " + total + "\033[K" + (finished ? "\n" : "");
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    g_countsOnScreen = !finished;
    return;
  }
  if (found != g_plainFound) {
    g_plainFound = found;
    PrintLine("Found: " + total + " PRB files");
  }
  const auto now = std::chrono::steady_clock::now();
  if (processed != g_plainProcessed &&
      (finished || processed == found || now - g_plainProcessedAt >= std::chrono::seconds(1))) {
    g_plainProcessed = processed;
    g_plainProcessedAt = now;
    PrintLine("Processed: " + std::to_string(processed) + " / " + total);
  }
}

// A log line takes the counts line's place; the next poll draws the counts below it again.
void ShowLogEntryAboveCounts(const GuiLogEntry& entry) {
  std::lock_guard<std::mutex> lock(g_countsMutex);
  if (g_countsOnScreen) {
    std::fputs("\r\033[K", stdout);
    g_countsOnScreen = false;
  }
  ShowLogEntry(entry);
}

// Set when --select named an index the question did not offer.
std::atomic<bool> g_badSelection{false};

void RequestStop() { GetPipelineState().stopRequested.store(true); }

// Ctrl+C ends the task in progress and the tasks after it.
std::atomic<bool> g_interrupted{false};

void Interrupt() {
  g_interrupted.store(true);
  RequestStop();
}

int Worse(int a, int b) {
  const auto rank = [](int code) {
    return code == kExportCompleted ? 0 : code == kExportStopped ? 1 : code == kExportFailed ? 2 : 3;
  };
  return rank(a) >= rank(b) ? a : b;
}

// The indices that are not below `count`, comma-separated; empty when all are.
std::string IndicesOutside(const std::vector<int>& indices, std::size_t count) {
  std::string outside;
  for (int index : indices) {
    if (index >= 0 && static_cast<std::size_t>(index) < count) continue;
    if (!outside.empty()) outside += ",";
    outside += std::to_string(index);
  }
  return outside;
}

// The internal form of a native path, made absolute against the current folder.
std::string InternalPath(const std::string& native) {
  return platform::AbsoluteInternalPath(platform::ToInternalPath(native));
}

// Answers one pending selection request, if there is one, the way --select says.
void AnswerSelection(bool all, const std::vector<int>& indices) {
  SelectionRequest& request = GetSelectionRequest();
  if (!request.awaitingAnswer.load()) return;
  bool cancel = false;
  {
    std::lock_guard<std::mutex> lock(request.answerMutex);
    if (!request.awaitingAnswer.load()) return;
    PrintLine(request.title);
    for (std::size_t i = 0; i < request.candidates.size(); ++i) {
      PrintLine("  " + std::to_string(i) + ": " + request.candidates[i]);
    }
    if (!all && indices.empty()) {
      cancel = true;
    } else if (const std::string outside = IndicesOutside(indices, request.candidates.size());
               !outside.empty()) {
      // Ticking what is there and dropping the rest would export something else than asked.
      std::fprintf(stderr, "--select: no candidate %s (there are %zu: 0 to %zu)\n", outside.c_str(),
                   request.candidates.size(), request.candidates.size() - 1);
      g_badSelection.store(true);
      RequestStop();
      cancel = true;
    } else {
      for (std::size_t i = 0; i < request.ticked.size(); ++i) request.ticked[i] = all;
      for (int index : indices) {
        if (index >= 0 && static_cast<std::size_t>(index) < request.ticked.size()) {
          request.ticked[static_cast<std::size_t>(index)] = true;
        }
      }
    }
  }
  if (cancel) {
    CancelSelection();
  } else {
    ConfirmSelection();
  }
}

}  // namespace

bool ParseSelection(const std::string& text, bool& all, std::vector<int>& indices) {
  all = false;
  indices.clear();
  if (text == "all") {
    all = true;
    return true;
  }
  if (text == "none") return true;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos) {
      indices.clear();
      return false;
    }
    indices.push_back(std::stoi(part));
    start = comma + 1;
  }
  return true;
}

namespace {

// One task run on the worker thread, its questions answered as --select says.
int RunOneTask(int taskKind, bool all, const std::vector<int>& indices) {
  GetPipelineState().selectedTask.store(taskKind);
  g_outcome.store(kExportFailed);
  g_badSelection.store(false);
  std::atomic<bool> finished{false};
  std::thread worker([&finished] {
    RunPipeline();
    finished.store(true);
    WakeSelectionWaiters();
  });
  while (!finished.load()) {
    AnswerSelection(all, indices);
    ShowPrbCounts(taskKind, false);
    // A question or the end of the run wakes it at once; the counts are redrawn meanwhile.
    WaitForSelectionRequest(std::chrono::milliseconds(20), [&finished] { return finished.load(); });
  }
  worker.join();
  ShowPrbCounts(taskKind, true);
  return g_badSelection.load() ? kExportBadArguments : g_outcome.load();
}

}  // namespace

int RunExportCommand(const ExportOptions& options) {
  std::vector<int> kinds;
  for (const TaskInfo& known : TaskTable()) {
    if (options.task == kAllTasks || options.task == known.cliName) kinds.push_back(known.kind);
  }
  bool all = false;
  std::vector<int> indices;
  bool available = !kinds.empty();
  for (const int kind : kinds) available = available && GetTaskDriver(kind) != nullptr;
  if (!available || !ParseSelection(options.select, all, indices)) {
    std::fprintf(stderr, "Bad arguments: --task or --select\n");
    return kExportBadArguments;
  }
  if (options.client.empty() || options.output.empty()) {
    std::fprintf(stderr, "Bad arguments: --client and --output must not be empty\n");
    return kExportBadArguments;
  }
  const std::string client = InternalPath(options.client);
  const std::string output = InternalPath(options.output);
  if (!FolderExists(client)) {
    std::fprintf(stderr, "Bad arguments: --client is not a folder: %s\n", options.client.c_str());
    return kExportBadArguments;
  }

  platform::EnableConsoleColours();
  SetGuiLogListener(ShowLogEntryAboveCounts);
  InitializeCommandLineCore();

  SetClientPathText(client);
  SetOutputPathText(output);
  if (options.noMirror) {
    GetPathSettings().mirrorRoot.clear();
  } else if (options.hasMirrorRoot) {
    std::string mirror = InternalPath(options.mirrorRoot);
    if (!mirror.empty() && mirror.back() != '\\') mirror += '\\';
    GetPathSettings().mirrorRoot = mirror;
  }
  GetPathSettings().referenceFolder = options.filters.empty() ? std::string() : InternalPath(options.filters);
#ifdef VINTREL_CONVERT
  SetExportConverter(ConvertExportedFile);
#else
  if (options.convert) {
    std::fprintf(stderr, "Bad arguments: --convert needs a build with the converters\n");
    return kExportBadArguments;
  }
#endif
  RunOptions run;
  run.dryRun = options.dryRun;
  run.convert = options.convert;
  run.reportFile = options.report.empty() ? std::string() : InternalPath(options.report);
  SetRunOptions(run);

  g_interrupted.store(false);
  platform::OnInterrupt(Interrupt);
  int exitCode = kExportCompleted;
  for (const int kind : kinds) {
    if (g_interrupted.load()) break;
    if (kinds.size() > 1 && !run.reportFile.empty()) {
      // One report per task: "plan.json" becomes "plan-hair-body.json", ...
      RunOptions perTask = run;
      const std::size_t dot = run.reportFile.rfind('.');
      const std::size_t cut = dot == std::string::npos || dot < run.reportFile.find_last_of('\\') + 1
                                  ? run.reportFile.size()
                                  : dot;
      perTask.reportFile =
          run.reportFile.substr(0, cut) + "-" + FindTask(kind)->cliName + run.reportFile.substr(cut);
      SetRunOptions(perTask);
    }
    const int outcome = RunOneTask(kind, all, indices);
    exitCode = Worse(exitCode, outcome);
    if (outcome == kExportBadArguments) break;
  }

  SetGuiLogListener(nullptr);
  GrannyAnalyzer::Shutdown();
  StopLogWriter();
  return exitCode;
}

void AddExportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Run one export task on a client folder");
  command->add_option("--client", options->client, "The client's unpacked data folder")->required();
  command->add_option("--output", options->output, "The folder the export goes below")->required();
  std::vector<std::string> taskNames;
  for (const TaskInfo& task : TaskTable()) {
    if (GetTaskDriver(task.kind) != nullptr) taskNames.push_back(task.cliName);
  }
  taskNames.push_back(kAllTasks);
  command->add_option("--task", options->task, "The task to run; all: the four one after another")
      ->check(CLI::IsMember(taskNames))
      ->capture_default_str();
  command
      ->add_option("--select", options->select,
                   "Answer to every choice of files: all, none, or zero-based indices like 0,2")
      ->check(
          [](const std::string& value) {
            bool all = false;
            std::vector<int> indices;
            return ParseSelection(value, all, indices) ? std::string() : "expected all, none or I,J,...";
          },
          "all|none|I,J,...")
      ->capture_default_str();
  CLI::Option* mirror = command->add_option("--mirror-root", options->mirrorRoot,
                                            "Also copy textures and effect files below this folder");
  CLI::Option* noMirror = command->add_flag("--no-mirror", options->noMirror, "Make no mirror copies");
  mirror->excludes(noMirror);
  command->add_option("--filters", options->filters,
                      "Reference lists (made by make-filters) to use instead of the bundled ones");
  command->add_flag("--dry-run", options->dryRun,
                    "Say what the run would write (and print the plan) without creating or copying anything");
  command->add_flag("--convert", options->convert,
                    "Also write a .glb beside every exported .gr2 and a .png beside every .dds/.tga");
  command->add_option("--report", options->report,
                      "Also write the run's report (JSON) to this file (with --task all: FILE-<task>.json)");
  command->callback([options, mirror, &exitCode] {
    options->hasMirrorRoot = mirror->count() > 0;
    exitCode = RunExportCommand(*options);
  });
}
