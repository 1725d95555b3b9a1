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

}  // namespace
