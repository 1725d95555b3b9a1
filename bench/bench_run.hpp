// What the export benchmarks share: a scratch folder that also holds debug.log, client files written
// with the standard library (not through the layer being measured), and one timed pipeline run.
#pragma once

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace bench {

inline bool WriteBytes(const std::string& path, const std::string& contents) {
  const std::optional<std::string> native = platform::ToNativePath(path);
  if (!native) return false;
  std::ofstream file(*native, std::ios::binary);
  return static_cast<bool>(file.write(contents.data(), static_cast<std::streamsize>(contents.size())));
}

// A fresh folder below the temp folder (empty string when it cannot be made); debug.log goes below
// it, not to the user's folder.
inline std::string MakeBenchRoot(const std::string& label) {
  const std::string root = platform::TempFolder() + "vintrel-" + label + "-bench-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  if (platform::CreateFolderWithParents(root) == platform::CreateFolderResult::Failed) return "";
  const std::optional<std::string> stateFolder = platform::ToNativePath(root + "\\state");
  platform::SetEnvironmentVariable("XDG_STATE_HOME", stateFolder ? *stateFolder : std::string());
  platform::SetEnvironmentVariable("LOCALAPPDATA", stateFolder ? *stateFolder : std::string());
  return root;
}

struct TimedRun {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  bool completed = false;  // the run ended in "OK: Task Completed."
};

// The selected task on `client` into `output`, without mirror copies, through the pipeline runner.
inline TimedRun RunPipelineTimed(const std::string& client, const std::string& output) {
  static std::atomic<bool> completed{false};
  completed.store(false);
  SetGuiLogListener([](const GuiLogEntry& entry) {
    if (entry.text == "OK: Task Completed.") completed.store(true);
  });
  SetClientPathText(client);
  SetOutputPathText(output);
  GetPathSettings().mirrorRoot.clear();
  TimedRun run;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  std::thread worker(RunPipeline);
  worker.join();
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  run.completed = completed.load();
  SetGuiLogListener(nullptr);
  return run;
}

}  // namespace bench
