#include "readers/npc_list_reader.hpp"

#include <gtest/gtest.h>

#include "readers/reader_test_files.hpp"
#include "support/test_environment.hpp"

namespace {

struct Expected {
  std::int32_t id;
  std::string variantName;
  std::string folderName;
};

void ExpectEntries(const std::vector<NpcEntry>& entries, const std::vector<Expected>& expected) {
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(entries[i].id, expected[i].id) << i;
    EXPECT_EQ(entries[i].variantName, expected[i].variantName) << i;
    EXPECT_EQ(entries[i].folderName, expected[i].folderName) << i;
  }
}

}  // namespace

TEST(NpcListReader, ColumnRulesOfNumberAndVariantLines) {
  const auto entries = ParseNpcListText(
      "101\tstray_dog\n"
      "0\tbank_02 \tbank\n"  // variant name with a blank before the tab
      "0\t12zi_chicken_boss2\t12zi_chicken_boss\textra\n"
      "102\t\twolf\n"  // an empty column vanishes
      "  103 \t  \t bear  \n"
      "102\n"
      "wolf\t102\n"
      "20abc\ttrailing_text\n"
      "-7\tshade\n"
      "101\tstray_dog\n");
  ExpectEntries(entries, {{101, "", "stray_dog"},
                          {0, "bank_02", "bank"},
                          {0, "12zi_chicken_boss2", "12zi_chicken_boss"},
                          {102, "", "wolf"},
                          {103, "", "bear"},
                          {20, "", "trailing_text"},
                          {-7, "", "shade"},
                          {101, "", "stray_dog"}});
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[1].rawLine, "0\tbank_02 \tbank");
  EXPECT_EQ(entries[4].rawLine, "103 \t  \t bear");
}

TEST(NpcListReader, CommentsBlankLinesAndMixedLineEnds) {
  const auto entries = ParseNpcListText(
      "# monsters\r\n"
      "/ a single slash is a comment\r\n"
      "//101\tdog\r\n"
      "   \t  \r\n"
      "\r\n"
      "  #102\tcat\r"
      "103\t\xb0\xcb\xb1\xe2\r"  // folder name in CP949 bytes; a lone CR ends the line
      "104\tcaf\xe9\n"
      "105\tlast");
  ExpectEntries(entries, {{103, "", "\xb0\xcb\xb1\xe2"}, {104, "", "caf\xe9"}, {105, "", "last"}});
}

TEST(NpcListReader, FindsListsInWalkOrderAndReadsThem) {
  testenv::ScopedTempDir client("npc");
  const std::string root = client.path();
  readertest::WriteTextFile(root + "npclist.txt", "1\tone\n");
  readertest::WriteTextFile(root + "b\\NPCList.TXT", "2\ttwo\n");
  readertest::WriteTextFile(root + "a\\deep\\npclist.txt", "3\tthree\n");
  readertest::WriteTextFile(root + "a\\npclist.txt.old", "4\tfour\n");

  // Folder entries where the listing meets them, the root file once.
  const std::vector<std::string> expected{root + "\\a\\deep\\npclist.txt", root + "\\b\\NPCList.TXT",
                                          root + "\\npclist.txt"};
  const auto lists = FindNpcLists(root);
  EXPECT_EQ(lists, expected);
  ASSERT_EQ(lists.size(), 3u);
  ExpectEntries(ParseNpcList(lists[1]), {{2, "", "two"}});
  EXPECT_TRUE(ParseNpcList(root + "missing.txt").empty());
  EXPECT_TRUE(FindNpcLists(root + "missing").empty());
}
