#include "filters/old_item_filter.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

std::string Write(const std::string& path, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

}  // namespace

TEST(OldItemFilter, ReadsOnlyTheOldItemListInAnyCase) {
  OldItemFilter filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "Item_List_Old.txt",
        "10\tWEAPON\ticon/item/00010.tga\td:/ymir work/item/weapon/00010.gr2\r\n"
        "11200\tARMOR\ticon/item/11200.tga\r\n"
        "27001\tETC\ticon/item/27001.tga\r\n");  // not an exported category
  Write(filters / "item_list.txt", "20\tWEAPON\ticon/item/00020.tga\td:/ymir work/item/weapon/00020.gr2\r\n");
  platform::CreateFolderWithParents(filters / "sub");
  Write(filters / "sub\\item_list_old.txt", "30\tWEAPON\ticon/item/00030.tga\tx.gr2\r\n");

  testing::internal::CaptureStdout();
  filter.LoadOldItems(filters.path());
  const std::string console = testing::internal::GetCapturedStdout();

  EXPECT_EQ(filter.oldItemVnums, (std::set<std::int32_t>{10, 11200}));
  EXPECT_TRUE(filter.IsOld(10));
  EXPECT_FALSE(filter.IsOld(20));
  EXPECT_NE(console.find("File OLD caricati: 1"), std::string::npos) << console;
  EXPECT_NE(console.find("Item OLD VNUM unici: 2"), std::string::npos);
}

TEST(OldItemFilter, MissingFolderSkipsNothing) {
  OldItemFilter filter;
  testing_support::ScopedTempFolder exe;
  const std::string folder = (exe / "standard_filters");
  testing::internal::CaptureStdout();
  filter.LoadOldItems(folder);
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("AVVISO: cartella non trovata: " + folder), std::string::npos) << console;
  EXPECT_NE(console.find("Filtro OLD ITEM disattivato."), std::string::npos);
  EXPECT_TRUE(filter.oldItemVnums.empty());
}

TEST(OldItemFilter, ShippedReferenceListLoads) {
  OldItemFilter filter;
  testing::internal::CaptureStdout();
  filter.LoadOldItems(platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\resources\\standard_filters");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(filter.oldItemVnums.size(), 14u);
  EXPECT_TRUE(filter.IsOld(11800));  // the three-column armour line
}
