#include "readers/shining_table.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "readers/reader_test_files.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

std::string PathOf(const ShiningTable& table, std::int32_t vnum) {
  const std::string* path = table.Find(vnum);
  return path ? *path : "<none>";
}

ShiningTable Parse(const std::string& text, std::uint64_t& assignments) {
  return ParseShiningTableText(text, assignments);
}

}  // namespace

TEST(ShiningTable, CommentsBlankLinesAndLinesThatDoNotFitAreSkipped) {
  std::uint64_t assignments = 0;
  const ShiningTable table = Parse(
      "# glow of the new swords\r\n"
      "\r\n"
      "   \r\n"
      "\r\n"
      "  # indented comment\t\"x.mse\"\r\n"
      "100 \"no tab.mse\"\r\n"
      "101\tno quotes.mse\r\n"
      "102\t\"one quote.mse\r\n"
      "sword\t\"no number.mse\"\r\n"
      "2147483648\t\"too big.mse\"\r\n"
      "~5\t\"no low end.mse\"\r\n"
      "103 \t \"d:/ymir work/effect/caf\xe9 \xb0\xcb.mse\"\tcolumn\r\n"
      "104\t\"d:/ymir work/effect/a.mse\"\r\n",
      assignments);
  EXPECT_EQ(assignments, 2u);
  EXPECT_EQ(table.DistinctCount(), 2u);
  // Other code pages pass through; columns after the quoted path are not part of it.
  EXPECT_EQ(PathOf(table, 103), "d:\\ymir work\\effect\\caf\xe9 \xb0\xcb.mse");
  EXPECT_EQ(PathOf(table, 104), "d:\\ymir work\\effect\\a.mse");
  for (const std::int32_t skipped : {100, 101, 102, 5}) EXPECT_EQ(table.Find(skipped), nullptr) << skipped;
}

TEST(ShiningTable, RangesOverwritesAndTheAssignmentCounter) {
  std::uint64_t assignments = 0;
  const ShiningTable table = Parse(
      "12010~12019\t\"d:/ymir work/effect/sword.mse\"\n"
      "12015\t\"d:/ymir work/effect/glint.mse\"\n"
      "5~3\t\"backwards.mse\"\n"
      " 20 ~ 21 \t\"spaced.mse\"\n"
      "21\t\"later.mse\"\n",
      assignments);
  // Assignments, not distinct numbers: 10 + 1 + 0 + 2 + 1.
  EXPECT_EQ(assignments, 14u);
  EXPECT_EQ(table.DistinctCount(), 12u);
  EXPECT_EQ(PathOf(table, 12010), "d:\\ymir work\\effect\\sword.mse");
  EXPECT_EQ(PathOf(table, 12014), "d:\\ymir work\\effect\\sword.mse");
  EXPECT_EQ(PathOf(table, 12015), "d:\\ymir work\\effect\\glint.mse");
  EXPECT_EQ(PathOf(table, 12019), "d:\\ymir work\\effect\\sword.mse");
  EXPECT_EQ(table.Find(12009), nullptr);
  EXPECT_EQ(table.Find(12020), nullptr);
  EXPECT_EQ(table.Find(4), nullptr);
  EXPECT_EQ(PathOf(table, 20), "spaced.mse");
  EXPECT_EQ(PathOf(table, 21), "later.mse");
}

TEST(ShiningTable, RangesAsWideAsInt32EndAtOnceAndStayExact) {
  const auto started = std::chrono::steady_clock::now();
  std::uint64_t assignments = 0;
  const ShiningTable table = Parse(
      "1~2147483647\t\"all.mse\"\n"
      "500\t\"one.mse\"\n"
      "-2147483648~-2147483647\t\"lowest.mse\"\n"
      "2147483646~2147483647\t\"top.mse\"\n"
      "1~2147483647\t\"again.mse\"\n"
      "2147483647\t\"last.mse\"\n",
      assignments);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));

  EXPECT_EQ(assignments, 2 * std::uint64_t{2147483647} + 1 + 2 + 2 + 1);
  EXPECT_EQ(table.DistinctCount(), std::uint64_t{2147483647} + 2);
  EXPECT_EQ(PathOf(table, 1), "again.mse");
  EXPECT_EQ(PathOf(table, 500), "again.mse");
  EXPECT_EQ(PathOf(table, kMax - 1), "again.mse");
  EXPECT_EQ(PathOf(table, kMax), "last.mse");
  EXPECT_EQ(PathOf(table, kMin), "lowest.mse");
  EXPECT_EQ(PathOf(table, kMin + 1), "lowest.mse");
  EXPECT_EQ(table.Find(kMin + 2), nullptr);
  EXPECT_EQ(table.Find(0), nullptr);
}

