// START PROCESSING as the window does it: RunPipeline on a worker thread while the calling thread
// answers a selection request like the popup, and presses STOP once a given file is on disk.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"

namespace testenv {

struct PipelineRun {
  std::vector<std::string> window;  // the window-log lines, in order
  std::string title;                // empty when no selection was asked
  std::vector<std::string> candidates;
};

// Ticks `ticks` when asked; presses STOP when `stopWhenExists` (if not empty) exists.
inline PipelineRun StartPipeline(const std::string& client, const std::string& output,
                                 const std::vector<int>& ticks, const std::string& stopWhenExists = "") {
  PipelineRun run;
  std::mutex windowMutex;
  SetGuiLogListener([&](const GuiLogEntry& entry) {
    std::lock_guard<std::mutex> lock(windowMutex);
    run.window.push_back(entry.text);
  });
  SetClientPathText(client);
  SetOutputPathText(output);
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    RunPipeline();
    finished.store(true);
  });
  SelectionRequest& request = GetSelectionRequest();
  while (!finished.load()) {
    if (request.awaitingAnswer.load()) {
      {
        std::lock_guard<std::mutex> lock(request.answerMutex);
        run.title = request.title;
        run.candidates = request.candidates;
        for (int index : ticks) request.ticked[static_cast<std::size_t>(index)] = true;
      }
      ConfirmSelection();
    }
    if (!stopWhenExists.empty() &&
        platform::GetFileAttributes(stopWhenExists) != platform::kInvalidAttributes) {
      GetPipelineState().stopRequested.store(true);
    }
    platform::SleepMilliseconds(1);
  }
  worker.join();
  // A STOP pressed just as the run ended would stop whatever this process runs next.
  GetPipelineState().stopRequested.store(false);
  SetGuiLogListener(nullptr);
  return run;
}

}  // namespace testenv
