#include "pipeline/msm_task.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/test_environment.hpp"

namespace {

// The task ends early, with one window-log line, when it has nothing to work on or a stop comes while
// the scripts are looked for (no choice is asked then, nothing parsed); a start it cannot work with
// also throws, so that the run ends as an error rather than as completed.
TEST(MsmTask, UnusableStartsAndAStopDuringTheScanEndTheTaskWithTheirOwnMessage) {
  testenv::ScopedTempDir temp("msmtask");
  const std::string blocker = testenv::WriteFile(temp / "blocked", "a file, not a folder");
  testenv::WriteFile(temp / "client\\msm\\elf_m.msm", "Group HairData01\n{\n}\n");
  testenv::WriteFile(temp / "races\\msm\\warrior_m.msm", "Group HairData01\n{\n}\n");
  testenv::WriteFile(temp / "races\\msm\\shaman_w.msm", "Group HairData01\n{\n}\n");
  const std::string client = temp / "client\\";
  const struct {
    std::string client, output;
    bool stop;
    std::string last;
  } cases[] = {
      {client, "", false, "[ERROR] Path Not Found! Select Client and Output."},
      {client, blocker, false,
       "[ERROR] Cannot create directory output: " + blocker + "\\Exported_Models_MSM"},
      {temp / "races\\", temp / "stopped", true, "Scanning MSM..."},
      {client, temp / "out", false, "[WARN] No MSM Found."},
  };
  testenv::ScopedRunRoots roots("", "", "");
  for (const auto& c : cases) {
    std::mutex mutex;
    std::vector<std::string> window;
    SetGuiLogListener([&](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(mutex);
      window.push_back(entry.text);
    });
    GetPathSettings().clientRoot = c.client;
    GetPathSettings().outputRoot = c.output;
    GetPipelineState().stopRequested.store(c.stop);
    bool failed = false;
    try {
      RunMsmTask(temp / "refs");
    } catch (const std::runtime_error&) {
      failed = true;
    }
    GetPipelineState().stopRequested.store(false);
    SetGuiLogListener(nullptr);
    ASSERT_FALSE(window.empty()) << c.last;
    EXPECT_EQ(window.back(), c.last);
    EXPECT_EQ(failed, c.last.rfind("[ERROR]", 0) == 0) << c.last;
  }
  // The task folder exists and is the output root from then on.
  EXPECT_EQ(GetPathSettings().outputRoot, temp / "out\\Exported_Models_MSM");
  EXPECT_TRUE(testenv::IsFolder(GetPathSettings().outputRoot));
}

}  // namespace
