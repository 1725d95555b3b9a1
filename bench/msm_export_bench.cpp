// "Hair + Body" export over a generated client: milliseconds per group at 1k, 4k and 16k groups.
// A cost per group that grows with the group count means some step redoes work for every group
// already written.
//
// Client: one race script with N hair groups, each naming its own model and texture in one shared
// folder. Every run writes into a fresh output folder, so all N group folders land in one folder.
// The model runtime is not loaded: analysis would cost the same per group at any N.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/test_environment.hpp"
#include "log/gui_log.hpp"
#include "pipeline/msm_task.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace {

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%05d", value);
  return text;
}

// The client is written with the standard library, not through the layer being measured.
bool WriteBytes(const std::string& path, const std::string& contents) {
  const std::optional<std::string> native = platform::ToNativePath(path);
  if (!native) return false;
  std::ofstream file(*native, std::ios::binary);
  return static_cast<bool>(file.write(contents.data(), static_cast<std::streamsize>(contents.size())));
}

bool WriteClient(const std::string& client, int groups) {
  const std::string hair = client + "pc\\warrior\\hair\\";
  if (platform::CreateFolderWithParents(hair) == platform::CreateFolderResult::Failed ||
      platform::CreateFolderWithParents(client + "msm") == platform::CreateFolderResult::Failed) {
    return false;
  }
  std::string script = "Group HairData\r\n{\r\n\tPathName\t\"d:/ymir work/pc/warrior/\"\r\n";
  for (int i = 0; i < groups; ++i) {
    const std::string name = "hair_" + Number(i);
    script += "\tGroup HairData" + Number(i) + "\r\n\t{\r\n\t\tHairIndex\t" + std::to_string(i) +
              "\r\n\t\tModel\t\"hair/" + name + ".gr2\"\r\n\t\tSourceSkin\t\"hair/" + name +
              ".dds\"\r\n\t}\r\n";
    if (!WriteBytes(hair + name + ".gr2", "model " + name) ||
        !WriteBytes(hair + name + ".dds", "skin " + name)) {
      return false;
    }
  }
  script += "}\r\n";
  return WriteBytes(client + "msm\\warrior_m.msm", script);
}

std::atomic<bool> g_completed{false};

void CountLine(const GuiLogEntry& entry) {
  if (entry.text == "OK: Task Completed.") g_completed.store(true);
}

}  // namespace

int main(int argc, char** argv) {
  // Group counts may be given on the command line (for a profiler run at one size).
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {1000, 4000, 16000};

  const std::string root = platform::TempFolder() + "vintrel-msm-bench-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  if (platform::CreateFolderWithParents(root) == platform::CreateFolderResult::Failed) {
    std::fprintf(stderr, "cannot create %s\n", root.c_str());
    return 1;
  }
  // debug.log and the reference lists stay in the bench's folder, not the user's.
  const std::optional<std::string> stateFolder = platform::ToNativePath(root + "\\state");
  platform::SetEnvironmentVariable("XDG_STATE_HOME", stateFolder ? *stateFolder : std::string());
  platform::SetEnvironmentVariable("LOCALAPPDATA", stateFolder ? *stateFolder : std::string());
  static std::string references;
  references = root + "\\refs";
  platform::CreateFolderWithParents(references);
  RegisterTaskDriver(TaskMsm, [] { RunMsmTask(references); });
  GetPipelineState().selectedTask.store(TaskMsm);
  SetGuiLogListener(CountLine);

  // Processor time as well: the machine the figures come from is shared, which stretches wall-clock time.
  std::fprintf(stderr, "%8s %10s %14s %12s %14s\n", "groups", "wall s", "wall ms/group", "cpu s",
               "cpu ms/group");
  int status = 0;
  for (int groups : counts) {
    const std::string client = root + "\\client" + std::to_string(groups) + "\\";
    const std::string output = root + "\\out" + std::to_string(groups);
    if (!WriteClient(client, groups)) {
      std::fprintf(stderr, "cannot write the client below %s\n", client.c_str());
      status = 1;
      break;
    }
    SetClientPathText(client);
    SetOutputPathText(output);
    GetPathSettings().mirrorRoot.clear();
    g_completed.store(false);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::thread worker(RunPipeline);
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!g_completed.load()) {
      std::fprintf(stderr, "the run at %d groups did not complete\n", groups);
      status = 1;
      break;
    }
    std::fprintf(stderr, "%8d %10.2f %14.3f %12.2f %14.3f\n", groups, seconds, 1000.0 * seconds / groups,
                 cpuSeconds, 1000.0 * cpuSeconds / groups);
    testenv::RemoveTree(client);
    testenv::RemoveTree(output);
  }
  SetGuiLogListener(nullptr);
  testenv::RemoveTree(root);
  return status;
}
