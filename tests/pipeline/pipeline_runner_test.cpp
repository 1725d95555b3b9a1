#include "pipeline/pipeline_runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/client_paths.hpp"

namespace {

struct Heard {
  std::string text;
  int level;
  bool operator==(const Heard& other) const { return text == other.text && level == other.level; }
};

std::ostream& operator<<(std::ostream& out, const Heard& heard) {
  return out << "{" << heard.text << ", " << heard.level << "}";
}

// What the drivers of these tests saw and did.
std::mutex heardMutex;
std::vector<Heard> heard;
PathSettings rootsSeenByDriver;
int driverCalls = 0;
std::vector<int> selectionSeenByDriver;

void RecordingDriver() {
  ++driverCalls;
  rootsSeenByDriver = GetPathSettings();
  SetProgressMonotonic(0.3f);
}

void ThrowingDriver() {
  SetProgressMonotonic(0.4f);
  throw std::runtime_error("list \"x\" unreadable");
}

void ThrowingIntDriver() {
  SetProgressMonotonic(0.2f);
  throw 42;
}

// Works until STOP, the way every task loop checks the flag before each item.
void LoopingDriver() {
  for (int i = 1; !GetPipelineState().stopRequested.load(); ++i) {
    SetProgressMonotonic(std::min(0.25f, i / 1000.0f));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SelectingDriver() {
  selectionSeenByDriver = RequestUserSelection("Select file NPC:", {"npclist.txt", "npclist_2.txt"});
  SetProgressMonotonic(0.6f);
}

class PipelineRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedRoots_ = GetPathSettings();
    for (int kind = 0; kind < 4; ++kind) {
      savedDrivers_[kind] = GetTaskDriver(kind);
      RegisterTaskDriver(kind, nullptr);
    }
    heard.clear();
    driverCalls = 0;
    selectionSeenByDriver = {-1};
    SetPathText(ClientPathText(), "");
    SetPathText(OutputPathText(), "");
    GetPipelineState().progress.store(0.0f);
    GetPipelineState().stopRequested.store(false);
    SetGuiLogListener([](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(heardMutex);
      heard.push_back({entry.text, entry.level});
    });
  }

  void TearDown() override {
    SetGuiLogListener(nullptr);
    for (int kind = 0; kind < 4; ++kind) RegisterTaskDriver(kind, savedDrivers_[kind]);
    GetPipelineState().selectedTask.store(TaskMsm);
    GetPipelineState().stopRequested.store(false);
    GetPathSettings() = savedRoots_;
  }

  std::vector<Heard> HeardSoFar() {
    std::lock_guard<std::mutex> lock(heardMutex);
    return heard;
  }

  static bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

 private:
  PathSettings savedRoots_;
  TaskDriver savedDrivers_[4] = {};
};

TEST_F(PipelineRunnerTest, CompletedRunSetsRootsAndReports) {
  RegisterTaskDriver(TaskItems, RecordingDriver);
  GetPipelineState().selectedTask.store(TaskItems);
  SetPathText(ClientPathText(), "G:/Client");
  SetPathText(OutputPathText(), "C:/out//");
  RunPipeline();

  EXPECT_EQ(driverCalls, 1);
  EXPECT_EQ(rootsSeenByDriver.clientRoot, "G:\\Client\\");
  EXPECT_EQ(rootsSeenByDriver.outputRoot, "C:\\out");
  EXPECT_EQ(
      HeardSoFar(),
      (std::vector<Heard>{{"Starting Pipeline...", 0}, {"Task ITEMS...", 0}, {"OK: Task Completed.", 3}}));
  EXPECT_EQ(GetPipelineState().progress.load(), 1.0f);
  EXPECT_FALSE(GetPipelineState().running.load());
}

TEST_F(PipelineRunnerTest, EachKindRunsItsOwnDriverOnly) {
  const char* lines[] = {"Task MSM...", "Task ITEMS...", "Task NPC...", "Task MAP OBJECTS..."};
  for (int kind = 0; kind < 4; ++kind) RegisterTaskDriver(kind, RecordingDriver);
  for (int kind = 0; kind < 4; ++kind) {
    heard.clear();
    GetPipelineState().selectedTask.store(kind);
    RunPipeline();
    EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{
                                {"Starting Pipeline...", 0}, {lines[kind], 0}, {"OK: Task Completed.", 3}}));
  }
  EXPECT_EQ(driverCalls, 4);
}

TEST_F(PipelineRunnerTest, UnknownKindRunsNothingAndCompletes) {
  for (int kind = 0; kind < 4; ++kind) RegisterTaskDriver(kind, RecordingDriver);
  GetPipelineState().selectedTask.store(7);
  RunPipeline();
  EXPECT_EQ(driverCalls, 0);
  EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{{"Starting Pipeline...", 0}, {"OK: Task Completed.", 3}}));
  EXPECT_EQ(GetPipelineState().progress.load(), 1.0f);
}

TEST_F(PipelineRunnerTest, MissingDriverIsAnErrorNotACompletion) {
  GetPipelineState().selectedTask.store(TaskNpc);
  RunPipeline();
  EXPECT_EQ(HeardSoFar(),
            (std::vector<Heard>{
                {"Starting Pipeline...", 0}, {"Task NPC...", 0}, {"ERROR: Task not available.", 2}}));
  EXPECT_FALSE(GetPipelineState().running.load());
}

