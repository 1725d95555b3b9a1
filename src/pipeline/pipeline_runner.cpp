#include "pipeline/pipeline_runner.hpp"

#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/run_report.hpp"
#include "pipeline/task_table.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/mirror_root.hpp"

namespace {

std::mutex pathTextMutex;
std::string clientPathText;
std::string outputPathText;
RunOptions runOptions;

// Creates and removes one file: a folder that exists can still refuse every write.
bool CanWriteInFolder(const std::string& folder) {
  const std::string probe = folder + "\\.vintrel-write-probe-" + std::to_string(platform::CurrentThreadId());
  platform::File file = platform::File::CreateForWrite(probe);
  if (!file.IsOpen()) return false;
  const bool written = file.Write("x", 1) && file.Flush();
  file.Close();
  platform::DeleteFile(probe);
  return written;
}

// A run that cannot read its client or write its output must say so instead of "completed".
// Empty roots are left to the task, which names them in its own line.
// A dry run only looks: an output folder that is not there yet is what it would create.
void CheckRunRoots(const PathSettings& settings, bool dryRun) {
  if (!settings.clientRoot.empty() && !FolderExists(settings.clientRoot)) {
    throw std::runtime_error("Client folder not found: " + settings.clientRoot);
  }
  if (settings.outputRoot.empty()) return;
  if (dryRun) {
    if (FileExists(settings.outputRoot)) {
      throw std::runtime_error("Cannot create output folder: " + settings.outputRoot);
    }
    return;
  }
  if (!EnsureDirectory(settings.outputRoot)) {
    throw std::runtime_error("Cannot create output folder: " + settings.outputRoot);
  }
  if (!CanWriteInFolder(settings.outputRoot)) {
    throw std::runtime_error("Output folder is not writable: " + settings.outputRoot);
  }
}

// The task's run between the start and the end of its report; the report is written whatever the
// outcome, then the exception goes on to the caller's final line.
void RunSelectedTask(int taskKind, const RunOptions& options) {
  const TaskInfo* task = FindTask(taskKind);
  if (task == nullptr) return;
  AddGuiLog(task->startLine, GuiLogInfo);
  const TaskDriver driver = GetTaskDriver(taskKind);
  // A known task that nothing registered has not run; saying "completed" would be a lie.
  if (driver == nullptr) throw std::runtime_error("Task not available.");
  BeginRunReport(*task, GetPathSettings().outputRoot, options);
  try {
    driver();
  } catch (const std::exception& e) {
    EndRunReport(options, "error", e.what());
    throw;
  } catch (...) {
    EndRunReport(options, "error", "Critical Failure.");
    throw;
  }
  EndRunReport(options, GetPipelineState().stopRequested.load() ? "stopped" : "completed", "");
}

}  // namespace

std::string ClientPathText() {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  return clientPathText;
}

std::string OutputPathText() {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  return outputPathText;
}

void SetClientPathText(const std::string& text) {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  clientPathText = text;
}

void SetOutputPathText(const std::string& text) {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  outputPathText = text;
}

RunOptions GetRunOptions() {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  return runOptions;
}

void SetRunOptions(const RunOptions& options) {
  std::lock_guard<std::mutex> lock(pathTextMutex);
  runOptions = options;
}

void RunPipeline() {
  PipelineState& state = GetPipelineState();
  state.running.store(true);
  state.stopRequested.store(false);
  state.progress.store(0.0f);
  try {
    AddGuiLog("Starting Pipeline...", GuiLogInfo);
    SetClientRoot(ClientPathText());
    SetOutputRoot(OutputPathText());
    const RunOptions options = GetRunOptions();
    CheckRunRoots(GetPathSettings(), options.dryRun);
    // Once per run: the mirror drive may have come or gone since the last one.
    PrepareMirrorRoot();
    if (state.stopRequested.load()) {
      state.running.store(false);
      state.stopRequested.store(false);
      return;
    }
    RunSelectedTask(state.selectedTask.load(), options);
    if (state.stopRequested.load()) {
      AddGuiLog("INFO: Process Stopped.", GuiLogWarning);
    } else {
      state.progress.store(1.0f);
      AddGuiLog("OK: Task Completed.", GuiLogSuccess);
    }
  } catch (const std::exception& e) {
    AddGuiLog(std::string("ERROR: ") + e.what(), GuiLogError);
  } catch (...) {
    AddGuiLog("ERROR: Critical Failure.", GuiLogError);
  }
  state.running.store(false);
  state.stopRequested.store(false);
}
