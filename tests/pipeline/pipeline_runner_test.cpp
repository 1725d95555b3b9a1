// The runner, and the run state and selection hand-over it shares with the window.
#include "pipeline/pipeline_runner.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"
#include "support/export_journal.hpp"
#include "support/file_operations.hpp"
#include "support/test_environment.hpp"

namespace {

using Lines = std::vector<std::string>;

const char* const kNothingSummary =
    "Summary: 0 bundles, 0 files (0.0 MB), 0 references not found, 0 skipped as standard, 0 refused./0";

std::mutex heardMutex;
Lines heard;  // window-log lines as "text/level"
PathSettings rootsSeen;
int driverCalls = 0;

class PipelineRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int kind = 0; kind < 4; ++kind) savedDrivers_[kind] = GetTaskDriver(kind);
    for (int kind = 0; kind < 4; ++kind) RegisterTaskDriver(kind, nullptr);
    driverCalls = 0;
    GetPipelineState().stopRequested = false;
    SetClientPathText(temp_.path() + "Client");
    SetOutputPathText(temp_.path() + "out//");
    platform::CreateSingleFolder(temp_.path() + "Client");
    SetGuiLogListener([](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(heardMutex);
      heard.push_back(entry.text + "/" + std::to_string(entry.level));
    });
  }
  void TearDown() override {
    SetGuiLogListener(nullptr);
    for (int kind = 0; kind < 4; ++kind) RegisterTaskDriver(kind, savedDrivers_[kind]);
    GetPipelineState().selectedTask = TaskMsm;
  }
  static Lines Heard() {
    std::lock_guard<std::mutex> lock(heardMutex);
    return heard;
  }
  static void Run(int kind) {
    heard.clear();
    GetPipelineState().selectedTask = kind;
    RunPipeline();
    EXPECT_FALSE(GetPipelineState().running || GetPipelineState().stopRequested);
  }
  testenv::ScopedTempDir temp_{"runner"};
  testenv::ScopedRunRoots roots_{"", "", ""};  // no mirror-drive line on Windows
  TaskDriver savedDrivers_[4] = {};
};

TEST_F(PipelineRunnerTest, EachKindRunsItsOwnDriverAndFailuresAreErrorsNotCompletions) {
  Run(TaskNpc);
  EXPECT_EQ(Heard(), (Lines{"Starting Pipeline.../0", "Task NPC.../0", "ERROR: Task not available./2"}));
  RegisterTaskDriver(TaskMsm, [] {
    SetProgressMonotonic(0.4f);
    throw std::runtime_error("list \"x\" unreadable");
  });
  Run(TaskMsm);
  EXPECT_EQ(Heard().back(), "ERROR: list \"x\" unreadable/2");
  EXPECT_EQ(GetPipelineState().progress.load(), 0.4f);
  RegisterTaskDriver(TaskMapObjects, [] { throw 42; });
  Run(TaskMapObjects);
  EXPECT_EQ(Heard().back(), "ERROR: Critical Failure./2");

  const char* lines[] = {"Task MSM.../0", "Task ITEMS.../0", "Task NPC.../0", "Task MAP OBJECTS.../0"};
  for (int kind = 0; kind < 4; ++kind) {
    RegisterTaskDriver(kind, [] {
      ++driverCalls;
      rootsSeen = GetPathSettings();
      SetProgressMonotonic(0.3f);
    });
    Run(kind);
    EXPECT_EQ(Heard(),
              (Lines{"Starting Pipeline.../0", lines[kind], kNothingSummary, "OK: Task Completed./3"}));
    EXPECT_EQ(driverCalls, kind + 1);
  }
  EXPECT_EQ(rootsSeen.clientRoot, temp_.path() + "Client\\");
  EXPECT_EQ(rootsSeen.outputRoot, temp_.path() + "out");
  EXPECT_EQ(GetPipelineState().progress.load(), 1.0f);
  Run(7);  // no such kind: nothing runs
  EXPECT_EQ(driverCalls, 4);
  EXPECT_EQ(Heard(), (Lines{"Starting Pipeline.../0", "OK: Task Completed./3"}));
}

TEST_F(PipelineRunnerTest, UnusableRootsEndTheRunAsAnErrorBeforeAnyTask) {
  RegisterTaskDriver(TaskMsm, [] { ++driverCalls; });
  const std::string blocker = testenv::WriteFile(temp_.path() + "file", "");
  const struct {
    std::string client, output, error;
  } cases[] = {
      {temp_.path() + "missing", temp_.path() + "out",
       "ERROR: Client folder not found: " + temp_.path() + "missing\\/2"},
      {blocker, temp_.path() + "out", "ERROR: Client folder not found: " + blocker + "\\/2"},
      {temp_.path() + "Client", blocker + "\\sub",
       "ERROR: Cannot create output folder: " + blocker + "\\sub/2"},
  };
  for (const auto& c : cases) {
    SetClientPathText(c.client);
    SetOutputPathText(c.output);
    Run(TaskMsm);
    EXPECT_EQ(Heard(), (Lines{"Starting Pipeline.../0", c.error}));
  }
  EXPECT_EQ(driverCalls, 0);
}

