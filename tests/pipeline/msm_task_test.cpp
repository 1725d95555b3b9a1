#include "pipeline/msm_task.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace {

MsmGroupRecord Group(const std::string& type, const std::string& model, std::vector<std::string> dds) {
  MsmGroupRecord record;
  record.groupType = type;
  record.modelPath = model;
  record.ddsFiles = std::move(dds);
  return record;
}

TEST(MsmTaskKeys, SameTypeModelNameAndTexturesAreOneGroupWhateverFolderOrCase) {
  const std::string key =
      MsmDedupKey(Group("HairData", "d:\\ymir work\\pc\\a\\Hair_1.gr2", {"a.dds", "b.dds"}));
  EXPECT_EQ(key, "HairData|hair_1.gr2|a.dds,b.dds");
  EXPECT_EQ(MsmDedupKey(Group("HairData", "other\\folder\\HAIR_1.GR2", {"b.DDS", "A.dds"})), key);
  EXPECT_NE(MsmDedupKey(Group("ShapeData", "d:\\ymir work\\pc\\a\\Hair_1.gr2", {"a.dds", "b.dds"})), key);
  EXPECT_NE(MsmDedupKey(Group("HairData", "hair_1.gr2", {"a.dds"})), key);
  // Sorted as stored, then lowered: "B" sorts before "a", so {a, B} is not the same list as {a, b}.
  EXPECT_EQ(MsmDedupKey(Group("HairData", "", {"a.dds", "B.dds"})), "HairData||b.dds,a.dds");
}

TEST(MsmTaskKeys, KeptGroupsAreNumberedWithFourDigitsAtLeast) {
  EXPECT_EQ(NumberedGroupName(3, "HairData"), "[0003]HairData");
  EXPECT_EQ(NumberedGroupName(9999, "ShapeData"), "[9999]ShapeData");
  EXPECT_EQ(NumberedGroupName(12345, "ShapeData"), "[12345]ShapeData");
}

class MsmTaskEarlyEnds : public testing::Test {
 protected:
  MsmTaskEarlyEnds() : saved_(GetPathSettings()) {
    SetGuiLogListener([this](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(mutex_);
      window_.push_back(entry.text);
    });
    GetPipelineState().progress.store(0.0f);
  }
  ~MsmTaskEarlyEnds() override {
    SetGuiLogListener(nullptr);
    GetPathSettings() = saved_;
  }

  void Roots(const std::string& client, const std::string& output) {
    GetPathSettings().clientRoot = client.empty() ? client : client + "\\";
    GetPathSettings().outputRoot = output;
  }

  std::vector<std::string> Window() {
    std::lock_guard<std::mutex> lock(mutex_);
    return window_;
  }

  exporttest::TempFolder temp_;
  PathSettings saved_;
  std::mutex mutex_;
  std::vector<std::string> window_;
};

TEST_F(MsmTaskEarlyEnds, MissingRootsStopBeforeAnythingIsWritten) {
  Roots(temp_.Join("client"), "");
  RunMsmTask(temp_.Join("refs"));
  EXPECT_EQ(Window().back(), "[ERROR] Path Not Found! Select Client and Output.");
  EXPECT_EQ(GetPathSettings().outputRoot, "");
}

TEST_F(MsmTaskEarlyEnds, OutputBlockedByAFileIsReported) {
  const std::string blocker = temp_.WriteFile("out", "a file where the output folder should go");
  Roots(temp_.MakeFolder("client"), blocker);
  RunMsmTask(temp_.Join("refs"));
  EXPECT_EQ(Window().back(), "[ERROR] Cannot create directory output: " + blocker + "\\Exported_Models_MSM");
}

TEST_F(MsmTaskEarlyEnds, ClientWithoutStandardScriptsEndsWithAWarning) {
  temp_.WriteFile("client\\msm\\elf_m.msm", "Group HairData01\n{\n}\n");
  Roots(temp_.Join("client"), temp_.Join("out"));
  RunMsmTask(temp_.Join("refs"));
  EXPECT_EQ(Window().back(), "[WARN] No MSM Found.");
  EXPECT_GE(GetPipelineState().progress.load(), 0.33f);
  // The task folder exists and is the output root from now on.
  EXPECT_EQ(GetPathSettings().outputRoot, temp_.Join("out") + "\\Exported_Models_MSM");
  EXPECT_EQ(platform::GetFileAttributes(GetPathSettings().outputRoot) & platform::kAttributeDirectory,
            platform::kAttributeDirectory);
}

TEST_F(MsmTaskEarlyEnds, CancelledChoiceEndsWithAWarningAndOffersCountedLabels) {
  temp_.WriteFile("client\\a\\sura_w.msm", "");
  temp_.WriteFile("client\\b\\SURA_W.msm", "");
  temp_.WriteFile("client\\b\\shaman_m.msm", "");
  Roots(temp_.Join("client"), temp_.Join("out"));
  std::vector<std::string> offered;
  std::atomic<bool> done{false};
  std::thread popup([&] {
    SelectionRequest& request = GetSelectionRequest();
    while (!done.load()) {
      if (request.awaitingAnswer.load()) {
        {
          std::lock_guard<std::mutex> lock(request.answerMutex);
          offered = request.candidates;
        }
        CancelSelection();
        return;
      }
      platform::SleepMilliseconds(5);
    }
  });
  RunMsmTask(temp_.Join("refs"));
  done.store(true);
  popup.join();
  EXPECT_EQ(offered, (std::vector<std::string>{"shaman_m.msm", "sura_w.msm (2x)"}));
  EXPECT_EQ(Window().back(), "[WARN] No MSM Selected.");
  EXPECT_GE(GetPipelineState().progress.load(), 0.33f);
}

}  // namespace
