#include <gtest/gtest.h>

#include "support/test_environment.hpp"

namespace {

TEST(PlatformListing, EntriesComeInNtfsOrderWithTheirKind) {
  testenv::ScopedTempDir temp;
  for (const char* name : {"b.txt", "_x", "a_b", "9", "A.txt", "10", "ab"})
    testenv::WriteFile(temp / name, name);
  ASSERT_TRUE(platform::CreateSingleFolder(temp / "C"));

  // Letters fold to upper case, so '_' (after 'Z') sorts after every letter, '.' before them.
  const std::vector<std::string> expected{"10", "9", "A.txt", "ab", "a_b", "b.txt", "C", "_x"};
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(temp.path(), entries));
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i]);
    EXPECT_EQ(entries[i].isDirectory, entries[i].name == "C") << entries[i].name;
  }
  // Sizes come from one look at the file, whatever the spelling; a folder has none.
  EXPECT_EQ(platform::GetRegularFileSize(temp / "B.TXT"), std::optional<std::uint64_t>(5));
  EXPECT_EQ(platform::GetRegularFileSize(temp / "C"), std::nullopt);
  EXPECT_EQ(platform::GetRegularFileSize(temp / "missing"), std::nullopt);
  // The same order whether the folder is named with or without a trailing separator.
  EXPECT_EQ(testenv::NamesIn(temp.path().substr(0, temp.path().size() - 1)), expected);
}

}  // namespace
