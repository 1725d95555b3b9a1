#include "log/gui_log.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <thread>

namespace {

class GuiLogTest : public ::testing::Test {
 protected:
  void TearDown() override { SetGuiLogListener(nullptr); }
};

TEST_F(GuiLogTest, KeepsTheNewestFiveHundred) {
  for (int i = 1; i <= 501; ++i) AddGuiLog("window " + std::to_string(i), i % 4);
  const std::vector<GuiLogEntry> entries = GuiLogSnapshot();
  ASSERT_EQ(entries.size(), kGuiLogCapacity);
  EXPECT_EQ(entries.front().text, "window 2");
  EXPECT_EQ(entries.front().level, 2);
  EXPECT_EQ(entries.back().text, "window 501");
  EXPECT_EQ(entries.back().level, 1);
  const std::string& time = entries.back().time;
  ASSERT_EQ(time.size(), 8u) << time;
  for (std::size_t i = 0; i < time.size(); ++i) {
    EXPECT_TRUE(i % 3 == 2 ? time[i] == ':' : std::isdigit(static_cast<unsigned char>(time[i])) != 0) << time;
  }

  AddGuiLog("window 502", GuiLogSuccess);
  std::size_t seen = 0;
  WithGuiLog([&seen](const std::vector<GuiLogEntry>& all) {
    seen = all.size();
    EXPECT_EQ(all.front().text, "window 3");
  });
  EXPECT_EQ(seen, kGuiLogCapacity);
}

TEST_F(GuiLogTest, ListenerRunsOutsideTheLock) {
  std::vector<std::string> heard;
  SetGuiLogListener([&heard](const GuiLogEntry& entry) {
    // Reading the log from the listener would deadlock if it were called under the log's lock.
    const std::vector<GuiLogEntry> now = GuiLogSnapshot();
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(now.back().text, entry.text);
    heard.push_back(entry.text + "/" + std::to_string(entry.level));
  });
  AddGuiLog("heard", GuiLogWarning);
  SetGuiLogListener(nullptr);
  AddGuiLog("not heard", GuiLogInfo);
  EXPECT_EQ(heard, std::vector<std::string>{"heard/1"});
}

TEST_F(GuiLogTest, ConcurrentWritersAndReader) {
  std::atomic<bool> done{false};
  std::thread reader([&done] {
    while (!done.load()) {
      WithGuiLog([](const std::vector<GuiLogEntry>& all) { ASSERT_LE(all.size(), kGuiLogCapacity); });
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 400; ++i) AddGuiLog("w" + std::to_string(t) + " " + std::to_string(i), GuiLogInfo);
    });
  }
  for (std::thread& writer : writers) writer.join();
  done.store(true);
  reader.join();
  const std::vector<GuiLogEntry> entries = GuiLogSnapshot();
  ASSERT_EQ(entries.size(), kGuiLogCapacity);
  // Only the oldest go: what is left of each writer is an unbroken run ending with its last line.
  std::vector<int> next(4, -1);
  for (const GuiLogEntry& entry : entries) {
    ASSERT_EQ(entry.text[0], 'w');
    const int writer = entry.text[1] - '0';
    const int number = std::stoi(entry.text.substr(3));
    if (next[writer] >= 0) {
      EXPECT_EQ(number, next[writer]) << entry.text;
    }
    next[writer] = number + 1;
  }
  for (int t = 0; t < 4; ++t) EXPECT_TRUE(next[t] == -1 || next[t] == 400) << "writer " << t;
}

}  // namespace