TEST_F(PipelineRunnerTest, DriverExceptionsAreReportedAndClearRunning) {
  RegisterTaskDriver(TaskMsm, ThrowingDriver);
  RegisterTaskDriver(TaskMapObjects, ThrowingIntDriver);
  GetPipelineState().selectedTask.store(TaskMsm);
  RunPipeline();
  EXPECT_EQ(HeardSoFar().back(), (Heard{"ERROR: list \"x\" unreadable", 2}));
  EXPECT_EQ(GetPipelineState().progress.load(), 0.4f);
  EXPECT_FALSE(GetPipelineState().running.load());

  heard.clear();
  GetPipelineState().selectedTask.store(TaskMapObjects);
  RunPipeline();
  EXPECT_EQ(HeardSoFar(),
            (std::vector<Heard>{
                {"Starting Pipeline...", 0}, {"Task MAP OBJECTS...", 0}, {"ERROR: Critical Failure.", 2}}));
  EXPECT_EQ(GetPipelineState().progress.load(), 0.2f);
  EXPECT_FALSE(GetPipelineState().running.load());
  EXPECT_FALSE(GetPipelineState().stopRequested.load());
}

TEST_F(PipelineRunnerTest, StopDuringARunKeepsProgress) {
  RegisterTaskDriver(TaskNpc, LoopingDriver);
  GetPipelineState().selectedTask.store(TaskNpc);
  GetPipelineState().progress.store(0.9f);  // the last run's value; a new run starts from zero
  std::thread worker(RunPipeline);
  // The old 0.9 is still there until the run resets it: wait for the task's own line first.
  ASSERT_TRUE(WaitFor([] {
    std::lock_guard<std::mutex> lock(heardMutex);
    return heard.size() == 2 && GetPipelineState().progress.load() >= 0.25f;
  }));
  EXPECT_TRUE(GetPipelineState().running.load());
  GetPipelineState().stopRequested.store(true);
  worker.join();

  EXPECT_EQ(
      HeardSoFar(),
      (std::vector<Heard>{{"Starting Pipeline...", 0}, {"Task NPC...", 0}, {"INFO: Process Stopped.", 1}}));
  EXPECT_EQ(GetPipelineState().progress.load(), 0.25f);
  EXPECT_FALSE(GetPipelineState().running.load());
  EXPECT_FALSE(GetPipelineState().stopRequested.load());
}

TEST_F(PipelineRunnerTest, StopBeforeDispatchEndsSilently) {
  RegisterTaskDriver(TaskMsm, RecordingDriver);
  // STOP pressed while the run is still setting up its roots.
  SetGuiLogListener([](const GuiLogEntry& entry) {
    heard.push_back({entry.text, entry.level});
    if (entry.text == "Starting Pipeline...") GetPipelineState().stopRequested.store(true);
  });
  SetPathText(ClientPathText(), "H:\\c");
  RunPipeline();
  EXPECT_EQ(driverCalls, 0);
  EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{{"Starting Pipeline...", 0}}));
  EXPECT_EQ(GetPathSettings().clientRoot, "H:\\c\\");
  EXPECT_FALSE(GetPipelineState().running.load());
  EXPECT_FALSE(GetPipelineState().stopRequested.load());
}

TEST_F(PipelineRunnerTest, SelectionDuringARun) {
  RegisterTaskDriver(TaskNpc, SelectingDriver);
  GetPipelineState().selectedTask.store(TaskNpc);

  std::thread worker(RunPipeline);
  ASSERT_TRUE(WaitFor([] { return GetSelectionRequest().awaitingAnswer.load(); }));
  GetSelectionRequest().ticked[1] = true;
  ConfirmSelection();
  worker.join();
  EXPECT_EQ(selectionSeenByDriver, std::vector<int>{1});
  EXPECT_EQ(HeardSoFar().back(), (Heard{"OK: Task Completed.", 3}));

  // STOP while the popup is open: the wait ends as a cancel and the run reports the stop.
  heard.clear();
  std::thread stopped(RunPipeline);
  ASSERT_TRUE(WaitFor([] { return GetSelectionRequest().awaitingAnswer.load(); }));
  GetPipelineState().stopRequested.store(true);
  stopped.join();
  EXPECT_TRUE(selectionSeenByDriver.empty());
  EXPECT_EQ(HeardSoFar().back(), (Heard{"INFO: Process Stopped.", 1}));
  EXPECT_FALSE(GetSelectionRequest().popupOpen.load());
}

TEST(PathText, TruncatesAndTerminates) {
  char buffer[kPathTextSize];
  std::memset(buffer, 'x', sizeof buffer);
  const std::string longPath(400, 'a');
  SetPathText(buffer, longPath.c_str());
  EXPECT_EQ(std::string(buffer), std::string(kPathTextSize - 1, 'a'));
  SetPathText(buffer, "G:\\Client");
  EXPECT_EQ(std::string(buffer), "G:\\Client");
  SetPathText(buffer, nullptr);
  EXPECT_EQ(std::string(buffer), "");
}

}  // namespace
