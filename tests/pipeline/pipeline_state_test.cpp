#include "pipeline/pipeline_state.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Waits on the GUI side until the worker has posted its request.
bool WaitForRequest() {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (GetSelectionRequest().awaitingAnswer.load() && GetSelectionRequest().popupOpen.load()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override { GetPipelineState().stopRequested.store(false); }
  void TearDown() override {
    GetPipelineState().stopRequested.store(false);
    ResumeSelections();
  }

  std::future<std::vector<int>> Ask(std::vector<std::string> candidates) {
    return std::async(std::launch::async,
                      [candidates] { return RequestUserSelection("Select file MSM:", candidates); });
  }
};

TEST_F(SelectionTest, ConfirmReturnsTickedIndicesInOrder) {
  auto answer = Ask({"a.msm", "b.msm", "c.msm", "d.msm"});
  ASSERT_TRUE(WaitForRequest());
  SelectionRequest& request = GetSelectionRequest();
  {
    std::lock_guard<std::mutex> lock(request.answerMutex);
    EXPECT_EQ(request.title, "Select file MSM:");
    EXPECT_EQ(request.candidates, (std::vector<std::string>{"a.msm", "b.msm", "c.msm", "d.msm"}));
    EXPECT_EQ(request.ticked, std::vector<bool>(4, false));
    request.ticked[3] = true;
    request.ticked[1] = true;
  }
  ConfirmSelection();
  EXPECT_EQ(answer.get(), (std::vector<int>{1, 3}));
  EXPECT_FALSE(request.popupOpen.load());
  EXPECT_FALSE(request.awaitingAnswer.load());

  // A stale click after the answer must not touch the next request.
  ConfirmSelection();
  auto single = Ask({"only.msm"});
  ASSERT_TRUE(WaitForRequest());
  EXPECT_EQ(GetSelectionRequest().ticked, std::vector<bool>(1, false));
  ConfirmSelection();
  EXPECT_TRUE(single.get().empty());
}

TEST_F(SelectionTest, CancelDropsTicks) {
  auto answer = Ask({"a", "b"});
  ASSERT_TRUE(WaitForRequest());
  {
    std::lock_guard<std::mutex> lock(GetSelectionRequest().answerMutex);
    GetSelectionRequest().ticked[0] = true;
  }
  CancelSelection();
  EXPECT_TRUE(answer.get().empty());
  EXPECT_FALSE(GetSelectionRequest().popupOpen.load());
}

TEST_F(SelectionTest, StopEndsAPendingRequest) {
  auto answer = Ask({"a", "b"});
  ASSERT_TRUE(WaitForRequest());
  GetSelectionRequest().ticked[0] = true;
  GetPipelineState().stopRequested.store(true);
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(answer.get().empty());
  EXPECT_FALSE(GetSelectionRequest().awaitingAnswer.load());
  EXPECT_FALSE(GetSelectionRequest().popupOpen.load());
}

TEST_F(SelectionTest, GuiShutdownEndsPendingAndLaterRequests) {
  auto answer = Ask({"a", "b"});
  ASSERT_TRUE(WaitForRequest());
  CancelPendingSelection();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(answer.get().empty());

  // Nobody is left to answer: a request made afterwards must not wait for ever either.
  auto later = Ask({"c", "d"});
  ASSERT_EQ(later.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(later.get().empty());

  ResumeSelections();
  auto resumed = Ask({"e", "f"});
  ASSERT_TRUE(WaitForRequest());
  GetSelectionRequest().ticked[0] = true;
  ConfirmSelection();
  EXPECT_EQ(resumed.get(), std::vector<int>{0});
}

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { GetPipelineState().progress.store(0.0f); }
  float Progress() { return GetPipelineState().progress.load(); }
};

TEST_F(ProgressTest, NeverMovesBackExceptToZero) {
  SetProgressMonotonic(0.5f);
  EXPECT_EQ(Progress(), 0.5f);
  SetProgressMonotonic(0.3f);
  EXPECT_EQ(Progress(), 0.5f);
  SetProgressMonotonic(std::nanf(""));
  EXPECT_EQ(Progress(), 0.5f);
  SetProgressMonotonic(0.5f);
  EXPECT_EQ(Progress(), 0.5f);
  SetProgressMonotonic(0.0f);
  EXPECT_EQ(Progress(), 0.0f);
  SetProgressMonotonic(0.7f);
  SetProgressMonotonic(-2.0f);  // clamps to an explicit zero
  EXPECT_EQ(Progress(), 0.0f);
  SetProgressMonotonic(5.0f);
  EXPECT_EQ(Progress(), 1.0f);
  SetProgressMonotonic(0.9f);
  EXPECT_EQ(Progress(), 1.0f);
  SetProgressMonotonic(INFINITY);
  EXPECT_EQ(Progress(), 1.0f);
}

TEST_F(ProgressTest, ConcurrentPublishersNeverLoseTheMaximum) {
  std::atomic<bool> done{false};
  std::atomic<bool> wentBack{false};
  std::thread watcher([&] {
    float last = 0.0f;
    while (!done.load()) {
      const float now = Progress();
      if (now < last) wentBack.store(true);
      last = now;
    }
  });
  std::vector<std::thread> publishers;
  for (int t = 0; t < 4; ++t) {
    publishers.emplace_back([t] {
      for (int i = 1; i <= 2000; ++i) SetProgressMonotonic(static_cast<float>(i * 4 + t) / 8004.0f);
    });
  }
  for (std::thread& publisher : publishers) publisher.join();
  done.store(true);
  watcher.join();
  EXPECT_FALSE(wentBack.load());
  EXPECT_EQ(Progress(), 8003.0f / 8004.0f);
}

}  // namespace
