#include "pipeline/pipeline_runner.hpp"

#include <atomic>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace {

constexpr int kTaskKindCount = 4;

char clientPathText[kPathTextSize];
char outputPathText[kPathTextSize];

// Filled by the tasks at start-up, read by the worker.
std::atomic<TaskDriver> taskDrivers[kTaskKindCount];

const char* TaskLine(int taskKind) {
  switch (taskKind) {
    case TaskMsm:
      return "Task MSM...";
    case TaskItems:
      return "Task ITEMS...";
    case TaskNpc:
      return "Task NPC...";
    case TaskMapObjects:
      return "Task MAP OBJECTS...";
    default:
      return nullptr;
  }
}

// Creates and removes one file: a folder that exists can still refuse every write.
bool CanWriteInFolder(const std::string& folder) {
  const std::string probe =
      folder + "\\.vintrel-write-probe-" + std::to_string(platform::CurrentThreadId());
  platform::File file = platform::File::CreateForWrite(probe);
  if (!file.IsOpen()) return false;
  const bool written = file.Write("x", 1) && file.Flush();
  file.Close();
  platform::DeleteFile(probe);
  return written;
}

// A run that cannot read its client or write its output must say so instead of "completed".
// Empty roots are left to the task, which names them in its own line.
void CheckRunRoots(const PathSettings& settings) {
  if (!settings.clientRoot.empty() && !FolderExists(settings.clientRoot)) {
    throw std::runtime_error("Client folder not found: " + settings.clientRoot);
  }
  if (settings.outputRoot.empty()) return;
  if (!EnsureDirectory(settings.outputRoot)) {
    throw std::runtime_error("Cannot create output folder: " + settings.outputRoot);
  }
  if (!CanWriteInFolder(settings.outputRoot)) {
    throw std::runtime_error("Output folder is not writable: " + settings.outputRoot);
  }
}

void RunSelectedTask(int taskKind) {
  const char* line = TaskLine(taskKind);
  if (line == nullptr) return;
  AddGuiLog(line, GuiLogInfo);
  const TaskDriver driver = GetTaskDriver(taskKind);
  // A known task that nothing registered has not run; saying "completed" would be a lie.
  if (driver == nullptr) throw std::runtime_error("Task not available.");
  driver();
}

}  // namespace

char* ClientPathText() { return clientPathText; }

char* OutputPathText() { return outputPathText; }

void SetPathText(char* buffer, const char* text) {
  std::size_t length = 0;
  while (text != nullptr && length < kPathTextSize - 1 && text[length] != '\0') ++length;
  if (length > 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

void RegisterTaskDriver(int taskKind, TaskDriver driver) {
  if (taskKind >= 0 && taskKind < kTaskKindCount) taskDrivers[taskKind].store(driver);
}

TaskDriver GetTaskDriver(int taskKind) {
  if (taskKind < 0 || taskKind >= kTaskKindCount) return nullptr;
  return taskDrivers[taskKind].load();
}

void RunPipeline() {
  PipelineState& state = GetPipelineState();
  state.running.store(true);
  state.stopRequested.store(false);
  state.progress.store(0.0f);
  try {
    AddGuiLog("Starting Pipeline...", GuiLogInfo);
    SetClientRoot(clientPathText);
    SetOutputRoot(outputPathText);
    CheckRunRoots(GetPathSettings());
    if (state.stopRequested.load()) {
      state.running.store(false);
      state.stopRequested.store(false);
      return;
    }
    RunSelectedTask(state.selectedTask.load());
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
