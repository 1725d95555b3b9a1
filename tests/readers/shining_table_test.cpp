#include "readers/shining_table.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

#include "support/client_file_index.hpp"
#include "support/test_environment.hpp"

static std::string PathOf(const ShiningTable& table, std::int32_t vnum) {
  const std::string* path = table.Find(vnum);
  return path ? *path : "<none>";
}

TEST(ShiningTable, SkipsLinesThatDoNotFitAndEndsWideRangesAtOnce) {
  std::uint64_t assignments = 0;
  const ShiningTable table = ParseShiningTableText(
      "# glow\r\n\r\n   \r\n  # indented\t\"x.mse\"\r\n100 \"no tab.mse\"\r\n101\tno quotes.mse\r\n"
      "102\t\"one quote.mse\r\nsword\t\"x.mse\"\r\n2147483648\t\"too big.mse\"\r\n~5\t\"no low.mse\"\r\n"
      "103 \t \"d:/ymir work/caf\xe9 \xb0\xcb.mse\"\tcolumn\r\n 20 ~ 21 \t\"spaced.mse\"\r\n",
      assignments);
  EXPECT_EQ(assignments, 3u);
  // Other code pages pass through; columns after the quoted path are not part of it.
  EXPECT_EQ(PathOf(table, 103), "d:\\ymir work\\caf\xe9 \xb0\xcb.mse");
  EXPECT_EQ(PathOf(table, 21), "spaced.mse");
  EXPECT_TRUE(LoadShiningTable(testenv::ScopedTempDir() / "missing.txt").Empty());

  // Ranges as wide as int32 end at once and stay exact.
  const auto started = std::chrono::steady_clock::now();
  const ShiningTable wide = ParseShiningTableText(
      "1~2147483647\t\"all.mse\"\n500\t\"one.mse\"\n-2147483648~-2147483647\t\"lowest.mse\"\n"
      "1~2147483647\t\"again.mse\"\n2147483647\t\"last.mse\"\n",
      assignments);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(assignments, 2 * std::uint64_t{2147483647} + 1 + 2 + 1);
  EXPECT_EQ(wide.DistinctCount(), std::uint64_t{2147483647} + 2);
  EXPECT_EQ(PathOf(wide, 500) + PathOf(wide, 2147483646) + PathOf(wide, 2147483647),
            "again.mseagain.mselast.mse");
  EXPECT_EQ(PathOf(wide, -2147483647 - 1) + PathOf(wide, -2147483646) + PathOf(wide, 0),
            "lowest.mse<none><none>");
}

TEST(ShiningTable, AnswersLikeTheNumberByNumberExpansion) {
  std::mt19937 random(20240611u);
  std::uniform_int_distribution<int> number(-12, 12);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    std::map<std::int32_t, std::string> expanded;
    std::uint64_t expectedAssignments = 0;
    for (int i = 0, lines = number(random) + 12; i < lines; ++i) {
      const int low = number(random);
      const int high = number(random);
      const std::string path = "fx\\" + std::to_string(i) + ".mse";
      text += std::to_string(low) + (low == high && i % 2 == 0 ? "" : "~" + std::to_string(high)) + "\t\"" +
              path + "\"\n";
      for (int n = low; n <= high; ++n, ++expectedAssignments) expanded[n] = path;
    }
    std::uint64_t assignments = 0;
    const ShiningTable table = ParseShiningTableText(text, assignments);
    ASSERT_EQ(assignments, expectedAssignments) << text;
    ASSERT_EQ(table.DistinctCount(), expanded.size()) << text;
    for (int n = -14; n <= 14; ++n) {
      ASSERT_EQ(PathOf(table, n), expanded.count(n) ? expanded[n] : "<none>") << n << "\n" << text;
    }
  }
}

// Runs in a fresh process, so that this is the first use of the process-wide table.
static bool ConcurrentFirstCallsShareOneLoadedTable() {
  testenv::ScopedTempDir client;
  testenv::WriteFile(client / "locale\\ShiningTable.txt", "# fx\n12010~12019\t\"d:/ymir work/sword.mse\"\n");
  SetClientRoot(client.path());
  BuildClientFileIndex(client.path());
  std::atomic<bool> go{false};
  std::vector<const ShiningTable*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (auto& slot : seen)
    threads.emplace_back([&go, out = &slot] {
      while (!go) std::this_thread::yield();
      *out = GetShiningTable().get();
    });
  go = true;
  for (std::thread& thread : threads) thread.join();
  bool same = PathOf(*seen[0], 12012) == "d:\\ymir work\\sword.mse";
  for (const ShiningTable* table : seen) same = same && table == seen[0];
  // Loaded once per client: a file that appears later is not read, another client's is.
  testenv::WriteFile(client / "shiningtable.txt", "1\t\"late.mse\"\n");
  BuildClientFileIndex(client.path());
  same = same && GetShiningTable()->Find(1) == nullptr && GetShiningTable()->DistinctCount() == 10u;
  testenv::ScopedTempDir other;
  testenv::WriteFile(other / "shiningtable.txt", "7\t\"other.mse\"\n");
  BuildClientFileIndex(other.path());
  return same && GetShiningTable()->DistinctCount() == 1u && GetShiningTable()->Find(7) != nullptr;
}

TEST(ShiningTableDeathTest, FirstCallsFromSeveralThreadsShareOneLoadedTable) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(ConcurrentFirstCallsShareOneLoadedTable() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}
