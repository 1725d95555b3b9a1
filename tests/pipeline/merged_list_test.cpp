#include "pipeline/merged_list.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

TEST(MergedList, DistinctLinesInOrderOfFirstAppearanceInANamedTempFile) {
  testenv::ScopedTempDir client;
  const std::vector<std::string> paths{testenv::WriteFile(client / "a.txt", "1 A\r\n2 B\r\n"),
                                       client / "missing.txt",
                                       testenv::WriteFile(client / "b.txt", "2 B\n\n3 C\r\n\xe9t\xe9\r5 E"),
                                       testenv::WriteFile(client / "c.txt", "1 A\n4 D \n4 D\n3 c\n")};
  const std::string merged = CreateMergedList(paths, "item_list.txt (3x)");
  const std::string again = CreateMergedList(paths, "item_list.txt (3x)");
  EXPECT_EQ(testenv::ReadFile(merged), "1 A\r\n2 B\r\n3 C\r\n\xe9t\xe9\r\n5 E\r\n4 D \r\n4 D\r\n3 c\r\n");
  EXPECT_NE(merged, again);  // calls in quick succession get files of their own
  EXPECT_EQ(merged.rfind(platform::TempFolder() + "Vintrel_merged_item_list.txt__3x__", 0), 0u) << merged;
  EXPECT_EQ(SanitizeMergedListLabel("..\\x/\xe9:*a-b_c.D9"), ".._x____a-b_c.D9");
  platform::DeleteFile(merged);
  platform::DeleteFile(again);

  // Nothing to merge creates no file.
  EXPECT_EQ(CreateMergedList({}, "empty"), "");
  EXPECT_EQ(CreateMergedList({testenv::WriteFile(client / "blank.txt", "\r\n\n\r"), client / "missing.txt"},
                             "empty"),
            "");
}