// The report of a stopped run says so and lists what was written before the stop.
TEST_F(PipelineRunnerTest, StopDuringARunKeepsProgressAndReportsWhatWasWritten) {
  RegisterTaskDriver(TaskNpc, [] {  // works until STOP, checking the flag before each item
    const std::string folder = GetPathSettings().outputRoot + "\\Exported_Models_NPC\\[wolf]";
    {
      const JournalBundleScope bundle(folder, "", 0);
      ASSERT_TRUE(WriteFile(folder + "\\wolf.txt", "grey"));
    }
    for (int i = 1; !GetPipelineState().stopRequested; ++i) {
      SetProgressMonotonic(std::min(0.25f, i / 1000.0f));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  GetPipelineState().progress = 0.9f;  // the last run's value; a new run starts from zero
  heard.clear();
  GetPipelineState().selectedTask = TaskNpc;
  std::thread worker(RunPipeline);
  for (int i = 0; i < 5000 && !(Heard().size() == 2 && GetPipelineState().progress >= 0.25f); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(GetPipelineState().running);
  GetPipelineState().stopRequested = true;
  worker.join();
  const Lines lines = Heard();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2].rfind("Summary: 1 bundles, 1 files (0.0 MB), 0 references not found", 0), 0u)
      << lines[2];
  EXPECT_EQ(lines.back(), "INFO: Process Stopped./1");
  const nlohmann::json report =
      nlohmann::json::parse(testenv::ReadFile(temp_.path() + "out\\Exported_Models_NPC\\export_report.json"));
  EXPECT_EQ(report["run"]["outcome"], "stopped");
  EXPECT_EQ(report["bundles"][0]["files"][0]["path"], "[wolf]\\wolf.txt");
  EXPECT_EQ(report["bundles"][0]["files"][0]["bytes"], 4);
  EXPECT_EQ(GetPipelineState().progress.load(), 0.25f);
  EXPECT_FALSE(GetPipelineState().running || GetPipelineState().stopRequested);
}

using namespace std::chrono_literals;
using Answer = std::future<std::vector<int>>;

class SelectionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    GetPipelineState().stopRequested = false;
    ResumeSelections();
  }
  // Posts a request from a worker thread and waits until the GUI sees it.
  Answer Ask(std::vector<std::string> candidates) {
    Answer answer =
        std::async(std::launch::async, [=] { return RequestUserSelection("Select file MSM:", candidates); });
    for (int i = 0; i < 5000 && !(request.awaitingAnswer && request.popupOpen); ++i)
      std::this_thread::sleep_for(2ms);
    return answer;
  }
  void Tick(std::size_t index) {
    std::lock_guard<std::mutex> lock(request.answerMutex);
    if (index < request.ticked.size()) request.ticked[index] = true;
  }
  static std::vector<int> Get(Answer& answer) {
    if (answer.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the worker is still waiting";
      GetPipelineState().stopRequested = true;  // let it go rather than hang the binary
    }
    return answer.get();
  }
  SelectionRequest& request = GetSelectionRequest();
};

TEST_F(SelectionTest, ConfirmReturnsTickedIndicesInOrderAndCancelStopOrShutdownDropThem) {
  Answer answer = Ask({"a.msm", "b.msm", "c.msm", "d.msm"});
  EXPECT_EQ(request.candidates, (std::vector<std::string>{"a.msm", "b.msm", "c.msm", "d.msm"}));
  Tick(3);
  Tick(1);
  ConfirmSelection();
  EXPECT_EQ(Get(answer), (std::vector<int>{1, 3}));
  EXPECT_FALSE(request.popupOpen || request.awaitingAnswer);

  ConfirmSelection();  // a stale click must not touch the next request
  Answer next = Ask({"a", "b"});
  EXPECT_EQ(request.ticked, std::vector<bool>(2, false));
  Tick(0);
  CancelSelection();
  EXPECT_TRUE(Get(next).empty());

  // STOP, or the window going away, ends a pending request as a cancel.
  Answer stopped = Ask({"a", "b"});
  Tick(0);
  GetPipelineState().stopRequested = true;
  EXPECT_TRUE(Get(stopped).empty());
  EXPECT_FALSE(request.popupOpen || request.awaitingAnswer);
  GetPipelineState().stopRequested = false;

  Answer closed = Ask({"a", "b"});
  CancelPendingSelection();
  EXPECT_TRUE(Get(closed).empty());
  Answer later = std::async(std::launch::async, [] { return RequestUserSelection("x", {"c", "d"}); });
  EXPECT_TRUE(Get(later).empty()) << "nobody is left to answer: no wait at all";

  ResumeSelections();
  Answer resumed = Ask({"e", "f"});
  Tick(0);
  ConfirmSelection();
  EXPECT_EQ(Get(resumed), std::vector<int>{0});
}

TEST(ProgressTest, NeverMovesBackExceptToZero) {
  GetPipelineState().progress = 0.0f;
  const float set[] = {0.5f, 0.3f, std::nanf(""), 0.0f, 0.7f, -2.0f, 5.0f, 0.9f, INFINITY};
  const float then[] = {0.5f, 0.5f, 0.5f, 0.0f, 0.7f, 0.0f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < 9; ++i) {
    SetProgressMonotonic(set[i]);
    EXPECT_EQ(GetPipelineState().progress.load(), then[i]) << set[i];
  }
  GetPipelineState().progress = 0.0f;  // a lost race between publishers would keep a smaller value
  std::vector<std::thread> publishers;
  for (int t = 0; t < 4; ++t)
    publishers.emplace_back([t] {
      for (int i = 1; i <= 2000; ++i) SetProgressMonotonic(static_cast<float>(i * 4 + t) / 8004.0f);
    });
  for (std::thread& publisher : publishers) publisher.join();
  EXPECT_EQ(GetPipelineState().progress.load(), 8003.0f / 8004.0f);
}

}  // namespace
