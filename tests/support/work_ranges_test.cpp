#include "support/work_ranges.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

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
