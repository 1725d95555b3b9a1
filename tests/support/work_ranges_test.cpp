#include "support/work_ranges.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "log/gui_log.hpp"

#include "pipeline/pipeline_state.hpp"

TEST(WorkRanges, SplitsIntoConsecutiveRangesLargerFirst) {
  using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(SplitIntoRanges(10, 4), (Ranges{{0, 3}, {3, 6}, {6, 8}, {8, 10}}));
  const Ranges one = SplitIntoRanges(1, 8);
  ASSERT_EQ(one.size(), 8u);
  EXPECT_EQ(one[0], (std::pair<std::size_t, std::size_t>{0, 1}));
  for (std::size_t i = 1; i < one.size(); ++i) EXPECT_EQ(one[i].first, one[i].second);
  EXPECT_EQ(SplitIntoRanges(5, 0), (Ranges{{0, 5}}));
}

// One entry that throws must not end the loop (or, on its thread, the process); a stop ends it.
TEST(WorkRanges, OneByOneSurvivesAThrowingEntryAndEndsOnStop) {
  std::vector<std::size_t> seen;
  EXPECT_EQ(RunOneByOne(4,
                        [&](std::size_t i) {
                          seen.push_back(i);
                          if (i == 1) throw std::runtime_error("bad entry");
                        }),
            4u);
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3}));

  seen.clear();
  EXPECT_EQ(RunOneByOne(5,
                        [&](std::size_t i) {
                          seen.push_back(i);
                          if (i == 2) GetPipelineState().stopRequested.store(true);
                        }),
            3u);
  GetPipelineState().stopRequested.store(false);
  EXPECT_EQ(seen.size(), 3u);
}

// Entries finish out of order (the early ones sleep longest), yet the window log and the console
// hold each entry's lines together and in entry order, a failure included, as if run one by one.
TEST(WorkRanges, InOrderGivesOutEachEntrysOutputInEntryOrder) {
  constexpr std::size_t kEntries = 40;
  std::vector<std::string> shown;
  SetGuiLogListener([&shown](const GuiLogEntry& entry) { shown.push_back(entry.text); });
  std::atomic<int> running{0};
  std::atomic<int> mostAtOnce{0};
  testing::internal::CaptureStdout();
  const std::size_t run = RunInOrder(kEntries, 4, [&](std::size_t i) {
    const int now = ++running;
    for (int seen = mostAtOnce.load(); now > seen && !mostAtOnce.compare_exchange_weak(seen, now);) {
    }
    AddGuiLog("entry " + std::to_string(i) + " begins", GuiLogInfo);
    std::this_thread::sleep_for(std::chrono::milliseconds((kEntries - i) % 7));
    --running;
    if (i % 13 == 1) throw std::runtime_error("bad entry " + std::to_string(i));
    AddGuiLog("entry " + std::to_string(i) + " ends", GuiLogInfo);
  });
  const std::string console = testing::internal::GetCapturedStdout();
  SetGuiLogListener(nullptr);
  EXPECT_EQ(run, kEntries);
  EXPECT_GT(mostAtOnce.load(), 1) << "entries never ran side by side";

  std::vector<std::string> expected;
  std::string expectedConsole;
  for (std::size_t i = 0; i < kEntries; ++i) {
    expected.push_back("entry " + std::to_string(i) + " begins");
    if (i % 13 == 1) {
      expectedConsole +=
          "[ERR] Entry " + std::to_string(i + 1) + " failed: bad entry " + std::to_string(i) + "\n";
    } else {
      expected.push_back("entry " + std::to_string(i) + " ends");
    }
  }
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(console, expectedConsole);
}

// Entries that export into one folder (any letter case) take turns in entry order, the first
// holding the folder until it ends; entries with folders of their own go on beside them.
TEST(WorkRanges, EntriesSharingAFolderTakeTurnsInEntryOrder) {
  const std::vector<std::vector<std::string>> folders = {
      {"out\\Shared"}, {"out\\own1"}, {"out\\shared", "out\\own2"}, {}, {"OUT\\SHARED", "out\\own2"}};
  FolderTurns turns;
  std::mutex mutex;
  std::vector<std::string> events;
  const auto note = [&](const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(event);
  };
  RunInOrder(folders.size(), 3, [&](std::size_t i) {
    const FolderTurns::Claims claims(turns, i);
    turns.Claim(folders[i], i);
    turns.AwaitTurn(i);
    note("start " + std::to_string(i));
    if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (i == 2) throw std::runtime_error("an entry that fails still gives its folders up");
    note("end " + std::to_string(i));
  });
  const auto at = [&events](const std::string& event) {
    return std::find(events.begin(), events.end(), event) - events.begin();
  };
  ASSERT_EQ(events.size(), 9u);
  EXPECT_GT(at("start 2"), at("end 0"));
  EXPECT_GT(at("start 4"), at("start 2"));
  EXPECT_LT(at("start 1"), at("end 0")) << "an entry with a folder of its own waited";
  EXPECT_LT(at("start 3"), at("end 0")) << "an entry without folders waited";
}
