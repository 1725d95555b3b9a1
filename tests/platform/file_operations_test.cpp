#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

using platform::CreateFolderResult;
using testing_support::ReadTextFile;
using testing_support::ScopedTempFolder;
using testing_support::WriteTextFile;

bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}

bool IsFolder(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

TEST(PlatformFiles, CreateFolderWithParentsReportsCreatedExistingOrFailed) {
  ScopedTempFolder temp;
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "a\\b\\c"));
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp.path() + "/s1/s2/"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "s1\\s2"));

  // A file where a folder should be is a failure, never "already exists".
  ASSERT_TRUE(WriteTextFile(temp / "file.txt", "x"));
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt\\below"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(""), CreateFolderResult::Failed);
  EXPECT_EQ(ReadTextFile(temp / "file.txt"), "x");

  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x\\y"));
  EXPECT_TRUE(platform::CreateSingleFolder(temp / "x"));
  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x"));
}

TEST(PlatformFiles, CopyReplacesTheWholeDestinationAndNeverEatsItsSource) {
  ScopedTempFolder temp;
  ASSERT_TRUE(WriteTextFile(temp / "src.txt", "short"));
  ASSERT_TRUE(WriteTextFile(temp / "dst.txt", "a much longer old content"));
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "dst.txt"));
  EXPECT_EQ(ReadTextFile(temp / "dst.txt"), "short");
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "fresh.txt"));
  EXPECT_EQ(ReadTextFile(temp / "fresh.txt"), "short");

  // Copying a file onto itself must not truncate it.
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "src.txt"));
  EXPECT_EQ(ReadTextFile(temp / "src.txt"), "short");

  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "missing.txt", temp / "never.txt"));
  EXPECT_FALSE(Exists(temp / "never.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "no\\such\\folder.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp.path(), temp / "folder-as-file.txt"));
}

TEST(PlatformFiles, MoveReplacesAndRemovalsTakeOnlyWhatTheyShould) {
  ScopedTempFolder temp;
  ASSERT_TRUE(WriteTextFile(temp / "new.txt", "new"));
  ASSERT_TRUE(WriteTextFile(temp / "old.txt", "old"));
  EXPECT_TRUE(platform::MoveFileReplace(temp / "new.txt", temp / "old.txt"));
  EXPECT_FALSE(Exists(temp / "new.txt"));
  EXPECT_EQ(ReadTextFile(temp / "old.txt"), "new");
  EXPECT_FALSE(platform::MoveFileReplace(temp / "new.txt", temp / "old.txt"));

  ASSERT_EQ(platform::CreateFolderWithParents(temp / "folder\\inner"), CreateFolderResult::Created);
  EXPECT_FALSE(platform::DeleteFile(temp / "folder"));
  EXPECT_FALSE(platform::RemoveEmptyFolder(temp / "folder"));
  EXPECT_TRUE(platform::RemoveEmptyFolder(temp / "folder\\inner"));
  EXPECT_TRUE(platform::RemoveEmptyFolder(temp / "folder"));
  EXPECT_FALSE(Exists(temp / "folder"));

  EXPECT_TRUE(platform::DeleteFile(temp / "old.txt"));
  EXPECT_FALSE(Exists(temp / "old.txt"));
  EXPECT_FALSE(platform::DeleteFile(temp / "old.txt"));
}

}  // namespace
