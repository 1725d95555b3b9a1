#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

using testing_support::ScopedTempFolder;
using testing_support::WriteTextFile;

std::vector<std::string> Names(const std::string& folder, const std::string& pattern = "*") {
  std::vector<platform::DirEntry> entries;
  std::vector<std::string> names;
  if (!platform::ListDirectory(folder, entries, pattern)) return {"<cannot list>"};
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

TEST(PlatformListing, EntriesComeInNtfsOrderWithKindAndSize) {
  ScopedTempFolder temp;
  for (const char* name : {"b.txt", "_x", "a_b", "9", "A.txt", "10", "ab"}) {
    ASSERT_TRUE(WriteTextFile(temp / name, name));
  }
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
  EXPECT_EQ(entries[5].size, 5u);
  // The same order whether the folder is named with or without a trailing separator.
  EXPECT_EQ(Names(temp.path() + "\\"), expected);
}

TEST(PlatformListing, PatternsMatchWildcardsIgnoringCase) {
  ScopedTempFolder temp;
  for (const char* name : {"Guard.GR2", "guard.mse", "boss.gr2", "a.gr2x", "noextension"}) {
    ASSERT_TRUE(WriteTextFile(temp / name, "x"));
  }
  EXPECT_EQ(Names(temp.path(), "*.gr2"), (std::vector<std::string>{"boss.gr2", "Guard.GR2"}));
  EXPECT_EQ(Names(temp.path(), "GUARD.*"), (std::vector<std::string>{"Guard.GR2", "guard.mse"}));
  EXPECT_EQ(Names(temp.path(), "?.gr2?"), std::vector<std::string>{"a.gr2x"});
  EXPECT_EQ(Names(temp.path(), "*a*d*"), (std::vector<std::string>{"Guard.GR2", "guard.mse"}));
  EXPECT_EQ(Names(temp.path(), "*.*").size(), 5u);
  EXPECT_EQ(Names(temp.path(), "*").size(), 5u);
  EXPECT_TRUE(Names(temp.path(), "*.msm").empty());
}

TEST(PlatformListing, MissingFoldersAndFilesCannotBeListed) {
  ScopedTempFolder temp;
  ASSERT_TRUE(WriteTextFile(temp / "file.txt", "x"));
  std::vector<platform::DirEntry> entries{platform::DirEntry{"stale", false, 1}};
  EXPECT_FALSE(platform::ListDirectory(temp / "missing", entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(platform::ListDirectory(temp / "file.txt", entries));
  ASSERT_TRUE(platform::CreateSingleFolder(temp / "empty"));
  EXPECT_TRUE(platform::ListDirectory(temp / "empty", entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
