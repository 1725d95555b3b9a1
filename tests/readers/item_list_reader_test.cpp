#include "readers/item_list_reader.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

static std::vector<std::int32_t> Vnums(const std::vector<ItemEntry>& items) {
  std::vector<std::int32_t> vnums;
  for (const ItemEntry& item : items) vnums.push_back(item.vnum);
  return vnums;
}

TEST(ItemListReader, ColumnsLeadingNumberCategoryRuleAndRepeats) {
  const auto items = ParseItemListText(
      "10\tWEAPON\ticon/item/00010.tga\td:/ymir work/item/00010.gr2\r\n"
      "12010\tARMOR\ticon/item/12010.tga\t\t\r\n"  // empty last column, trailing tab
      "85001\tWING\t icon/85001.tga \t\"d:/ymir work/85001.gr2\"\t\textra\t\r\n"
      "sword\tWEAPON\ta\tword\n2147483648\tWEAPON\ta\ttoo_big\n8\tWEAPON\n"
      "123abc\tWEAPON\ta\ttrailing_text\n100~109\tWEAPON\ta\trange\n +7\tWEAPON\ta\tsigned\n");
  ASSERT_EQ(Vnums(items), (std::vector<std::int32_t>{10, 12010, 85001, 123, 100, 7}));
  EXPECT_EQ(items[0].iconPath, "icon\\item\\00010.tga");
  EXPECT_EQ(items[0].modelPath, "d:\\ymir work\\item\\00010.gr2");
  EXPECT_EQ(items[1].modelPath, "");
  EXPECT_EQ(items[1].rawLine, "12010\tARMOR\ticon/item/12010.tga\t\t");
  EXPECT_EQ(items[2].iconPath + "|" + items[2].modelPath, "icon\\85001.tga|d:\\ymir work\\85001.gr2");

  const auto typed = ParseItemListText(
      "1\tWEAPON \ta\tm1\n2\tWeapon\ta\tm2\n3\tETC\ta\tm3\n4\t\ta\tm4\n5\tw/ing\ta\tm5\n6\t a\\u/ra \ta\tm6\n"
      "7\tarmor x\ta\tm7\n"
      "20\tARMOR\ticon/a.tga\tmodel/a.gr2\n21\tARMOR\ticon/b.tga\n22\tARMOR\ticon/a.tga\tmodel/a.gr2\n"
      "23\tARMOR\ticon\\a.tga\tmodel\\a.gr2\n24\tarmor\ticon/a.tga\tmodel/a.gr2\n25\tARMOR\ticon/b.tga\t\n");
  ASSERT_EQ(Vnums(typed), (std::vector<std::int32_t>{1, 2, 5, 6, 20, 21, 24}));
  // The repeats' numbers stay with the record they were folded into, for their glow effects.
  EXPECT_EQ(typed[4].foldedVnums, (std::vector<std::int32_t>{22, 23}));
  EXPECT_EQ(typed[5].foldedVnums, (std::vector<std::int32_t>{25}));
  EXPECT_TRUE(typed[6].foldedVnums.empty());
  // The type as written (for the folder names) but trimmed and without slashes.
  EXPECT_EQ(typed[0].type + "|" + typed[1].type + "|" + typed[2].type + "|" + typed[3].type,
            "WEAPON|Weapon|wing|aura");
  EXPECT_EQ(NormalizeItemType("  two   blank  runs "), "two blank runs");
}

TEST(ItemListReader, CommentsAnyLineEndAndBytesOfOtherCodePages) {
  const std::string lf =
      "   // a commented line\n\n  \t \n30\tWEAPON\ticon/w // not a comment.tga\tm30\n"
      "31\tARMOR\ticon/caf\xe9.tga\td:/ymir work/\xb0\xcb/31.gr2\n";
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    const auto items = ParseItemListText(testenv::WithLineEnd(lf, end));
    ASSERT_EQ(Vnums(items), (std::vector<std::int32_t>{30, 31})) << end.size();
    EXPECT_EQ(items[0].iconPath, "icon\\w \\\\ not a comment.tga");
    EXPECT_EQ(items[1].rawLine, "31\tARMOR\ticon/caf\xe9.tga\td:/ymir work/\xb0\xcb/31.gr2");
    EXPECT_EQ(items[1].modelPath, "d:\\ymir work\\\xb0\xcb\\31.gr2");
  }
}

TEST(ItemListReader, FindsListsAtAnyDepthAndReadsThem) {
  testenv::ScopedTempDir client;
  const std::string root = client.path();
  testenv::WriteFile(client / "data\\item_list.txt\\inner.txt", "");  // a folder with the name
  for (const char* name : {"Item_List.txt", "locale\\de\\ITEM_LIST.TXT", "locale\\item_list.txt.bak"}) {
    testenv::WriteFile(client / name, "41\tWEAPON\ti\tm\n");
  }
  // The root list is found by a probe and by the walk, each with its own spelling.
  const auto lists = FindItemLists(root);
  ASSERT_EQ(lists, (std::vector<std::string>{root + "\\Item_List.txt", root + "\\item_list.txt",
                                             root + "\\locale\\de\\ITEM_LIST.TXT"}));
  EXPECT_EQ(Vnums(ParseItemList(lists[2])), std::vector<std::int32_t>{41});
  EXPECT_TRUE(ParseItemList(root + "missing.txt").empty());
}
