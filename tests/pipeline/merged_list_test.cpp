#include "pipeline/merged_list.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

std::string Write(const std::string& path, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

std::string ReadAll(const std::string& path) {
  std::string contents;
  EXPECT_TRUE(platform::ReadWholeFile(path, contents)) << path;
  return contents;
}

std::size_t CountTempFiles(const std::string& pattern) {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(platform::TempFolder(), entries, pattern);
  return entries.size();
}

}  // namespace

TEST(MergedList, DistinctLinesInOrderOfFirstAppearance) {
  testing_support::ScopedTempFolder client;
  const std::vector<std::string> paths{
      Write(client / "a_item_list.txt", "1 A\r\n2 B\r\n"),
      (client / "missing_item_list.txt"),
      Write(client / "b_item_list.txt", "2 B\n\n3 C\r\n\xe9t\xe9\r5 E"),
      Write(client / "c_item_list.txt", "1 A\n4 D \n4 D\n3 c\n"),
  };
  const std::string merged = CreateMergedList(paths, "item_list.txt (3x)");
  ASSERT_FALSE(merged.empty());
  EXPECT_EQ(ReadAll(merged), "1 A\r\n2 B\r\n3 C\r\n\xe9t\xe9\r\n5 E\r\n4 D \r\n4 D\r\n3 c\r\n");

  const std::string stem = platform::TempFolder() + "Vintrel_merged_item_list.txt__3x__";
  ASSERT_EQ(merged.compare(0, stem.size(), stem), 0) << merged;
  const std::string ticks = merged.substr(stem.size(), merged.size() - stem.size() - 4);
  EXPECT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.find_first_not_of("0123456789"), std::string::npos) << ticks;
  EXPECT_EQ(merged.substr(merged.size() - 4), ".txt");
  EXPECT_TRUE(platform::DeleteFile(merged));
}

TEST(MergedList, NothingToMergeCreatesNoFile) {
  testing_support::ScopedTempFolder client;
  const std::string label = "empty-merge-" + std::to_string(platform::CurrentThreadId());
  EXPECT_EQ(CreateMergedList({}, label), "");
  const std::vector<std::string> paths{Write(client / "blank.txt", "\r\n\n\r"),
                                       Write(client / "empty.txt", ""), (client / "missing.txt")};
  EXPECT_EQ(CreateMergedList(paths, label), "");
  EXPECT_EQ(CountTempFiles("Vintrel_merged_" + label + "_*"), 0u);
}

TEST(MergedList, CallsInQuickSuccessionGetDistinctFiles) {
  testing_support::ScopedTempFolder client;
  const std::vector<std::string> first{Write(client / "one.txt", "first\n")};
  const std::vector<std::string> second{Write(client / "two.txt", "second\n")};
  const std::string a = CreateMergedList(first, "npclist.txt (2x)");
  const std::string b = CreateMergedList(second, "npclist.txt (2x)");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(ReadAll(a), "first\r\n");
  EXPECT_EQ(ReadAll(b), "second\r\n");
  platform::DeleteFile(a);
  platform::DeleteFile(b);
}

TEST(MergedList, LabelKeepsOnlySafeAsciiBytes) {
  EXPECT_EQ(SanitizeMergedListLabel("npclist.txt (3x)"), "npclist.txt__3x_");
  EXPECT_EQ(SanitizeMergedListLabel("a-b_c.D9"), "a-b_c.D9");
  EXPECT_EQ(SanitizeMergedListLabel("..\\x/\xe9:*"), ".._x____");
}