TEST(ShiningTable, AnswersLikeTheNumberByNumberExpansion) {
  std::mt19937 random(20240611u);
  std::uniform_int_distribution<int> number(-12, 12);
  std::uniform_int_distribution<int> lineCount(0, 25);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    std::map<std::int32_t, std::string> expanded;
    std::uint64_t expectedAssignments = 0;
    const int lines = lineCount(random);
    for (int i = 0; i < lines; ++i) {
      const int low = number(random);
      const int high = number(random);
      const std::string path = "fx/" + std::to_string(i) + ".mse";
      const bool single = low == high && i % 2 == 0;
      text += (single ? std::to_string(low) : std::to_string(low) + "~" + std::to_string(high)) + "\t\"" +
              path + "\"\n";
      for (int n = low; n <= high; ++n) {
        expanded[n] = "fx\\" + std::to_string(i) + ".mse";
        ++expectedAssignments;
      }
    }
    std::uint64_t assignments = 0;
    const ShiningTable table = Parse(text, assignments);
    ASSERT_EQ(assignments, expectedAssignments) << text;
    ASSERT_EQ(table.DistinctCount(), expanded.size()) << text;
    for (int n = -14; n <= 14; ++n) {
      const auto it = expanded.find(n);
      ASSERT_EQ(PathOf(table, n), it == expanded.end() ? "<none>" : it->second) << n << "\n" << text;
    }
  }
}

TEST(ShiningTable, LoadsAFileAndGivesAnEmptyTableForAMissingOne) {
  testenv::ScopedTempDir folder("shining");
  readertest::WriteTextFile(folder.path() + "shiningtable.txt", "7~9\t\"a/b.mse\"\r\n");
  const ShiningTable table = LoadShiningTable(folder.path() + "shiningtable.txt");
  EXPECT_EQ(table.DistinctCount(), 3u);
  EXPECT_EQ(PathOf(table, 8), "a\\b.mse");
  EXPECT_TRUE(LoadShiningTable(folder.path() + "missing.txt").Empty());
}

namespace {

// Runs in a fresh process, so that this is the first use of the process-wide table.
bool ConcurrentFirstCallsShareOneLoadedTable() {
  testenv::ScopedTempDir client("shining-client");
  readertest::WriteTextFile(client.path() + "locale\\common\\ShiningTable.txt",
                            "# effects\n12010~12019\t\"d:/ymir work/effect/sword.mse\"\n");
  SetClientRoot(client.path());
  BuildClientFileIndex(client.path());

  constexpr int kThreads = 8;
  std::atomic<bool> go{false};
  std::vector<const ShiningTable*> seen(kThreads, nullptr);
  std::vector<std::string> paths(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      seen[i] = &GetShiningTable();
      paths[i] = PathOf(*seen[i], 12012);
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();

  bool same = true;
  for (int i = 0; i < kThreads; ++i) {
    same = same && seen[i] == seen[0] && paths[i] == "d:\\ymir work\\effect\\sword.mse";
  }
  // Loaded once: a file that appears later is not read.
  readertest::WriteTextFile(client.path() + "shiningtable.txt", "1\t\"late.mse\"\n");
  BuildClientFileIndex(client.path());
  return same && GetShiningTable().Find(1) == nullptr && GetShiningTable().DistinctCount() == 10u;
}

}  // namespace

TEST(ShiningTableDeathTest, FirstCallsFromSeveralThreadsShareOneLoadedTable) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(ConcurrentFirstCallsShareOneLoadedTable() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}
