#include "pipeline/msm_task.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

// The task ends early, with one window-log line, when it has nothing to work on; a start it cannot
// work with also throws, so that the run ends as an error rather than as completed.
TEST(MsmTaskEarlyEnds, EachUnusableStartEndsWithItsOwnMessage) {
  testenv::ScopedTempDir temp("msmtask");
  const std::string blocker = exporttest::WriteFile(temp.path() + "blocked", "a file, not a folder");
  exporttest::WriteFile(temp.path() + "client\\msm\\elf_m.msm", "Group HairData01\n{\n}\n");
  const std::string client = temp.path() + "client\\";
  const struct {
    std::string client, output, last;
  } cases[] = {
      {client, "", "[ERROR] Path Not Found! Select Client and Output."},
      {client, blocker, "[ERROR] Cannot create directory output: " + blocker + "\\Exported_Models_MSM"},
      {client, temp.path() + "out", "[WARN] No MSM Found."},
  };
  const PathSettings saved = GetPathSettings();
  for (const auto& c : cases) {
    std::mutex mutex;
    std::vector<std::string> window;
    SetGuiLogListener([&](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(mutex);
      window.push_back(entry.text);
    });
    GetPathSettings().clientRoot = c.client;
    GetPathSettings().outputRoot = c.output;
    bool failed = false;
    try {
      RunMsmTask(temp.path() + "refs");
    } catch (const std::runtime_error&) {
      failed = true;
    }
    SetGuiLogListener(nullptr);
    ASSERT_FALSE(window.empty()) << c.last;
    EXPECT_EQ(window.back(), c.last);
    EXPECT_EQ(failed, c.last.rfind("[ERROR]", 0) == 0) << c.last;
  }
  // The task folder exists and is the output root from then on.
  EXPECT_EQ(GetPathSettings().outputRoot, temp.path() + "out\\Exported_Models_MSM");
  EXPECT_EQ(platform::GetFileAttributes(GetPathSettings().outputRoot) & platform::kAttributeDirectory,
            platform::kAttributeDirectory);
  GetPathSettings() = saved;
}

// A stop while the scripts are looked for ends the task there: no choice is asked, nothing parsed.
TEST(MsmTaskStop, AStopDuringTheScanEndsTheTask) {
  testenv::ScopedTempDir temp("msmstop");
  exporttest::WriteFile(temp.path() + "client\\msm\\warrior_m.msm", "Group HairData01\n{\n}\n");
  exporttest::WriteFile(temp.path() + "client\\msm\\shaman_w.msm", "Group HairData01\n{\n}\n");
  exporttest::ScopedRunRoots roots(temp.path() + "client\\", temp.path() + "out", "");
  std::string last;
  SetGuiLogListener([&](const GuiLogEntry& entry) { last = entry.text; });
  GetPipelineState().stopRequested.store(true);
  RunMsmTask(temp.path() + "refs");
  GetPipelineState().stopRequested.store(false);
  SetGuiLogListener(nullptr);
  EXPECT_EQ(last, "Scanning MSM...");
}

}  // namespace
