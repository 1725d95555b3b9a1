#include "readers/npc_list_reader.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

// "id|variant|folder" of each entry.
static std::vector<std::string> Summary(const std::vector<NpcEntry>& entries) {
  std::vector<std::string> lines;
  for (const NpcEntry& e : entries)
    lines.push_back(std::to_string(e.id) + "|" + e.variantName + "|" + e.folderName);
  return lines;
}

TEST(NpcListReader, ColumnRulesCommentsAndEveryLineEnd) {
  const auto entries = ParseNpcListText(
      "# monsters\r\n/ a single slash is a comment\r\n//101\tdog\r\n   \t  \r\n  "
      "#102\tcat\r\n101\tstray_dog\r\n"
      "0\tbank_02 \tbank\r"  // variant name with a blank before the tab; a lone CR ends the line
      "0\t12zi_boss2\t12zi_boss\textra\n102\t\twolf\n  103 \t  \t bear  \n102\nwolf\t102\n20abc\ttrailing\n"
      "-7\tshade\n104\t\xb0\xcb\xb1\xe2");  // CP949 bytes, no final line end
  ASSERT_EQ(Summary(entries), (std::vector<std::string>{
                                  "101||stray_dog", "0|bank_02|bank", "0|12zi_boss2|12zi_boss", "102||wolf",
                                  "103||bear", "20||trailing", "-7||shade", "104||\xb0\xcb\xb1\xe2"}));
  EXPECT_EQ(entries[1].rawLine, "0\tbank_02 \tbank");
  EXPECT_EQ(entries[4].rawLine, "103 \t  \t bear");
}

TEST(NpcListReader, FindsListsInWalkOrderAndReadsThem) {
  testenv::ScopedTempDir client;
  const std::string root = client.path();
  for (const char* name : {"npclist.txt", "b\\NPCList.TXT", "a\\deep\\npclist.txt", "a\\npclist.txt.old"}) {
    testenv::WriteFile(client / name, "2\ttwo\n");
  }
  // Folder entries where the listing meets them, the root file once.
  const auto lists = FindNpcLists(root);
  ASSERT_EQ(lists, (std::vector<std::string>{root + "\\a\\deep\\npclist.txt", root + "\\b\\NPCList.TXT",
                                             root + "\\npclist.txt"}));
  EXPECT_EQ(Summary(ParseNpcList(lists[1])), std::vector<std::string>{"2||two"});
  EXPECT_TRUE(ParseNpcList(root + "missing.txt").empty());
}
