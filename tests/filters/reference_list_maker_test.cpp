#include "filters/reference_list_maker.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

using testenv::ReadFile;
using testenv::ScopedTempDir;
using testenv::WriteFile;

namespace {

void WriteBaseClient(const ScopedTempDir& client) {
  WriteFile(client / "msm\\Warrior_M.msm", "Group ShapeData\r\n");
  WriteFile(client / "locale\\msm\\warrior_m.msm", "Group HairData\n");
  WriteFile(client / "locale\\item_list.txt", "10\tWEAPON\ticon\\10.tga\td:/ymir work/item/10.gr2\r\n");
  WriteFile(client / "pack\\Item_List.txt", "11\tARMOR\ticon\\11.tga\t\n");
  WriteFile(client / "locale\\npclist.txt", "101\twolf\n");
  WriteFile(client / "property\\a\\tree.prb", "YPRT\r\n1\r\npropertyname\t\"Big_Tree\"\r\n");
  WriteFile(client / "zone\\tree2.prb", "YPRT\r\n2\r\npropertyname\t\"big_tree\"\r\n");
  WriteFile(client / "zone\\broken.prb", "not a property\r\n");
}

}  // namespace

// Every list of the base client lands in the folder the filters read; names are merged as the
// tasks merge them, property names once whatever their letter case.
TEST(ReferenceListMaker, WritesWhatTheFiltersRead) {
  ScopedTempDir client("base");
  ScopedTempDir out("lists");
  WriteBaseClient(client);
  const ReferenceListResult made = MakeReferenceLists(client.path(), out / "made", false);
  ASSERT_TRUE(made.ok) << made.error;
  EXPECT_EQ(made.counts.raceScripts, 2);
  EXPECT_EQ(made.counts.itemLists, 2);
  EXPECT_EQ(made.counts.itemLines, 2);
  EXPECT_EQ(made.counts.npcLines, 1);
  EXPECT_EQ(made.counts.prbFiles, 3);
  EXPECT_EQ(ReadPropertyOldList(out / "made"), std::vector<std::string>{"big_tree"});
  EXPECT_TRUE(testenv::IsFile(out / "made\\warrior_m_old.msm"));
  EXPECT_TRUE(testenv::IsFile(out / "made\\warrior_m_2_old.msm"));
  EXPECT_NE(ReadFile(out / "made\\item_list_old.txt").find("11\tARMOR"), std::string::npos);
  EXPECT_NE(ReadFile(out / "made\\README.txt").find("Property names: 1 (from 3 .prb files)"),
            std::string::npos);

  // Made again from a base with one script less: the stale one would still mark groups standard.
  platform::DeleteFile(client / "locale\\msm\\warrior_m.msm");
  ASSERT_TRUE(MakeReferenceLists(client.path(), out / "made", false).ok);
  EXPECT_FALSE(testenv::Exists(out / "made\\warrior_m_2_old.msm"));
}

TEST(ReferenceListMaker, RefusesUnsafeFoldersAndForeignFiles) {
  ScopedTempDir client("base");
  ScopedTempDir out("lists");
  WriteBaseClient(client);
  EXPECT_FALSE(MakeReferenceLists(client.path(), client / "lists", false).ok);
  EXPECT_FALSE(MakeReferenceLists(client.path(), client.path(), false).ok);
  if (testenv::MakeLink(client.path(), out / "into_client", true)) {
    EXPECT_FALSE(MakeReferenceLists(client.path(), out / "into_client\\new\\lists", false).ok);
  }
  EXPECT_FALSE(testenv::Exists(client / "lists"));
  EXPECT_FALSE(testenv::Exists(client / "new"));

  // A folder of someone else's files is left alone unless asked.
  const std::string foreign = WriteFile(out / "mine\\item_list_old.txt", "hand made\n");
  const ReferenceListResult refused = MakeReferenceLists(client.path(), out / "mine", false);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("item_list_old.txt"), std::string::npos);
  EXPECT_EQ(ReadFile(foreign), "hand made\n");
  EXPECT_FALSE(testenv::Exists(out / "mine\\README.txt"));
  ASSERT_TRUE(MakeReferenceLists(client.path(), out / "mine", true).ok);
  EXPECT_NE(ReadFile(foreign), "hand made\n");
  EXPECT_TRUE(MakeReferenceLists(client.path(), out / "mine", false).ok);
}
