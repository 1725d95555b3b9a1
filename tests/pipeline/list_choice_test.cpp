#include "pipeline/list_choice.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

using testenv::ScopedTempDir;

// Copies of one list in several folders, whatever their letter case, are offered as one name, shown
// as first met; only existing files of the chosen names are read.
TEST(ListChoice, GroupsByNameAndKeepsOnlyExistingFiles) {
  ScopedTempDir client("lists");
  const std::string a = testenv::WriteFile(client / "locale\\Item_List.txt", "1\n");
  const std::string b = testenv::WriteFile(client / "pack\\item_list.txt", "2\n");
  const std::string folder = client / "odd\\item_list.txt";
  ASSERT_EQ(platform::CreateFolderWithParents(folder), platform::CreateFolderResult::Created);
  const std::string npc = testenv::WriteFile(client / "npclist.txt", "3\n");
  testenv::ScopedRunRoots roots(client.path(), client / "out", "");

  const std::vector<ListGroup> groups = GroupListsByName({a, npc, b, folder, client / "gone\\ITEM_LIST.TXT"});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(CandidateLabel(groups[0]), "Item_List.txt (4x)");
  EXPECT_EQ(CandidateLabel(groups[1]), "npclist.txt");
  EXPECT_EQ(ChooseListGroups({groups[0]}, "never asked"), std::vector<int>{0});
  EXPECT_EQ(ValidListPaths(groups, {1, 7, 0, -1}), (std::vector<std::string>{npc, a, b}));
}

TEST(ListChoice, RemovingAMergedListToleratesOnlyItsAbsence) {
  ScopedTempDir temp("merged");
  const std::string merged = testenv::WriteFile(temp / "merged.txt", "x\n");
  EXPECT_NO_THROW(RemoveMergedList(merged));
  EXPECT_FALSE(testenv::Exists(merged));
  EXPECT_NO_THROW(RemoveMergedList(merged));
  // A folder standing in its place cannot be deleted as a file: that must end the task, not pass.
  ASSERT_EQ(platform::CreateFolderWithParents(temp / "stuck\\inner"), platform::CreateFolderResult::Created);
  EXPECT_THROW(RemoveMergedList(temp / "stuck"), std::runtime_error);
}
