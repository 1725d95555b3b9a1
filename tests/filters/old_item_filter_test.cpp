#include "filters/old_item_filter.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

TEST(OldItemFilter, ReadsOnlyTheOldItemListInAnyCaseAndItsCategories) {
  OldItemFilter filter;
  testenv::ScopedTempDir filters;
  testenv::WriteFile(filters / "Item_List_Old.txt",
                     "10\tWEAPON\ticon/10.tga\td:/ymir work/10.gr2\r\n11200\tARMOR\ticon/11200.tga\r\n"
                     "27001\tETC\ticon/27001.tga\r\n");  // not an exported category
  testenv::WriteFile(filters / "item_list.txt", "20\tWEAPON\ticon/20.tga\td:/ymir work/20.gr2\r\n");
  testenv::WriteFile(filters / "sub\\item_list_old.txt", "30\tWEAPON\ticon/30.tga\tx.gr2\r\n");
  testing::internal::CaptureStdout();
  filter.LoadOldItems(filters.path());
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_EQ(filter.oldItemVnums, (std::set<std::int32_t>{10, 11200}));
  EXPECT_NE(console.find("File OLD caricati: 1"), std::string::npos) << console;
  EXPECT_NE(console.find("Item OLD VNUM unici: 2"), std::string::npos);

  testing::internal::CaptureStdout();
  filter.LoadOldItems(filters / "absent");
  const std::string missing = testing::internal::GetCapturedStdout();  // the shared step says why
  EXPECT_NE(missing.find("Filtro OLD ITEM disattivato."), std::string::npos) << missing;
  EXPECT_TRUE(filter.oldItemVnums.empty());
}
