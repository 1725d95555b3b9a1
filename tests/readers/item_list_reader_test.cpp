#include "readers/item_list_reader.hpp"

#include <gtest/gtest.h>

#include "readers/reader_test_files.hpp"
#include "support/test_environment.hpp"

namespace {

std::vector<std::int32_t> Vnums(const std::vector<ItemEntry>& items) {
  std::vector<std::int32_t> vnums;
  for (const ItemEntry& item : items) vnums.push_back(item.vnum);
  return vnums;
}

}  // namespace

TEST(ItemListReader, ColumnsOfRealListsWithThreeToFiveColumns) {
  const auto items = ParseItemListText(
      "10\tWEAPON\ticon/item/00010.tga\td:/ymir work/item/weapon/00010.gr2\r\n"
      "12000\tARMOR\ticon/item/12000.tga\r\n"
      "12010\tARMOR\ticon/item/12010.tga\t\t\r\n"
      "85001\tWING\t icon/item/85001.tga \t\"d:/ymir work/item/wing/85001.gr2\"\t\textra\t\r\n");
  ASSERT_EQ(items.size(), 4u);

  EXPECT_EQ(items[0].vnum, 10);
  EXPECT_EQ(items[0].type, "WEAPON");
  EXPECT_EQ(items[0].iconPath, "icon\\item\\00010.tga");
  EXPECT_EQ(items[0].modelPath, "d:\\ymir work\\item\\weapon\\00010.gr2");
  EXPECT_EQ(items[0].rawLine, "10\tWEAPON\ticon/item/00010.tga\td:/ymir work/item/weapon/00010.gr2");
  // The exporter's fields start out empty.
  EXPECT_TRUE(items[0].resolvedModel.empty());
  EXPECT_FALSE(items[0].modelFound);
  EXPECT_EQ(items[0].texturesTotal, 0);

  EXPECT_EQ(items[1].modelPath, "");
  EXPECT_EQ(items[1].iconPath, "icon\\item\\12000.tga");
  // Empty last columns and trailing tabs neither shift columns nor drop the line.
  EXPECT_EQ(items[2].modelPath, "");
  EXPECT_EQ(items[2].rawLine, "12010\tARMOR\ticon/item/12010.tga\t\t");
  EXPECT_EQ(items[3].iconPath, "icon\\item\\85001.tga");
  EXPECT_EQ(items[3].modelPath, "d:\\ymir work\\item\\wing\\85001.gr2");
}

TEST(ItemListReader, CategoryRuleSeesTheNormalisedType) {
  const auto items = ParseItemListText(
      "1\tWEAPON \ta\tm1\n"  // trailing blank
      "2\tWeapon\ta\tm2\n"
      "3\tETC\ta\tm3\n"
      "4\t\ta\tm4\n"  // empty type reads UNKNOWN
      "5\tw/ing\ta\tm5\n"
      "6\t a\\u/ra \ta\tm6\n"
      "7\tarmor x\ta\tm7\n");
  EXPECT_EQ(Vnums(items), (std::vector<std::int32_t>{1, 2, 5, 6}));
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].type, "WEAPON");
  EXPECT_EQ(items[1].type, "Weapon");  // case as written, for the folder names
  EXPECT_EQ(items[2].type, "wing");
  EXPECT_EQ(items[3].type, "aura");

  EXPECT_EQ(NormalizeItemType("  two   blank  runs "), "two blank runs");
  EXPECT_EQ(NormalizeItemType("tabs\t\tstay"), "tabs\t\tstay");
  EXPECT_EQ(NormalizeItemType(" /\\ "), "UNKNOWN");
  EXPECT_EQ(NormalizeItemType(""), "UNKNOWN");
}

TEST(ItemListReader, FirstColumnFollowsTheLeadingNumberRule) {
  const auto items = ParseItemListText(
      "0\tWEAPON\ta\tzero\n"
      "-5\tWEAPON\ta\tnegative\n"
      "sword\tWEAPON\ta\tword\n"
      "2147483648\tWEAPON\ta\ttoo_big\n"
      "2147483647\tWEAPON\ta\tlargest\n"
      "123abc\tWEAPON\ta\ttrailing_text\n"
      "100~109\tWEAPON\ta\trange\n"
      " +7\tWEAPON\ta\tsigned\n"
      "8\tWEAPON\n");  // too few columns
  EXPECT_EQ(Vnums(items), (std::vector<std::int32_t>{2147483647, 123, 100, 7}));
}

TEST(ItemListReader, RepeatedTypeIconAndModelKeepTheFirstLine) {
  const auto items = ParseItemListText(
      "20\tWEAPON\ticon/a.tga\tmodel/a.gr2\n"
      "21\tARMOR\ticon/b.tga\n"
      "22\tWEAPON\ticon/a.tga\tmodel/a.gr2\n"    // same as 20
      "23\tWEAPON\ticon\\a.tga\tmodel\\a.gr2\n"  // same once cleaned
      "24\tweapon\ticon/a.tga\tmodel/a.gr2\n"    // the key is case-sensitive
      "25\tARMOR\ticon/b.tga\t\n");              // same as 21: an empty model column
  EXPECT_EQ(Vnums(items), (std::vector<std::int32_t>{20, 21, 24}));
}

TEST(ItemListReader, CommentsLineEndsAndBytesOfOtherCodePages) {
  const std::string lf =
      "   // a commented line\n"
      "\n"
      "  \t \n"
      "30\tWEAPON\ticon/w // not a comment.tga\tm30\n"
      "31\tARMOR\ticon/caf\xe9.tga\td:/ymir work/\xb0\xcb/31.gr2\n";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string cr = lf;
  for (char& c : cr) c = c == '\n' ? '\r' : c;

  for (const std::string& text : {lf, crlf, cr}) {
    const auto items = ParseItemListText(text);
    ASSERT_EQ(Vnums(items), (std::vector<std::int32_t>{30, 31}));
    EXPECT_EQ(items[0].iconPath, "icon\\w \\\\ not a comment.tga");
    EXPECT_EQ(items[1].iconPath, "icon\\caf\xe9.tga");
    EXPECT_EQ(items[1].modelPath, "d:\\ymir work\\\xb0\xcb\\31.gr2");
    EXPECT_EQ(items[1].rawLine, "31\tARMOR\ticon/caf\xe9.tga\td:/ymir work/\xb0\xcb/31.gr2");
  }
}

TEST(ItemListReader, ReadsFilesAndFindsListsAtAnyDepth) {
  testenv::ScopedTempDir client("items");
  const std::string root = client.path();  // trailing backslash, like the client root
  readertest::WriteTextFile(root + "item_list.txt", "40\tWEAPON\ti\tm\n");
  readertest::WriteTextFile(root + "locale\\de\\ITEM_LIST.TXT", "41\tWEAPON\ti\tm\n");
  readertest::WriteTextFile(root + "locale\\item_list.txt.bak", "42\tWEAPON\ti\tm\n");
  readertest::WriteTextFile(root + "data\\item_list.txt\\inner.txt", "");  // a folder with the name

  const auto lists = FindItemLists(root);
  const std::vector<std::string> expected{root + "\\item_list.txt", root + "\\locale\\de\\ITEM_LIST.TXT"};
  EXPECT_EQ(lists, expected);
  EXPECT_EQ(Vnums(ParseItemList(lists[1])), std::vector<std::int32_t>{41});
  EXPECT_TRUE(ParseItemList(root + "missing.txt").empty());
}

TEST(ItemListReader, ARootListSpelledOtherwiseIsListedByProbeAndByWalk) {
  testenv::ScopedTempDir client("items");
  const std::string root = client.path();
  readertest::WriteTextFile(root + "Item_List.txt", "50\tWEAPON\ti\tm\n");
  const std::vector<std::string> expected{root + "\\Item_List.txt", root + "\\item_list.txt"};
  EXPECT_EQ(FindItemLists(root), expected);
}
